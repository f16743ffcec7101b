#include "launcher/run_leftovers.h"

#include <string_view>

#include "common/path_util.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace {

// "<name>.XXXXXX.part": the partial downloads of earlier launcher versions.
bool IsOldPartialDownload(std::string_view name) {
    constexpr std::string_view kSuffix = ".part";
    if (name.size() < 8 + kSuffix.size() || !name.ends_with(kSuffix)) return false;
    return name[name.size() - kSuffix.size() - 7] == '.';
}

}  // namespace

void RemoveRunLeftovers(const std::wstring& installPath) {
    std::string root = NativePath(installPath);
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (root.empty()) return;

    fsys::WalkTree(root, [](const std::string& path, fsys::Kind kind) {
        if (kind != fsys::Kind::kFile) return;
        if (fsys::IsTemporaryName(path.substr(path.find_last_of('/') + 1))) fsys::RemoveFile(path);
    });

    // Temp only when it is a real folder: through a link it would be
    // somebody else's.
    const std::string temp = root + "/Temp";
    std::vector<fsys::FolderEntry> entries;
    if (fsys::KindOf(temp) != fsys::Kind::kFolder || !fsys::ListFolder(temp, entries)) return;
    for (const fsys::FolderEntry& e : entries) {
        if (e.kind != fsys::Kind::kFile) continue;
        if (e.name.starts_with("packserv.") || IsOldPartialDownload(e.name))
            fsys::RemoveFile(temp + "/" + e.name);
    }
    fsys::RemoveEmptyFolder(temp);
}

void RemoveRunLeftoversWhenAlone(const std::wstring& installPath) {
    const auto lock = InstanceLock::TryAcquire(L"QUON Launcher");
    if (lock) RemoveRunLeftovers(installPath);
}
