#include "common/file_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "common/path_util.h"
#include "common/text_util.h"

bool DeleteLocalFile(bool missingIsSuccess, std::wstring_view path) {
    const std::string p = NativePath(path);
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) return missingIsSuccess;
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) chmod(p.c_str(), st.st_mode | S_IWUSR);
    return unlink(p.c_str()) == 0;
}

void RemoveFolderTree(std::wstring_view path) {
    std::error_code ec;
    std::filesystem::remove_all(NativePath(path), ec);
}

namespace {
void DeleteMatching(const std::string& folder, const std::string& pattern) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (fnmatch(pattern.c_str(), name.c_str(), 0) != 0) continue;
        std::string full = folder + "/" + name;
        struct stat st {};
        if (lstat(full.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            chmod(full.c_str(), 0755);
            DeleteMatching(full, pattern);
            rmdir(full.c_str());
        } else {
            unlink(full.c_str());
        }
    }
    closedir(dir);
}
}  // namespace

void DeleteFilesInFolder(std::wstring_view folder, std::wstring_view pattern) {
    if (folder.empty()) return;
    std::string f = NativePath(folder);
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    // "*.*" means every entry on Windows, dots or not.
    std::string pat = pattern == L"*.*" ? "*" : text::ToUtf8(pattern);
    DeleteMatching(f, pat);
    chmod(f.c_str(), 0755);
    rmdir(f.c_str());
}

bool StaysInsideFolder(std::wstring_view base, std::wstring_view relative) {
    if (!IsSafeRelativePath(relative)) return false;
    std::string path = NativePath(base);
    if (!path.empty() && path.back() != '/') path += '/';
    const std::string rel = NativePath(relative);
    for (size_t slash = rel.find('/'); slash != std::string::npos; slash = rel.find('/', slash + 1)) {
        struct stat st {};
        if (lstat((path + rel.substr(0, slash)).c_str(), &st) != 0) return true;  // the rest is made anew
        if (!S_ISDIR(st.st_mode)) return false;  // a link, or a file where a folder should be
    }
    return true;
}

bool FileExists(std::wstring_view path) {
    struct stat st {};
    return stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FolderExists(std::wstring_view path) {
    struct stat st {};
    return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteFileAtomically(std::wstring_view path, std::string_view bytes) {
    const std::string target = NativePath(path);
    std::string tmp = target + ".XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0) return false;
    fchmod(fd, 0644);
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    // No fsync: the rename already guarantees old-or-new against a crash or a
    // kill of the process, and syncing after every patched file costs more
    // than the whole patch on slow disks.
    int saved = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && rename(tmp.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        unlink(tmp.c_str());
        errno = saved;
    }
    return ok;
}
