#include "util/path_util.h"

#include <cerrno>

#include "util/text_util.h"
#include "base/file_system.h"

namespace {
bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\' || c == L':'; }
}  // namespace

std::wstring GetParentPath(std::wstring_view path) {
    for (size_t i = path.size(); i-- > 0;) {
        if (IsSeparator(path[i])) return std::wstring(path.substr(0, i));
    }
    return std::wstring(path);
}

std::wstring GetLastPathComponent(std::wstring_view path) {
    for (size_t i = path.size(); i-- > 0;) {
        if (IsSeparator(path[i])) return std::wstring(path.substr(i + 1));
    }
    return std::wstring(path);
}

bool CreateFoldersAlongPath(std::wstring_view path) {
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] != L'\\' && path[i] != L'/') continue;
        if (i > 0 && path[i - 1] == L':') continue;
        if (i == 0) continue;  // the root of an absolute Linux path
        const std::string folder = NativePath(path.substr(0, i));
        if (!fsys::MakeFolder(folder) && errno != EEXIST) return false;
        if (fsys::KindOfTarget(folder) != fsys::Kind::kFolder) return false;
    }
    return true;
}

void ReplaceChar(std::wstring& text, wchar_t newChar, wchar_t oldChar) {
    for (auto& c : text) {
        if (c == oldChar) c = newChar;
    }
}

void RemoveChar(std::wstring& text, wchar_t ch) { std::erase(text, ch); }

void GetModuleFolder(std::wstring& out, bool cut) {
    out = text::FromUtf8(fsys::ExecutablePath());
    if (cut) {
        size_t slash = out.find_last_of(L"/\\");
        if (slash != std::wstring::npos) out.resize(slash);
    }
}

std::string NativePath(std::wstring_view path) {
    std::wstring p(path);
    ReplaceChar(p, L'/', L'\\');
    return text::ToUtf8(p);
}

namespace {
wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 (the superscript digits too) name
// devices in every folder on Windows, whatever extension follows and with
// spaces before it.
bool IsReservedDeviceName(std::wstring_view part) {
    std::wstring_view stem = part.substr(0, part.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
    std::wstring upper;
    for (wchar_t c : stem) upper += Upper(c);
    if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL") return true;
    if (upper.size() != 4 || (upper.compare(0, 3, L"COM") != 0 && upper.compare(0, 3, L"LPT") != 0)) return false;
    const wchar_t digit = upper[3];
    return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}
}  // namespace

bool IsSafeRelativePath(std::wstring_view relative) {
    if (relative.empty()) return false;
    if (relative[0] == L'\\' || relative[0] == L'/') return false;
    size_t start = 0;
    for (size_t i = 0; i <= relative.size(); ++i) {
        if (i < relative.size()) {
            wchar_t c = relative[i];
            // ":" makes a drive or an alternate stream.
            if (c < 0x20 || c == L':') return false;
            if (c != L'\\' && c != L'/') continue;
        }
        std::wstring_view part = relative.substr(start, i - start);
        if (part.empty() || part == L"." || part == L"..") return false;
        // Windows drops a trailing dot or space: "a." would be "a".
        if (part.back() == L'.' || part.back() == L' ') return false;
        if (IsReservedDeviceName(part)) return false;
        start = i + 1;
    }
    return true;
}
