// Rebuilding the client list from the files on disk.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cwctype>
#include <source_location>

#include "util/path_util.h"
#include "util/text_util.h"
#include "launcher/checksum_pool.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "launcher/list_file_format.h"
#include "base/file_system.h"

namespace {
bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b) {
    const std::wstring other = b;
    return a.size() == other.size() &&
           std::equal(a.begin(), a.end(), other.begin(),
                      [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
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
int32_t ListedSize(uint64_t size) {
    return size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
}

// A name the list cannot spell: its bytes, invalid UTF-8 shown as \xNN.
std::wstring ShownName(const std::string& raw) {
    std::wstring shown;
    for (size_t i = 0; i < raw.size();) {
        size_t next = i + 1;
        while (next < raw.size() && (static_cast<unsigned char>(raw[next]) & 0xC0) == 0x80) ++next;
        const std::string_view piece(raw.data() + i, next - i);
        const std::wstring wide = text::FromUtf8(piece);
        if (text::ToUtf8(wide) == piece) {
            shown += wide;
        } else {
            for (unsigned char c : piece) shown += text::FormatW(L"\\x%02X", c);
        }
        i = next;
    }
    return shown;
}

void LogSkipped(CGameLauncherDlg& dlg, const std::wstring& why, const std::wstring& path,
                std::source_location site = std::source_location::current()) {
    dlg.WriteLauncherLog(L"Skipped (" + why + L"): " + path, L"CGameLauncherDlg::ScanClientFiles",
                         static_cast<int32_t>(site.line()), L"dlg_install_scan.cpp");
}
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
    // One that does not fit the path buffers is not scanned: cut, it would
    // name another folder (an ancestor, scanned again without end).
    const std::wstring folder = GetParentPath(pattern);
    if (pattern.size() > text::kMaxPathChars) return LogSkipped(*this, L"path too long", folder);
    std::wstring relativeFolder;
    const std::wstring root = GetParentPath(m_strInstallPath);
    if (folder.size() > root.size()) relativeFolder = folder.substr(root.size() + 1);
    ReplaceChar(relativeFolder, L'\\', L'/');

    const std::string nativeFolder = NativePath(folder);
    std::vector<fsys::FolderEntry> entries;
    if (!fsys::ListFolderWithSizes(nativeFolder, entries)) return;
    // Entries in name order, so that a rebuilt list does not depend on the
    // order the file system happens to keep.
    std::sort(entries.begin(), entries.end(),
              [](const fsys::FolderEntry& a, const fsys::FolderEntry& b) { return a.name < b.name; });

    for (const fsys::FolderEntry& e : entries) {
        // Links are not followed into folders (they may lead outside the
        // install folder or in a circle); a link to a file is listed as the
        // file. Devices and pipes are no game files.
        if (e.kind != fsys::Kind::kFile && e.kind != fsys::Kind::kFolder &&
            !(e.kind == fsys::Kind::kLink && e.size >= 0)) {
            continue;
        }
        const std::wstring name = text::FromUtf8(e.name);
        // A name that is not UTF-8 cannot be spelt in the list: read back, it
        // would name no file and fail every checksum pass.
        if (text::ToUtf8(name) != e.name) {
            LogSkipped(*this, L"name is not UTF-8", folder + L"\\" + ShownName(e.name));
            continue;
        }
        if (e.kind == fsys::Kind::kFolder) {
            if (IsSkippedFolder(name)) continue;
            // The launcher's own download folder holds the server list while
            // it is compared; listing it would delete that list as obsolete
            // and leave a later comparison of this run without it.
            if (relativeFolder.empty() && name == L"Temp") continue;
            ScanClientFiles(text::FormatW(L"%s\\%s\\*.*", folder.c_str(), name.c_str()));
            continue;
        }
        if (IsSkippedFile(name)) continue;
        const std::wstring full = folder + L"\\" + name;
        if (full.size() > text::kMaxPathChars) {
            LogSkipped(*this, L"path too long", full);
            continue;
        }
        auto info = std::make_unique<PackFileInfo>();
        info->SetPath(relativeFolder.empty() ? name : relativeFolder + L"\\" + name);
        if (e.size < 0) continue;  // gone, or no longer a file, while it was listed
        info->nFileSize = ListedSize(static_cast<uint64_t>(e.size));
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
    // Every core hashes; the digests come back in list order, so progress,
    // the recorded list and the first failure are those of one pass. The
    // list is not changed while the pool reads its paths.
    ChecksumPool pool(
        m_vecClientList.size(), [this](size_t i) { return FullPath(m_vecClientList[i]->szPath); },
        ChecksumPool::WorkerCount(m_platform.Config().scanWorkers));
    for (size_t i = 0; i < m_vecClientList.size(); ++i) {
        if (m_bStopRequested) return false;
        FileDigest digest;
        if (!pool.Take(i, digest, m_bStopRequested)) return false;
        PackFileInfo& entry = *m_vecClientList[i];
        if (!digest.ok) {
            if (m_bStopRequested) return false;  // closing, not a read failure
            ReportNow(CannotOpenText(FullPath(entry.szPath), digest.error, L"Unkown"),
                      L"CGameLauncherDlg::Build_byclientchecksum");
            m_view.PostClose();
            return false;
        }
        entry.SetChecksum(digest.text);
        m_view.InvalidateRect(&kStatusText, false);
        SetCurrentFile(text::FormatCut(text::kMaxPathChars, L"Check: %s", entry.szPath.c_str()));
        ++m_dwFileRecv;
        RefreshProgress();
    }
    return true;
}
