// The server list and its guard, the client list, and their comparison.
#include <algorithm>
#include <cerrno>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "util/file_util.h"
#include "util/path_util.h"
#include "util/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "launcher/list_file_format.h"
#include "launcher/md5_checksum.h"

namespace {
// Sets instead of a walk of the other list per entry: the lists hold tens of
// thousands of entries, and a walk per entry made this quadratic. The sets
// hold views of the entries' texts, not copies: neither list changes while
// its set is in use.
template <typename DeleteFile>
void DropObsoleteClientEntries(PackFileList& client, const PackFileList& server, DeleteFile deleteFile) {
    std::unordered_set<std::wstring_view> serverPaths;
    serverPaths.reserve(server.size());
    for (const auto& entry : server) serverPaths.insert(entry->szPath);
    std::erase_if(client, [&](const std::unique_ptr<PackFileInfo>& entry) {
        if (!entry->szPath.empty() && serverPaths.count(entry->szPath)) return false;
        deleteFile(entry->szPath);
        return true;
    });
}

// Every server entry for which no client entry has both the same path and
// the same checksum, in server order, each a copy of its own.
PackFileList CopyEntriesToFetch(const PackFileList& client, const PackFileList& server) {
    using PathAndSum = std::pair<std::wstring_view, const ListChecksum*>;
    struct PathAndSumHash {
        size_t operator()(const PathAndSum& key) const {
            return std::hash<std::wstring_view>()(key.first) * 31 + key.second->Hash();
        }
    };
    struct PathAndSumEqual {
        bool operator()(const PathAndSum& a, const PathAndSum& b) const {
            return a.first == b.first && *a.second == *b.second;
        }
    };
    std::unordered_set<PathAndSum, PathAndSumHash, PathAndSumEqual> installed;
    installed.reserve(client.size());
    for (const auto& entry : client) {
        if (!entry->szPath.empty()) installed.emplace(entry->szPath, &entry->szChecksum);
    }
    PackFileList toFetch;
    for (const auto& entry : server) {
        if (installed.count(PathAndSum(entry->szPath, &entry->szChecksum)) == 0) {
            toFetch.push_back(std::make_unique<PackFileInfo>(*entry));
        }
    }
    return toFetch;
}

}  // namespace

bool CGameLauncherDlg::GetUpdateListFile() {
    if (DownloadUpdateListFile() && CheckSumUpdateListFile()) return true;
    // Without a trusted server list the client list is not trusted either:
    // the next run rebuilds it from the disk.
    DeleteLocalFile(false, m_strInstallPath + L"packclit.lit");
    SetState(STATE_QUIT);
    return false;
}

bool CGameLauncherDlg::DownloadUpdateListFile() {
    const std::wstring base = m_pPublisher->GetPatchUrl();
    for (const wchar_t* name : {L"packserv.txt", L"packserv.md5"}) {
        if (!URLDownload(base + name, m_strInstallPath + L"Temp/" + name, nullptr)) {
            SetState(STATE_QUIT);
            return false;
        }
    }
    return true;
}

bool CGameLauncherDlg::CheckSumUpdateListFile() {
    const std::wstring list = m_strInstallPath + L"Temp/packserv.txt";
    wchar_t sum[260] = {};
    errno = 0;
    if (!ChecksumOfFile(sum, list)) {
        ReportNow(CannotOpenText(list, errno, L"Unkown"), L"CGameLauncherDlg::CheckSumUpdateListFile");
        return false;
    }
    std::wstring guard;
    if (!ReadGuardFile(m_strInstallPath + L"Temp/packserv.md5", guard)) return false;
    if (guard == sum) return true;
    ReportNow(text::FormatW(L"%s", GetLauncherMessage(37)), L"CGameLauncherDlg::CheckSumUpdateListFile");
    return false;
}

HRESULT CGameLauncherDlg::ReadClientListFile() {
    PackFileList read;
    if (!ReadListFile(m_strInstallPath + L"packclit.lit", read, true)) return E_FAIL;
    for (auto& entry : read) m_vecClientList.push_back(std::move(entry));
    return S_OK;
}

