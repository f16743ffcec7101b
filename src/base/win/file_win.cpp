// fsys::File on Windows handles. Files are opened with every share mode, so
// a scanner or an antivirus can read them and a rename is never blocked by
// our own open handle.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "base/file_system.h"
#include "base/win/win_path.h"

namespace fsys {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// ReadFile and WriteFile take 32-bit counts.
constexpr size_t kMaxChunk = 1u << 30;

HANDLE H(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

struct OpenFlags {
    DWORD access;
    DWORD disposition;
};

OpenFlags FlagsOf(File::Mode mode) {
    switch (mode) {
        case File::Mode::kRead:
            return {GENERIC_READ, OPEN_EXISTING};
        case File::Mode::kReadWrite:
            return {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING};
        case File::Mode::kAppend:
            // Without FILE_WRITE_DATA every write goes to the end.
            return {GENERIC_READ | FILE_APPEND_DATA | FILE_WRITE_ATTRIBUTES, OPEN_ALWAYS};
        case File::Mode::kCreateTruncate:
            return {GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS};
        case File::Mode::kCreateExclusive:
            return {GENERIC_WRITE | DELETE, CREATE_NEW};
    }
    return {GENERIC_READ, OPEN_EXISTING};
}

// Writes all of it, at the file position or from `*offset`.
bool WriteFully(HANDLE h, const void* data, size_t size, const int64_t* offset) {
    const char* p = static_cast<const char*>(data);
    uint64_t done = 0;
    while (done < size) {
        OVERLAPPED at{};
        if (offset) {
            const uint64_t where = static_cast<uint64_t>(*offset) + done;
            at.Offset = static_cast<DWORD>(where & 0xFFFFFFFF);
            at.OffsetHigh = static_cast<DWORD>(where >> 32);
        }
        DWORD n = 0;
        if (!WriteFile(h, p + done, static_cast<DWORD>(std::min<uint64_t>(size - done, kMaxChunk)), &n,
                       offset ? &at : nullptr))
            return win::Fail();
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool File::Open(const std::string& path, Mode mode) {
    Close();
    const std::wstring wide = win::Wide(path);
    const OpenFlags flags = FlagsOf(mode);
    const HANDLE h = CreateFileW(wide.c_str(), flags.access, kShareAll, nullptr, flags.disposition,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A folder refuses a plain open with "access denied".
        if (error == ERROR_ACCESS_DENIED && IsFolder(wide)) {
            errno = EISDIR;
            return false;
        }
        errno = win::ErrnoOf(error);
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(h);
    return true;
}

int64_t File::Size() const {
    LARGE_INTEGER size{};
    if (m_handle < 0) {
        errno = EBADF;
        return -1;
    }
    if (!GetFileSizeEx(H(m_handle), &size)) return win::Fail(), -1;
    return size.QuadPart;
}

int64_t File::ModifiedTime() const {
    FILETIME written{};
    if (m_handle < 0) {
        errno = EBADF;
        return -1;
    }
    if (!GetFileTime(H(m_handle), nullptr, nullptr, &written)) return win::Fail(), -1;
    // 100 ns steps since 1601 -> seconds since 1970.
    const uint64_t ticks = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000ull) - 11644473600ll;
}

int64_t File::Read(void* data, size_t size) {
    DWORD got = 0;
    if (!ReadFile(H(m_handle), data, static_cast<DWORD>(std::min(size, kMaxChunk)), &got, nullptr)) {
        if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
        return win::Fail(), -1;
    }
    return got;
}

int64_t File::ReadAt(void* data, size_t size, int64_t offset) {
    // Unlike pread, this moves the file position; callers of ReadAt do not
    // mix it with Read.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    DWORD got = 0;
    if (!ReadFile(H(m_handle), data, static_cast<DWORD>(std::min(size, kMaxChunk)), &got, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF) return 0;
        return win::Fail(), -1;
    }
    return got;
}

bool File::Write(const void* data, size_t size) {
    return WriteFully(H(m_handle), data, size, nullptr);
}

bool File::WriteAt(const void* data, size_t size, int64_t offset) {
    return WriteFully(H(m_handle), data, size, &offset);
}

bool File::Truncate(int64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    return SetFileInformationByHandle(H(m_handle), FileEndOfFileInfo, &end, sizeof(end)) || win::Fail();
}

bool File::Sync() {
    return FlushFileBuffers(H(m_handle)) || win::Fail();
}

bool File::SyncData() {
    return Sync();
}

void File::StartWriteBack(int64_t, int64_t) {
    // Windows has no call that starts write-back without waiting for it.
}

bool File::SetCreationMode(unsigned mode) {
    // Windows files carry no mode bits; only "nobody may write" has a
    // counterpart, the read-only attribute.
    if (mode == 0 || (mode & 0222) != 0) return true;
    FILE_BASIC_INFO info{};
    if (!GetFileInformationByHandleEx(H(m_handle), FileBasicInfo, &info, sizeof(info))) return win::Fail();
    info.FileAttributes |= FILE_ATTRIBUTE_READONLY;
    return SetFileInformationByHandle(H(m_handle), FileBasicInfo, &info, sizeof(info)) || win::Fail();
}

bool File::Close() {
    if (m_handle < 0) return true;
    const HANDLE h = H(std::exchange(m_handle, -1));
    return CloseHandle(h) || win::Fail();
}

}  // namespace fsys
