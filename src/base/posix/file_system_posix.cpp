// The file-system service on POSIX calls. Removal works relative to open
// folder descriptors opened without following links, so a link swapped in
// for a folder half-way can never lead the removal elsewhere.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "base/file_system.h"

namespace fsys {

namespace {

Kind KindFromStat(int rc, const struct stat& st) {
    if (rc != 0) return errno == ENOENT || errno == ENOTDIR ? Kind::kMissing : Kind::kUnknown;
    if (S_ISREG(st.st_mode)) return Kind::kFile;
    if (S_ISDIR(st.st_mode)) return Kind::kFolder;
    if (S_ISLNK(st.st_mode)) return Kind::kLink;
    return Kind::kOther;
}

// Removes the entry `name` of the open folder `parent`; true when it is gone.
bool RemoveAt(int parent, const char* name) {
    struct stat st {};
    if (fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) return unlinkat(parent, name, 0) == 0 || errno == ENOENT;
    // A folder without rights for its owner is opened up first, as the shell's
    // delete would clear its attributes.
    if ((st.st_mode & S_IRWXU) != S_IRWXU) fchmodat(parent, name, (st.st_mode & 07777) | S_IRWXU, 0);
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        DIR* dir = fdopendir(fd);
        if (!dir) {
            close(fd);
            return false;
        }
        while (dirent* e = readdir(dir)) {
            const std::string_view n = e->d_name;
            if (n == "." || n == "..") continue;
            RemoveAt(dirfd(dir), e->d_name);
        }
        closedir(dir);
    }
    // Fails without harm when something below could not be removed.
    return unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT;
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

Kind KindOf(const std::string& path) {
    struct stat st {};
    const int rc = lstat(path.c_str(), &st);
    return KindFromStat(rc, st);
}

Kind KindOfTarget(const std::string& path) {
    struct stat st {};
    const int rc = stat(path.c_str(), &st);
    return KindFromStat(rc, st);
}

int64_t FileSize(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0;
}

bool RemoveFile(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) chmod(path.c_str(), st.st_mode | S_IWUSR);
    return unlink(path.c_str()) == 0;
}

bool RemoveEmptyFolder(const std::string& path) {
    return rmdir(path.c_str()) == 0;
}

bool RemoveTree(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const std::string name = NameOf(trimmed);
    if (name.empty() || name == "." || name == "..") {
        errno = EINVAL;
        return false;
    }
    const int parent = open(FolderOf(trimmed).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) return errno == ENOENT;
    RemoveAt(parent, name.c_str());
    struct stat st {};
    const bool gone = fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
    close(parent);
    if (!gone) errno = ENOTEMPTY;
    return gone;
}

bool Rename(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

namespace {
// Opens `path` for reading, runs `sync` on it, keeps its errno over the close.
bool SyncOpened(const std::string& path, int flags, int (*sync)(int)) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0) return false;
    const bool ok = sync(fd) == 0;
    const int saved = errno;
    close(fd);
    errno = saved;
    return ok;
}
}  // namespace

bool SyncFolder(const std::string& folder) {
    return SyncOpened(folder, O_DIRECTORY, fsync);
}

bool SyncFileSystem(const std::string& path) {
    return SyncOpened(path, 0, syncfs);
}

bool CanSyncFileSystem() {
    return true;
}

bool ChangeCurrentFolder(const std::string& folder) {
    return chdir(folder.c_str()) == 0;
}

std::string CurrentFolder() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof(buf)) ? std::string(buf) : std::string();
}

std::string ExecutablePath() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

namespace {

// Size of the entry `name` of the open folder `parent` of kind `kind`, links
// followed; -1 when it is no file (or vanished, then `kind` becomes kMissing).
int64_t SizeAt(int parent, const char* name, Kind& kind) {
    if (kind != Kind::kFile && kind != Kind::kLink) return -1;
    struct stat st {};
    if (fstatat(parent, name, &st, 0) != 0) {
        if (kind == Kind::kFile) kind = Kind::kMissing;
        return -1;
    }
    return S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
}

}  // namespace

bool detail::ListInto(const std::string& folder, std::vector<FolderEntry>& entries, bool withSizes) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        const int saved = errno;
        close(fd);
        errno = saved;
        return false;
    }
    while (dirent* e = readdir(dir)) {
        const std::string_view n = e->d_name;
        if (n == "." || n == "..") continue;
        Kind kind;
        switch (e->d_type) {
            case DT_REG:
                kind = Kind::kFile;
                break;
            case DT_DIR:
                kind = Kind::kFolder;
                break;
            case DT_LNK:
                kind = Kind::kLink;
                break;
            case DT_UNKNOWN: {
                struct stat st {};
                const int rc = fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW);
                kind = KindFromStat(rc, st);
                break;
            }
            default:
                kind = Kind::kOther;
                break;
        }
        const int64_t size = withSizes ? SizeAt(dirfd(dir), e->d_name, kind) : -1;
        if (kind != Kind::kMissing) entries.push_back({std::string(n), kind, size});
    }
    closedir(dir);
    return true;
}

bool NameMatches(const std::string& pattern, const std::string& name) {
    return fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
}

}  // namespace fsys
