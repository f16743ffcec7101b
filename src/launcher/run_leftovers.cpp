#include "launcher/run_leftovers.h"

#include <string_view>

#include "util/path_util.h"
#include "base/file_system.h"
#include "os/process.h"

namespace {

// "<name>.XXXXXX.part": the partial downloads of earlier launcher versions.
bool IsOldPartialDownload(std::string_view name) {
    constexpr std::string_view kSuffix = ".part";
    if (name.size() < 8 + kSuffix.size() || !name.ends_with(kSuffix)) return false;
    return name[name.size() - kSuffix.size() - 7] == '.';
}

std::string RootOf(const std::wstring& installPath) {
    std::string root = NativePath(installPath);
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return root;
}

// The server list, temporaries and old partial downloads in Temp; Temp
// itself when nothing else is left in it. Only a real folder: through a link
// it would be somebody else's.
void RemoveTempScratch(const std::string& root) {
    const std::string temp = root + "/Temp";
    std::vector<fsys::FolderEntry> entries;
    if (fsys::KindOf(temp) != fsys::Kind::kFolder || !fsys::ListFolder(temp, entries)) return;
    for (const fsys::FolderEntry& e : entries) {
        if (e.kind != fsys::Kind::kFile) continue;
        if (e.name.starts_with("packserv.") || fsys::IsTemporaryName(e.name) ||
            IsOldPartialDownload(e.name)) {
            fsys::RemoveFile(temp + "/" + e.name);
        }
    }
    fsys::RemoveEmptyFolder(temp);
}

}  // namespace

void RemoveRunLeftovers(const std::wstring& installPath) {
    const std::string root = RootOf(installPath);
    if (root.empty()) return;
    fsys::WalkTree(root, [](const std::string& path, fsys::Kind kind) {
        if (kind != fsys::Kind::kFile) return;
        if (fsys::IsTemporaryName(path.substr(path.find_last_of('/') + 1))) fsys::RemoveFile(path);
    });
    RemoveTempScratch(root);
}

void RemoveTempLeftoversWhenAlone(const std::wstring& installPath) {
    const std::string root = RootOf(installPath);
    if (root.empty() || IsInstanceLockHeld(L"QUON Launcher")) return;
    RemoveTempScratch(root);
}
