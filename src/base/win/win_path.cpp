#include "base/win/win_path.h"

#include <cerrno>

namespace fsys::win {

std::wstring Wide(std::string_view utf8) {
    std::wstring out;
    if (!utf8.empty()) {
        const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        out.resize(static_cast<size_t>(n));
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    }
    for (wchar_t& c : out) {
        if (c == L'/') c = L'\\';
    }
    // "C:" alone means the drive's current folder, not its root.
    if (out.size() == 2 && out[1] == L':') out += L'\\';
    // Past MAX_PATH (248 for a folder) only the "\\?\" form reaches the file
    // system; it takes a full path with nothing left to normalise.
    if (out.size() >= 248 && out.compare(0, 4, L"\\\\?\\") != 0 && out.compare(0, 4, L"\\\\.\\") != 0) {
        const DWORD n = GetFullPathNameW(out.c_str(), 0, nullptr, nullptr);
        std::wstring full(n, L'\0');
        if (n == 0 || GetFullPathNameW(out.c_str(), n, full.data(), nullptr) >= n) return out;
        full.resize(n - 1);
        if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
        return L"\\\\?\\" + full;
    }
    return out;
}

std::string Utf8(std::wstring_view wide) {
    std::string out;
    if (!wide.empty()) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                          nullptr, nullptr);
        out.resize(static_cast<size_t>(n));
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                            nullptr);
    }
    return out;
}

std::string Utf8Path(std::wstring_view wide) {
    std::string out = Utf8(wide);
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

int ErrnoOf(DWORD error) {
    struct Pair {
        DWORD error;
        int number;
    };
    // The C run-time's own mapping, plus the few POSIX numbers the layers
    // above test for (a link loop, a folder not empty, a name too long).
    // clang-format off
    static constexpr Pair kTable[] = {
        {ERROR_FILE_NOT_FOUND, ENOENT},        {ERROR_PATH_NOT_FOUND, ENOENT},
        {ERROR_INVALID_DRIVE, ENOENT},         {ERROR_BAD_NETPATH, ENOENT},
        {ERROR_BAD_NET_NAME, ENOENT},          {ERROR_BAD_PATHNAME, ENOENT},
        {ERROR_NO_MORE_FILES, ENOENT},         {ERROR_TOO_MANY_OPEN_FILES, EMFILE},
        {ERROR_ACCESS_DENIED, EACCES},         {ERROR_SHARING_VIOLATION, EACCES},
        {ERROR_LOCK_VIOLATION, EACCES},        {ERROR_NETWORK_ACCESS_DENIED, EACCES},
        {ERROR_CURRENT_DIRECTORY, EACCES},     {ERROR_WRITE_PROTECT, EACCES},
        {ERROR_INVALID_HANDLE, EBADF},         {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
        {ERROR_OUTOFMEMORY, ENOMEM},           {ERROR_NOT_SAME_DEVICE, EXDEV},
        {ERROR_HANDLE_DISK_FULL, ENOSPC},      {ERROR_DISK_FULL, ENOSPC},
        {ERROR_FILE_EXISTS, EEXIST},           {ERROR_ALREADY_EXISTS, EEXIST},
        {ERROR_INVALID_PARAMETER, EINVAL},     {ERROR_INVALID_NAME, EINVAL},
        {ERROR_NEGATIVE_SEEK, EINVAL},         {ERROR_BROKEN_PIPE, EPIPE},
        {ERROR_DIR_NOT_EMPTY, ENOTEMPTY},      {ERROR_DIRECTORY, ENOTDIR},
        {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG}, {ERROR_CANT_RESOLVE_FILENAME, ELOOP},
        {ERROR_NOT_READY, EIO},                {ERROR_CRC, EIO},
    };
    // clang-format on
    for (const Pair& p : kTable) {
        if (p.error == error) return p.number;
    }
    return EIO;
}

bool Fail() {
    errno = ErrnoOf(GetLastError());
    return false;
}

}  // namespace fsys::win
