// The player's start: fetch the updater, start it, end.
#include "util/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"

namespace {
constexpr const wchar_t* kUpdaterName = L"QuonLauncherUpdater.exe";
}

void CGameLauncherDlg::Ls_CheckUpdater() {
    const std::wstring url = m_pPublisher->GetPatchUrl() + kUpdaterName;
    const std::wstring localPath = m_strInstallPath + kUpdaterName;
    SetState(URLDownload(url, localPath, nullptr) ? STATE_RUN_UPDATER : STATE_QUIT);
}

void CGameLauncherDlg::Ls_RunUpdater() {
    // A download carries no permission bits; the updater must be runnable.
    m_platform.MakeExecutable(m_strInstallPath + kUpdaterName);
    const int result = StartInstalledProgram(kUpdaterName, L"CGameLauncherDlg::Ls_RunUpdater");
    if (result > 32) {
        SetState(STATE_QUIT);
        return;
    }
    SetPendingError(text::FormatW(kExecuteFailedFormat, kUpdaterName, GetExecuteErrorText(result).c_str()));
    SetState(STATE_ERROR);
}
