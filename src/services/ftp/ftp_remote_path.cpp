#include "services/ftp/ftp_remote_path.h"

namespace ftp_path {

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    if (from.empty()) return;
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::wstring::npos) {
        text.replace(pos, from.size(), to);
        // Step back over what may now start a new match ("///" -> "//" -> "/").
        pos = pos + to.size() >= from.size() ? pos + to.size() - from.size() + 1 : pos;
    }
}

std::wstring Normalise(std::wstring path) {
    ReplaceAll(path, L"\\", L"/");
    ReplaceAll(path, L"//", L"/");
    return path;
}

std::wstring GetRemoteFolderPart(const std::wstring& path) {
    const size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring FolderWithoutSlash(const std::wstring& path) {
    std::wstring folder = Normalise(path);
    const size_t slash = folder.rfind(L'/');
    if (slash == std::wstring::npos) return folder;
    if (slash == 0) return L"/";
    folder.resize(slash);
    return folder;
}

}  // namespace ftp_path
