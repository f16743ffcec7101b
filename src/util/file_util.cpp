#include "util/file_util.h"

#include <cerrno>

#include "util/path_util.h"
#include "util/text_util.h"
#include "base/file_system.h"

namespace {

// "*" any run, "?" one character; the rest literal. Enough for the patterns
// the launcher passes.
bool MatchesWildcard(std::string_view name, std::string_view pattern) {
    size_t n = 0, p = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

void DeleteMatching(const std::string& folder, const std::string& pattern) {
    std::vector<fsys::FolderEntry> entries;
    if (!fsys::ListFolder(folder, entries)) return;
    for (const fsys::FolderEntry& e : entries) {
        if (!MatchesWildcard(e.name, pattern)) continue;
        const std::string full = folder + "/" + e.name;
        if (e.kind == fsys::Kind::kFolder) {
            DeleteMatching(full, pattern);
            fsys::RemoveEmptyFolder(full);
        } else {
            fsys::RemoveFile(full);  // a link goes as a link
        }
    }
}

}  // namespace

bool DeleteLocalFile(bool missingIsSuccess, std::wstring_view path) {
    const std::string p = NativePath(path);
    const fsys::Kind kind = fsys::KindOf(p);
    if (kind == fsys::Kind::kMissing || kind == fsys::Kind::kUnknown) return missingIsSuccess;
    return fsys::RemoveFile(p);
}

void RemoveFolderTree(std::wstring_view path) {
    fsys::RemoveTree(NativePath(path));
}

void DeleteFilesInFolder(std::wstring_view folder, std::wstring_view pattern) {
    if (folder.empty()) return;
    std::string f = NativePath(folder);
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    // A link in place of the folder is removed as a link: emptying it would
    // delete the files of wherever it points.
    if (fsys::KindOf(f) == fsys::Kind::kLink) {
        fsys::RemoveFile(f);
        return;
    }
    // "*.*" means every entry on Windows, dots or not.
    const std::string pat = pattern == L"*.*" ? "*" : text::ToUtf8(pattern);
    DeleteMatching(f, pat);
    fsys::RemoveEmptyFolder(f);
}

bool StaysInsideFolder(std::wstring_view base, std::wstring_view relative) {
    if (!IsSafeRelativePath(relative)) return false;
    std::string path = NativePath(base);
    if (!path.empty() && path.back() != '/') path += '/';
    const std::string rel = NativePath(relative);
    for (size_t slash = rel.find('/'); slash != std::string::npos; slash = rel.find('/', slash + 1)) {
        const fsys::Kind kind = fsys::KindOf(path + rel.substr(0, slash));
        if (kind == fsys::Kind::kMissing) return true;  // the rest is made anew
        if (kind != fsys::Kind::kFolder) return false;  // a link, or a file where a folder should be
    }
    return true;
}

bool FileExists(std::wstring_view path) {
    return fsys::KindOfTarget(NativePath(path)) == fsys::Kind::kFile;
}

bool FolderExists(std::wstring_view path) {
    return fsys::KindOfTarget(NativePath(path)) == fsys::Kind::kFolder;
}

bool NothingAt(std::wstring_view path) {
    return fsys::KindOf(NativePath(path)) == fsys::Kind::kMissing;
}

bool WriteFileAtomically(std::wstring_view path, std::string_view bytes) {
    return fsys::WriteFileAtomically(NativePath(path), bytes, fsys::Durability::kFileAndFolder);
}