// Fills the server list only: the comparison gives the update list its own
// copies of just the entries still to fetch, so that a large install never
// holds a second full copy of the server list it would thin away at once.
HRESULT CGameLauncherDlg::ReadUpdateListFile() {
    return ReadListFile(m_strInstallPath + L"Temp/packserv.txt", m_vecServerList) ? S_OK : E_FAIL;
}

bool CGameLauncherDlg::WriteClientListFile() {
    if (m_vecClientList.empty()) return true;
    // An entry whose line would not read back as written (a path too long for
    // one line) is left out: read back cut short, it would name another file.
    // Left out, its file is only fetched again when the server lists it.
    if (std::all_of(m_vecClientList.begin(), m_vecClientList.end(),
                    [](const auto& entry) { return IsListableEntry(*entry); })) {
        return WriteListFile(m_strInstallPath + L"packclit.lit", m_vecClientList);
    }
    PackFileList listable;
    for (const auto& entry : m_vecClientList) {
        if (IsListableEntry(*entry)) listable.push_back(std::make_unique<PackFileInfo>(*entry));
    }
    return WriteListFile(m_strInstallPath + L"packclit.lit", listable);
}

void CGameLauncherDlg::StopOnClientListFailure(int error, const wchar_t* function) {
    ReportNow(CannotOpenText(FullPath(L"packclit.lit"), error, L"Unknown"), function);
    SetState(STATE_QUIT);
}

void CGameLauncherDlg::DeleteObsoleteFile(const std::wstring& path) {
    // A list names files below the install folder only; anything else is
    // dropped from the list without touching the disk.
    if (!StaysInsideFolder(m_strInstallPath, path)) return;
    const std::wstring full = FullPath(path);
    if (DeleteLocalFile(true, full)) return;
    SetPendingError(text::FormatW(L"%s\n%s\n%s", GetLauncherMessage(6), kCodeLC1033, full.c_str()));
    m_bObsoleteDeleteFailed = true;
}

void CGameLauncherDlg::Ls_CompareFileList() {
    m_view.InvalidateRect(&kStatusText, false);
    m_vecUpdateList.clear();
    m_vecServerList.clear();
    m_bObsoleteDeleteFailed = false;
    // The reader appends: a list left from the last pass (a repair whose
    // packclit.lit could not be deleted) would be read in twice.
    m_vecClientList.clear();

    if (ReadClientListFile() != S_OK && RebuildClientList() != S_OK) {
        SetState(STATE_QUIT);
        return;
    }
    if (ReadUpdateListFile() != S_OK) {
        SetState(STATE_QUIT);
        return;
    }
    // A server list that names a path outside the install folder is not one
    // we can apply; nothing is touched.
    for (const auto& entry : m_vecServerList) {
        if (IsSafeRelativePath(entry->szPath)) continue;
        ReportNow(text::FormatW(L"%s\n%s", GetLauncherMessage(37), entry->szPath.c_str()),
                  L"CGameLauncherDlg::Ls_CompareFileList");
        SetState(STATE_QUIT);
        return;
    }

    DropObsoleteClientEntries(m_vecClientList, m_vecServerList,
                              [this](const std::wstring& path) { DeleteObsoleteFile(path); });
    m_vecUpdateList = CopyEntriesToFetch(m_vecClientList, m_vecServerList);
    // A list that cannot be recorded would be read back stale by the next
    // run: stop here rather than patch files nobody records. (Written after
    // the update list is made: the order changes nothing on disk or screen,
    // and the write then runs beside the thinned list, not a full copy.)
    if (!WriteClientListFile()) {
        StopOnClientListFailure(errno, L"CGameLauncherDlg::Ls_CompareFileList");
        return;
    }

    SetState(m_bObsoleteDeleteFailed ? STATE_ERROR : STATE_UPDATE_FILES);
}
