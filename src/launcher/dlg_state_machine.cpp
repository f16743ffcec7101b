// The worker loop, the dispatcher and the small state handlers.
#include <cxxabi.h>

#include <chrono>

#include "services/crash/exception_handler.h"
#include "util/file_util.h"
#include "util/path_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "base/file_system.h"

namespace {
// A ready launcher removes a Temp folder made behind its back at this pace;
// the worker sleeps in between unless something happens.
constexpr auto kIdleSweep = std::chrono::seconds(1);
}  // namespace

unsigned CGameLauncherDlg::LauncherThreadProc(CGameLauncherDlg* dlg) {
    ExceptionHandler::PrepareCurrentThread();
    // The last line of defence: the launcher's own code throws nothing, but
    // the standard library may (bad_alloc, length_error). The player hears
    // of it as of any unexpected error, and the launcher ends in order.
    try {
        dlg->RunWorkerLoop();
    } catch (const abi::__forced_unwind&) {
        throw;  // thread cancellation is no error
    } catch (...) {
        try {
            dlg->ReportNow(GetLauncherMessage(7), L"CGameLauncherDlg::LauncherThreadProc");
        } catch (...) {
            // Nothing left to report with; ending is still better than a crash.
        }
        dlg->m_nState = STATE_END;
    }
    dlg->m_platform.SleepMs(1);
    // A stop requested by the window's thread means the window is closing
    // already; only a run that ended by itself asks it to close.
    if (!dlg->m_bStopRequested) dlg->m_view.PostClose();
    return 0;
}

void CGameLauncherDlg::RunWorkerLoop() {
    while (GetState() != STATE_END && !m_bStopRequested) {
        ProcessState();
        if (GetState() == STATE_IDLE) {
            WaitWhileIdle();
        } else {
            m_platform.SleepMs(1);
        }
    }
}

void CGameLauncherDlg::WaitWhileIdle() {
    std::unique_lock lock(m_wakeLock);
    m_wake.wait_for(lock, kIdleSweep, [this] { return GetState() != STATE_IDLE || m_bStopRequested; });
}

void CGameLauncherDlg::WakeWorker() {
    // Taking the lock orders the change before the waiter's next look at it:
    // a wake-up cannot fall between its check and its sleep.
    { std::lock_guard lock(m_wakeLock); }
    m_wake.notify_all();
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
    // Temp must be a real folder of the install folder: a file in its way
    // would fail every download, a link would write elsewhere.
    const std::string temp = NativePath(m_strInstallPath + L"Temp");
    if (!fsys::MakeFolder(temp) && fsys::KindOf(temp) != fsys::Kind::kFolder) {
        ShowAndLog(GetLauncherMessage(4), L"CGameLauncherDlg::Ls_UpdateFileList");
        SetState(STATE_QUIT);
        return;
    }
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
