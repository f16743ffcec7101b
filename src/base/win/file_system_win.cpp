// The file-system service on Windows' wide calls. Reparse points (symbolic
// links, junctions) are this service's links: reported as kLink, removed as
// entries, never walked into.
#include <windows.h>

#include <cerrno>
#include <cwctype>

#include "base/file_system.h"
#include "base/win/win_path.h"

namespace fsys {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsMissingError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_NETPATH || error == ERROR_INVALID_DRIVE || error == ERROR_DIRECTORY;
}

Kind KindFromAttributes(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Kind::kLink;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Kind::kFolder;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return Kind::kOther;
    return Kind::kFile;
}

Kind KindOfWide(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        errno = win::ErrnoOf(error);
        return IsMissingError(error) ? Kind::kMissing : Kind::kUnknown;
    }
    return KindFromAttributes(attributes);
}

// Opens the entry itself, links followed, for questions about it.
HANDLE OpenForQuery(const std::wstring& path) {
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Removes a link or a file, whatever the read-only attribute says.
bool RemoveEntry(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    // A link to a folder is a folder entry of its own: RemoveDirectoryW
    // removes the link, not what it points to.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return RemoveDirectoryW(path.c_str()) || win::Fail();
    return DeleteFileW(path.c_str()) || win::Fail();
}

void RemoveBelow(const std::wstring& folder);

bool RemoveWide(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return IsMissingError(GetLastError());
    const bool realFolder =
        (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (realFolder) RemoveBelow(path);
    return RemoveEntry(path, attributes) || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// Calls `visit` with each entry of `folder` but "." and "..".
template <typename Visit>
bool ForEachEntry(const std::wstring& folder, Visit visit) {
    WIN32_FIND_DATAW data{};
    const bool endsInSeparator = !folder.empty() && folder.back() == L'\\';
    const HANDLE find =
        FindFirstFileExW((folder + (endsInSeparator ? L"*" : L"\\*")).c_str(), FindExInfoBasic, &data,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        // An empty drive root has no "." entry to find.
        return GetLastError() == ERROR_FILE_NOT_FOUND || win::Fail();
    }
    do {
        const std::wstring_view name = data.cFileName;
        if (name != L"." && name != L"..") visit(data);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

void RemoveBelow(const std::wstring& folder) {
    ForEachEntry(folder, [&](const WIN32_FIND_DATAW& e) { RemoveWide(folder + L"\\" + e.cFileName); });
}

}  // namespace

Kind KindOf(const std::string& path) {
    return KindOfWide(win::Wide(path));
}

Kind KindOfTarget(const std::string& path) {
    const std::wstring wide = win::Wide(path);
    const HANDLE h = OpenForQuery(wide);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        errno = win::ErrnoOf(error);
        if (IsMissingError(error)) return Kind::kMissing;
        // A file open elsewhere without sharing is still there.
        if (error == ERROR_SHARING_VIOLATION)
            return KindOfWide(wide) == Kind::kFolder ? Kind::kFolder : Kind::kFile;
        return Kind::kUnknown;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const DWORD type = GetFileType(h);
    const bool ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (type != FILE_TYPE_DISK) return Kind::kOther;
    if (!ok) return Kind::kUnknown;
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::kFolder : Kind::kFile;
}

int64_t FileSize(const std::string& path) {
    const HANDLE h = OpenForQuery(win::Wide(path));
    if (h == INVALID_HANDLE_VALUE) return win::Fail(), -1;
    LARGE_INTEGER size{};
    const bool ok = GetFileSizeEx(h, &size) || win::Fail();
    CloseHandle(h);
    return ok ? size.QuadPart : -1;
}

bool MakeFolder(const std::string& path) {
    return CreateDirectoryW(win::Wide(path).c_str(), nullptr) || win::Fail();
}

bool RemoveFile(const std::string& path) {
    const std::wstring wide = win::Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return win::Fail();
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        errno = EISDIR;
        return false;
    }
    return RemoveEntry(wide, attributes);
}

bool RemoveEmptyFolder(const std::string& path) {
    return RemoveDirectoryW(win::Wide(path).c_str()) || win::Fail();
}

bool RemoveTree(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
    const size_t cut = trimmed.find_last_of("/\\");
    const std::string name = cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
    if (name.empty() || name == "." || name == ".." || name.back() == ':') {
        errno = EINVAL;
        return false;
    }
    const std::wstring wide = win::Wide(trimmed);
    RemoveWide(wide);
    const bool gone = GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES;
    if (!gone) errno = ENOTEMPTY;
    return gone;
}

bool Rename(const std::string& from, const std::string& to) {
    const std::wstring wideFrom = win::Wide(from);
    const std::wstring wideTo = win::Wide(to);
    // A scanner that opened the new file (or the old one) without delete
    // sharing blocks the rename for a moment: retry briefly.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        // A read-only target refuses to be replaced on Windows (POSIX asks
        // the folder, not the file): the new file takes its place anyway.
        const DWORD attributes = GetFileAttributesW(wideTo.c_str());
        if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (SetFileAttributesW(wideTo.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) continue;
        }
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                          (error == ERROR_ACCESS_DENIED && KindOfWide(wideTo) == Kind::kFile);
        if (!held || attempt == 20) {
            errno = win::ErrnoOf(error);
            return false;
        }
        Sleep(50);
    }
}

bool SyncFolder(const std::string& folder) {
    // Windows has no folder sync: the renames went out with write-through.
    // What is left to check is that the folder is there.
    const Kind kind = KindOf(folder);
    if (kind == Kind::kFolder) return true;
    if (kind != Kind::kUnknown) errno = kind == Kind::kMissing ? ENOENT : ENOTDIR;
    return false;
}

bool SyncFileSystem(const std::string& path) {
    // Flushing a whole volume needs an administrator; the launcher runs as
    // the user, so the batch syncs each file instead (see CanSyncFileSystem).
    errno = ENOSYS;
    return false;
}

bool CanSyncFileSystem() {
    return false;
}

bool ChangeCurrentFolder(const std::string& folder) {
    return SetCurrentDirectoryW(win::Wide(folder).c_str()) || win::Fail();
}

std::string CurrentFolder() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
        if (n == 0) return std::string();
        if (n < buf.size()) return win::Utf8Path(std::wstring_view(buf.data(), n));
        buf.resize(n);
    }
}

