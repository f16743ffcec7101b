// Rebuilding the client list from the files on disk.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cwctype>

#include "common/path_util.h"
#include "common/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "launcher/list_file_format.h"
#include "launcher/md5_checksum.h"

namespace {
bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b) {
    const std::wstring other = b;
    return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(x) == std::towlower(y);
           });
}

bool IsSkippedFolder(const std::wstring& name) {
    for (const wchar_t* skipped : {L"upload", L"ScreenShots", L"Save", L"GameGuard", L"Log", L"Config"}) {
        if (EqualsIgnoringCase(name, skipped)) return true;
    }
    return false;
}

bool IsSkippedFile(const std::wstring& name) {
    return name == L"QuonLauncher.exe" || name == L"QuonLauncherUpdater.exe" || name == L"Uninstall.exe";
}

// Sizes of 2 GiB and more do not fit the list's field; they are recorded as
// the largest value it holds.
int32_t ListedSize(off_t size) { return size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size); }

struct ScanEntry {
    std::string name;
    bool folder;
    off_t size;
};
}  // namespace

HRESULT CGameLauncherDlg::RebuildClientList() {
    m_vecClientList.clear();
    if (!CreateFoldersAlongPath(m_strInstallPath + L"packclit.lit")) return E_FAIL;
    ScanClientFiles(m_strInstallPath + L"*");
    if (!m_vecClientList.empty() && !Build_byclientchecksum()) return E_FAIL;
    WriteClientListFile();
    return S_OK;
}

void CGameLauncherDlg::ScanClientFiles(const std::wstring& pattern) {
    // The pattern names a folder and "*" or "*.*": every entry of the folder.
    const std::wstring folder = GetParentPath(pattern);
    std::wstring relativeFolder;
    const std::wstring root = GetParentPath(m_strInstallPath);
    if (folder.size() > root.size()) relativeFolder = folder.substr(root.size() + 1);
    ReplaceChar(relativeFolder, L'\\', L'/');

    DIR* dir = opendir(NativePath(folder).c_str());
    if (!dir) return;
    // Entries in name order, so that a rebuilt list does not depend on the
    // order the file system happens to keep.
    std::vector<ScanEntry> entries;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        const std::string full = NativePath(folder) + "/" + name;
        if (lstat(full.c_str(), &st) != 0) continue;
        // Links are not followed into folders (they may lead outside the
        // install folder or in a circle); devices and pipes are no game files.
        if (S_ISLNK(st.st_mode) && (stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode))) continue;
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;
        entries.push_back({name, S_ISDIR(st.st_mode), st.st_size});
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const ScanEntry& a, const ScanEntry& b) { return a.name < b.name; });

    for (const ScanEntry& e : entries) {
        const std::wstring name = text::FromUtf8(e.name);
        if (e.folder) {
            if (IsSkippedFolder(name)) continue;
            // The launcher's own download folder holds the server list while
            // it is compared; listing it would delete that list as obsolete
            // and leave a later comparison of this run without it.
            if (relativeFolder.empty() && name == L"Temp") continue;
            ScanClientFiles(text::FormatCut(text::kMaxPathChars, L"%s\\%s\\*.*", folder.c_str(), name.c_str()));
            continue;
        }
        if (IsSkippedFile(name)) continue;
        auto info = std::make_unique<PackFileInfo>();
        info->SetPath(text::Cut(relativeFolder.empty() ? name : relativeFolder + L"\\" + name, 258));
        info->nFileSize = ListedSize(e.size);
        // A file the list cannot record faithfully is neither recorded nor,
        // as obsolete, deleted.
        info->SetChecksum(std::wstring(32, L'0'));
        if (!IsListableEntry(*info)) continue;
        info->szChecksum.clear();
        m_vecClientList.push_back(std::move(info));
    }
}

bool CGameLauncherDlg::Build_byclientchecksum() {
    if (m_vecClientList.empty()) return true;
    m_dwTotalSize = 0;
    m_dwTotalRecv = 0;
    m_dwFileSize = static_cast<uint32_t>(m_vecClientList.size());
    m_dwFileRecv = 0;
    for (const auto& entry : m_vecClientList) {
        if (m_bStopRequested) return false;
        const std::wstring full = FullPath(entry->szPath);
        wchar_t sum[260] = {};
        errno = 0;
        if (!ChecksumOfFile(sum, full, &m_bStopRequested)) {
            if (m_bStopRequested) return false;  // closing, not a read failure
            ReportNow(CannotOpenText(full, errno, L"Unkown"), L"CGameLauncherDlg::Build_byclientchecksum");
            m_view.PostClose();
            return false;
        }
        entry->SetChecksum(sum);
        m_view.InvalidateRect(&kStatusText, false);
        SetCurrentFile(text::FormatCut(text::kMaxPathChars, L"Check: %s", entry->szPath.c_str()));
        ++m_dwFileRecv;
        RefreshProgress();
    }
    return true;
}
