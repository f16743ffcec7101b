#include <windows.h>

#include <algorithm>
#include <string>

#include "support/links.h"

namespace {
std::wstring Wide(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    const int n = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), out.data(), n);
    return out;
}

bool Link(const std::string& target, const std::string& link, DWORD flags) {
    // Without the privilege, developer mode allows it unprivileged. Wine 8
    // reports success and leaves no link to be seen: only a link that is
    // there as a reparse point counts.
    const std::wstring at = Wide(link);
    CreateSymbolicLinkW(at.c_str(), Wide(target).c_str(),
                        flags | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD attributes = GetFileAttributesW(at.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
}  // namespace

bool MakeFolderLink(const std::string& target, const std::string& link) {
    return Link(target, link, SYMBOLIC_LINK_FLAG_DIRECTORY);
}

bool MakeFileLink(const std::string& target, const std::string& link) {
    return Link(target, link, 0);
}