std::string ExecutablePath() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return std::string();
        if (n < buf.size()) return win::Utf8Path(std::wstring_view(buf.data(), n));
        buf.resize(buf.size() * 2);
    }
}

bool detail::ListInto(const std::string& folder, std::vector<FolderEntry>& entries, bool withSizes) {
    const std::wstring wide = win::Wide(folder);
    // A link in place of the folder is not opened, as on POSIX.
    const Kind kind = KindOfWide(wide);
    if (kind != Kind::kFolder) {
        if (kind == Kind::kLink)
            errno = ELOOP;
        else if (kind != Kind::kMissing && kind != Kind::kUnknown)
            errno = ENOTDIR;
        return false;
    }
    return ForEachEntry(wide, [&](const WIN32_FIND_DATAW& e) {
        FolderEntry entry{win::Utf8(e.cFileName), KindFromAttributes(e.dwFileAttributes), -1};
        if (withSizes && entry.kind == Kind::kFile) {
            entry.size =
                static_cast<int64_t>((static_cast<uint64_t>(e.nFileSizeHigh) << 32) | e.nFileSizeLow);
        } else if (withSizes && entry.kind == Kind::kLink &&
                   !(e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            // The listing gives the link's own size; the file it leads to is asked.
            const std::string full = folder + "/" + entry.name;
            if (KindOfTarget(full) == Kind::kFile) entry.size = FileSize(full);
        }
        entries.push_back(std::move(entry));
    });
}

namespace {

// Shell wildcards: "*", "?", "[...]" with ranges and "!" or "^" to negate.
bool Matches(const char* p, const char* n) {
    for (; *p; ++p, ++n) {
        if (*p == '*') {
            while (p[1] == '*') ++p;
            for (const char* rest = n;; ++rest) {
                if (Matches(p + 1, rest)) return true;
                if (!*rest) return false;
            }
        }
        if (!*n) return false;
        if (*p == '?') continue;
        if (*p == '[') {
            const char* q = p + 1;
            const bool negate = *q == '!' || *q == '^';
            if (negate) ++q;
            bool found = false;
            bool first = true;
            for (; *q && (first || *q != ']'); ++q, first = false) {
                if (q[1] == '-' && q[2] && q[2] != ']') {
                    found |= *n >= *q && *n <= q[2];
                    q += 2;
                } else {
                    found |= *n == *q;
                }
            }
            if (*q != ']') {  // no closing bracket: a plain "["
                if (*n != '[') return false;
                continue;
            }
            if (found == negate) return false;
            p = q;
            continue;
        }
        if (*p != *n) return false;
    }
    return !*n;
}

}  // namespace

bool NameMatches(const std::string& pattern, const std::string& name) {
    return Matches(pattern.c_str(), name.c_str());
}

}  // namespace fsys
