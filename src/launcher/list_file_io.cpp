// The list files on disk; the formats themselves are in list_file_format.cpp.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "common/file_util.h"
#include "common/path_util.h"
#include "launcher/list_file_format.h"

namespace {

// Reads at most `limit` bytes of a file. False with errno on failure.
bool ReadFileBytes(const std::wstring& path, std::string& bytes, size_t limit) {
    int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) == 0 && st.st_size > 0) {
        bytes.reserve(std::min(static_cast<size_t>(st.st_size), limit));
    }
    char chunk[65536];
    bool ok = true;
    while (bytes.size() < limit) {
        ssize_t n = read(fd, chunk, std::min(sizeof(chunk), limit - bytes.size()));
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) break;
        bytes.append(chunk, static_cast<size_t>(n));
    }
    int saved = errno;
    close(fd);
    errno = saved;
    return ok;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool ReadListFile(const std::wstring& path, PackFileList& list, bool laterPathReplaces) {
    std::string bytes;
    // One byte past the bound tells a list that is too large from one that fits.
    if (!ReadFileBytes(path, bytes, kMaxListBytes + 1)) return false;
    if (bytes.size() > kMaxListBytes || !ParseListText(bytes, list, laterPathReplaces)) {
        errno = EFBIG;
        return false;
    }
    return true;
}

bool WriteListFile(const std::wstring& path, const PackFileList& list) {
    return WriteFileAtomically(path, SerializeList(list));
}

bool AppendListEntry(const std::wstring& path, const PackFileInfo& entry) {
    int fd = open(NativePath(path).c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        int saved = errno;
        close(fd);
        errno = saved;
        return false;
    }
    std::string bytes;
    if (st.st_size == 0) {
        bytes = "\xFF\xFE";
    } else {
        // Realign an odd length and end a line left open, so the new entry is
        // read as a line of its own.
        char tail[4] = {};
        const off_t tailAt = std::max<off_t>(0, st.st_size - 4);
        const ssize_t got = pread(fd, tail, 4, tailAt);
        bool endsInLine = false;
        if (st.st_size % 2 == 1) {
            bytes += '\0';
        } else if (got == 4) {
            endsInLine = std::string_view(tail, 4) == std::string_view("\r\0\n\0", 4);
        } else if (got >= 2) {
            endsInLine = std::string_view(tail + got - 2, 2) == std::string_view("\n\0", 2);
        }
        if (!endsInLine && st.st_size > 2) bytes.append("\r\0\n\0", 4);
    }
    bytes += EncodeListText(FormatListLine(entry));
    bool ok = WriteAll(fd, bytes.data(), bytes.size());
    int saved = errno;
    if (!ok && ftruncate(fd, st.st_size) != 0) {
        // Left torn: the next append ends the open line before its own.
    }
    if (close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    errno = saved;
    return ok;
}

bool ReadGuardFile(const std::wstring& path, std::wstring& text) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes, kGuardReadBytes)) return false;
    text = ParseGuardText(bytes);
    return true;
}
