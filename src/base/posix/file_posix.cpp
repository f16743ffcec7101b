// fsys::File on POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <utility>

#include "base/file_system.h"

namespace fsys {

namespace {

// The process umask, read without changing it (umask() would race with
// other threads creating files).
mode_t ProcessUmask() {
    static const mode_t mask = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Umask:", 0) == 0)
                return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
        }
        return static_cast<mode_t>(022);
    }();
    return mask;
}

int FlagsOf(File::Mode mode) {
    switch (mode) {
        case File::Mode::kRead:
            return O_RDONLY;
        case File::Mode::kReadWrite:
            return O_RDWR;
        case File::Mode::kAppend:
            return O_RDWR | O_APPEND | O_CREAT;
        case File::Mode::kCreateTruncate:
            return O_RDWR | O_CREAT | O_TRUNC;
        case File::Mode::kCreateExclusive:
            return O_WRONLY | O_CREAT | O_EXCL;
    }
    return O_RDONLY;
}

// Runs `writeSome` (p, n, bytes done so far) until all is written; short
// writes and interruptions are retried.
template <typename WriteSome>
bool WriteFully(const void* data, size_t size, WriteSome writeSome) {
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = writeSome(p + done, size - done, done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool File::Open(const std::string& path, Mode mode) {
    Close();
    const int fd =
        open(path.c_str(), FlagsOf(mode) | O_CLOEXEC, mode == Mode::kCreateExclusive ? 0600 : 0644);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        errno = EISDIR;
        return false;
    }
    m_handle = fd;
    return true;
}

int64_t File::Size() const {
    struct stat st {};
    if (m_handle < 0) {
        errno = EBADF;
        return -1;
    }
    return fstat(m_handle, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

int64_t File::ModifiedTime() const {
    struct stat st {};
    if (m_handle < 0) {
        errno = EBADF;
        return -1;
    }
    return fstat(m_handle, &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
}

int64_t File::Read(void* data, size_t size) {
    for (;;) {
        const ssize_t n = read(m_handle, data, size);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

int64_t File::ReadAt(void* data, size_t size, int64_t offset) {
    for (;;) {
        const ssize_t n = pread(m_handle, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

bool File::Write(const void* data, size_t size) {
    return WriteFully(data, size, [this](const char* p, size_t n, size_t) { return write(m_handle, p, n); });
}

bool File::WriteAt(const void* data, size_t size, int64_t offset) {
    return WriteFully(data, size, [this, offset](const char* p, size_t n, size_t done) {
        return pwrite(m_handle, p, n, static_cast<off_t>(offset + static_cast<int64_t>(done)));
    });
}

bool File::Truncate(int64_t size) {
    return ftruncate(m_handle, static_cast<off_t>(size)) == 0;
}

bool File::Sync() {
    return fsync(m_handle) == 0;
}

bool File::SyncData() {
    return fdatasync(m_handle) == 0;
}

void File::StartWriteBack(int64_t offset, int64_t length) {
    // A hint: a failure shows again, and is reported, at the Sync.
    const int saved = errno;
    sync_file_range(m_handle, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
    errno = saved;
}

bool File::SetCreationMode(unsigned mode) {
    const mode_t wanted = mode != 0 ? static_cast<mode_t>(mode) : (0666 & ~ProcessUmask());
    return fchmod(m_handle, wanted) == 0;
}

bool File::Close() {
    if (m_handle < 0) return true;
    const int fd = std::exchange(m_handle, -1);
    return close(fd) == 0;
}

}  // namespace fsys
