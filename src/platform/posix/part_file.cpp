#include "platform/posix/part_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <vector>

namespace {

// The process umask, read without changing it (umask() would race with
// other threads creating files).
mode_t ProcessUmask() {
    static mode_t mask = [] {
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

}  // namespace

HRESULT MapLocalFileError(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return E_OUTOFMEMORY;
        case EACCES:
        case EPERM:
        case EROFS:
            return E_ACCESSDENIED;
        default:
            return E_FAIL;
    }
}

HRESULT PartFile::Create(const std::string& target) {
    Discard();
    size_t slash = target.rfind('/');
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty() || base == "." || base == "..") return E_FAIL;
    struct stat st {};
    if (stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return E_FAIL;

    // Keep the name within NAME_MAX even for a long target name.
    std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string pattern = folder + base.substr(0, 200) + ".XXXXXX.part";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = mkostemps(buffer.data(), 5, O_CLOEXEC);
    if (fd < 0) return MapLocalFileError(errno);
    m_fd = fd;
    m_tempPath.assign(buffer.data());
    m_target = target;
    return S_OK;
}

HRESULT PartFile::Write(const char* data, size_t size) {
    if (m_fd < 0) return E_FAIL;
    while (size > 0) {
        ssize_t n = ::write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return MapLocalFileError(errno);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return S_OK;
}

HRESULT PartFile::Commit() {
    if (m_fd < 0) return E_FAIL;
    // mkstemp creates 0600; a downloaded file gets the mode any new file gets.
    fchmod(m_fd, 0666 & ~ProcessUmask());
    int fd = m_fd;
    m_fd = -1;
    if (close(fd) != 0) {
        HRESULT hr = MapLocalFileError(errno);
        Discard();
        return hr;
    }
    // No fsync: a killed process cannot tear the file either way, and the
    // patch engine checks every unpacked file's MD5 after a power loss.
    if (rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        HRESULT hr = MapLocalFileError(errno);
        Discard();
        return hr;
    }
    m_tempPath.clear();
    m_target.clear();
    return S_OK;
}

void PartFile::Discard() {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
    m_target.clear();
}
