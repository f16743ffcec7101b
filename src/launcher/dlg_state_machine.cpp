// The worker loop, the dispatcher and the small state handlers.
#include <sys/stat.h>

#include "common/crash/exception_handler.h"
#include "common/file_util.h"
#include "common/path_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"

unsigned CGameLauncherDlg::LauncherThreadProc(CGameLauncherDlg* dlg) {
    ExceptionHandler::PrepareCurrentThread();
    while (dlg->GetState() != STATE_END && !dlg->m_bStopRequested) {
        dlg->ProcessState();
        dlg->m_platform.SleepMs(1);
    }
    dlg->m_platform.SleepMs(1);
    // A stop requested by the window's thread means the window is closing
    // already; only a run that ended by itself asks it to close.
    if (!dlg->m_bStopRequested) dlg->m_view.PostClose();
    return 0;
}

void CGameLauncherDlg::ProcessState() {
    switch (GetState()) {
        case STATE_CHECK_UPDATER: Ls_CheckUpdater(); break;
        case STATE_RUN_UPDATER: Ls_RunUpdater(); break;
        case STATE_GET_FILE_LIST: Ls_UpdateFileList(); break;
        case STATE_COMPARE_LISTS: Ls_CompareFileList(); break;
        case STATE_UPDATE_FILES: Ls_Update(); break;
        case STATE_READY: Ls_Ready(); break;
        case STATE_IDLE: Ls_Idle(); break;
        case STATE_QUIT: Ls_Quit(); break;
        case STATE_ERROR: Ls_Error(); break;
        default: break;
    }
}

void CGameLauncherDlg::Ls_UpdateFileList() {
    mkdir(NativePath(m_strInstallPath + L"Temp").c_str(), 0755);
    if (!GetUpdateListFile()) {
        // A closing window asked for the stop; there is nothing to tell.
        if (!m_bStopRequested) ReportNow(GetLauncherMessage(5), L"CGameLauncherDlg::Ls_UpdateFileList");
        return;
    }
    SetState(STATE_COMPARE_LISTS);
}

void CGameLauncherDlg::Ls_Ready() {
    // Idle first: a button pressed the moment it is enabled must find the
    // worker idle.
    SetState(STATE_IDLE);
    SetButtonsEnabled(true);
    m_bTextRefresh = true;
    m_view.InvalidateRect(&kStatusText, false);
}

void CGameLauncherDlg::Ls_Idle() { RemoveFolderTree(m_strInstallPath + L"Temp"); }

void CGameLauncherDlg::Ls_Quit() { SetState(STATE_END); }

void CGameLauncherDlg::OnBnClickedButtonRepair() {
    // The button is live only while the worker idles.
    if (!m_bButtonsEnabled || GetState() != STATE_IDLE) return;
    DeleteLocalFile(false, m_strInstallPath + L"packclit.lit");
    SetState(STATE_GET_FILE_LIST);
    SetButtonsEnabled(false);
    ResetProgressBars();
    m_view.InvalidateRect(&kStatusText, false);
}

void CGameLauncherDlg::OnTimer(int id) {
    if (id != 1) return;
    if (m_dwTotalSize.load() > m_dwTotalRecv.load()) return;
    m_view.KillTimer(1);
}
