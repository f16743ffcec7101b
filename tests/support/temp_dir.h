#pragma once
// A fresh folder below /tmp for one test, removed with everything in it.
#include <map>
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::wstring wpath() const;
    // path() + "/" + relative, creating the folders on the way when asked.
    std::string Join(const std::string& relative) const;
    void WriteFile(const std::string& relative, const std::string& bytes) const;
    std::string ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

private:
    std::string m_path;
};

std::string ReadWholeFile(const std::string& path);
// A UTF-16LE file (the launcher log, the lists) without its mark, decoded.
std::wstring ReadUtf16File(const std::string& path);

// What is below `folder`: relative paths, sorted, with their contents
// ("<folder>" for a folder, "" unless `contents`); the top level only unless
// `recursive`. A missing folder gives nothing.
std::map<std::string, std::string> FolderTree(const std::string& folder, bool recursive = true, bool contents = true);
// The names alone, space-separated: "a.zip sub sub/b.zip".
std::string FolderNames(const std::string& folder, bool recursive = false);

// A tmpfs with `options` ("size=64k") on `folder` (made when missing) for one
// scope; not `mounted` without root.
struct ScopedTmpfs {
    ScopedTmpfs(const std::string& folder, const std::string& options, unsigned long flags = 0);
    ~ScopedTmpfs();
    const std::string folder;
    const bool mounted;
};
