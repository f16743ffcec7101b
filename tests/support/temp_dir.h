#pragma once
// A fresh folder below the system's temporary folder for one test, removed
// with everything in it.
#include <filesystem>
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
// A UTF-8 path as the standard library takes it (a narrow string would be
// read in the ANSI code page on Windows).
std::filesystem::path Utf8Path(const std::string& path);
// A new folder "<prefix><number>" in the system's temporary folder.
std::filesystem::path MakeTempFolder(const char* prefix);
