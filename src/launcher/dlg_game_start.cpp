// The Start button: check the executables and data packs once more, then
// start the game client and end.
#include "util/file_util.h"
#include "util/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "launcher/md5_checksum.h"

namespace {
constexpr const wchar_t* kClientName = L"Vevida2.0.exe";

bool IsCheckedAtStart(const std::wstring& path) {
    for (const wchar_t* marker : {L".exe", L".dll", L"xml.", L"xdb."}) {
        if (path.find(marker) != std::wstring::npos) return true;
    }
    return false;
}

const PackFileInfo* FindServerEntry(const PackFileList& list, const std::wstring& path) {
    for (const auto& entry : list) {
        if (!entry->szPath.empty() && entry->szPath == path) return entry.get();
    }
    return nullptr;
}
}  // namespace

void CGameLauncherDlg::OnBnClickedButtonStart() {
    // Live only while the worker idles, which leaves the lists to this thread.
    if (!m_bButtonsEnabled || GetState() != STATE_IDLE) return;
    SetButtonsEnabled(false);
    m_dwTotalSize = 0;
    m_dwTotalRecv = 0;
    m_dwFileRecv = 0;
    m_dwFileSize = static_cast<uint32_t>(m_vecClientList.size());

    auto reject = [this](const std::wstring& full) {
        ReportNow(text::FormatW(GetLauncherMessage(17), full.c_str()), L"CGameLauncherDlg::OnBnClickedButtonStart");
        ResetPatchState();
        m_view.PostClose();
    };

    for (const auto& entry : m_vecClientList) {
        if (!IsCheckedAtStart(entry->szPath)) continue;
        const std::wstring full = FullPath(entry->szPath);
        wchar_t sum[260] = {};
        if (!ChecksumOfFile(sum, full)) return reject(full);
        entry->SetChecksum(sum);
        m_view.InvalidateRect(&kStatusText, false);
        SetCurrentFile(text::FormatCut(text::kMaxPathChars, L"Check: %s", entry->szPath.c_str()));
        ++m_dwFileRecv;
        RefreshProgress();
        m_view.UpdateWindowNow();
        const PackFileInfo* server = FindServerEntry(m_vecServerList, entry->szPath);
        if (server && server->szChecksum != entry->szChecksum) return reject(full);
    }

    const int result = StartInstalledProgram(kClientName, L"CGameLauncherDlg::OnBnClickedButtonStart");
    if (result > 32) {
        SetState(STATE_QUIT);
        return;
    }
    const std::wstring clientList = m_strInstallPath + L"packclit.lit";
    DeleteLocalFile(false, clientList);
    if (DeleteLocalFile(true, clientList)) {
        ShowAndLog(text::FormatW(kExecuteFailedFormat, kClientName, GetExecuteErrorText(result).c_str()),
                   L"CGameLauncherDlg::OnBnClickedButtonStart");
    } else {
        ReportNow(text::FormatW(L"%s\n%s\n%s", GetLauncherMessage(6), kCodeLC1020, clientList.c_str()),
                  L"CGameLauncherDlg::OnBnClickedButtonStart");
    }
    m_view.PostClose();
}
