// The single-instance lock: an open-file-description lock on a file in the
// user's runtime folder. The kernel drops it when the holder dies, however it
// dies, and, unlike flock(), it can be tested without being taken: a probe
// never makes a launcher starting at that moment believe another one runs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "util/text_util.h"
#include "os/process.h"

namespace {

// $QUON_RUNTIME_DIR (tests isolate themselves with it), $XDG_RUNTIME_DIR, or a
// private folder below /tmp. Empty when no safe folder is available.
std::string RuntimeFolder() {
    for (const char* var : {"QUON_RUNTIME_DIR", "XDG_RUNTIME_DIR"}) {
        const char* value = getenv(var);
        if (value && *value) return value;
    }
    const uid_t uid = geteuid();
    std::string folder = "/tmp/quon-" + std::to_string(uid);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    struct stat st {};
    // lstat: a link planted by someone else must not lead us elsewhere.
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid) {
        fprintf(stderr, "QUON: refusing the lock folder %s: not a folder of this user\n", folder.c_str());
        return {};
    }
    if ((st.st_mode & 077) != 0) chmod(folder.c_str(), 0700);
    return folder;
}

std::string LockFilePath(const std::wstring& name) {
    const std::string folder = RuntimeFolder();
    if (folder.empty()) return {};
    std::string file = text::ToUtf8(name);
    for (char& c : file) {
        if (c == '/') c = '_';
    }
    return folder + "/" + file + ".lock";
}

struct flock WholeFileWriteLock() {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // to the end, however long the file grows
    return lock;
}

class PosixInstanceLock : public InstanceLock {
public:
    explicit PosixInstanceLock(int fd) : m_fd(fd) {}
    ~PosixInstanceLock() override {
        if (m_fd >= 0) close(m_fd);
    }
    PosixInstanceLock(const PosixInstanceLock&) = delete;
    PosixInstanceLock& operator=(const PosixInstanceLock&) = delete;

private:
    int m_fd;  // -1: no lock could be set up; the launcher runs unguarded
};

}  // namespace

std::unique_ptr<InstanceLock> InstanceLock::TryAcquire(const std::wstring& name) {
    const std::string path = LockFilePath(name);
    // A broken runtime folder must not keep the player out for good: run
    // without the guard and say why.
    if (path.empty()) return std::make_unique<PosixInstanceLock>(-1);
    // CLOEXEC: a program we start (the updater, the game) must not keep the
    // lock alive after we end. NOFOLLOW: never lock or create through a link.
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        fprintf(stderr, "QUON: cannot open the instance lock %s: %s\n", path.c_str(), strerror(errno));
        return std::make_unique<PosixInstanceLock>(-1);
    }
    struct flock lock = WholeFileWriteLock();
    while (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        const int err = errno;
        if (err == EINTR) continue;
        close(fd);
        if (err == EAGAIN || err == EACCES) return nullptr;  // held by another launcher
        fprintf(stderr, "QUON: cannot take the instance lock %s: %s\n", path.c_str(), strerror(err));
        return std::make_unique<PosixInstanceLock>(-1);
    }
    return std::make_unique<PosixInstanceLock>(fd);
}

bool IsInstanceLockHeld(const std::wstring& name) {
    const std::string path = LockFilePath(name);
    if (path.empty()) return false;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;  // never created: nobody holds it
    struct flock lock = WholeFileWriteLock();
    // F_OFD_GETLK reports a conflicting lock without taking one.
    const bool held = fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    close(fd);
    return held;
}
