// Construction, start-up checks, close and release.
#include "util/path_util.h"
#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "os/thread_start.h"

std::atomic<int32_t> CGameLauncherDlg::s_nUnzipGiveUps{0};

CGameLauncherDlg::CGameLauncherDlg(LauncherPlatform& platform, LauncherView& view,
                                   std::vector<std::wstring> arguments)
    : m_platform(platform), m_view(view) {
    m_strExecutablePath = m_platform.GetExecutablePath();
    m_pPublisher = std::make_unique<PUBLISHER_INFO::Manager>(
        m_platform, std::move(arguments), [this](const std::wstring& text) { ShowMessage(text); });

    if (!m_platform.AcquireInstanceLock()) {
        m_startupResult = StartupResult::kAnotherInstance;
        return;
    }
    if (!m_pPublisher->ParseCommandLine()) {
        m_startupResult = StartupResult::kBadCommandLine;
        return;
    }
    SetCurrentFile(L"");
    m_strInstallPath = GetParentPath(m_strExecutablePath) + L"/";
}

CGameLauncherDlg::~CGameLauncherDlg() {
    StopWorker();
    // Released by its own worker (a view that broke the thread rules): the
    // thread object must not outlive the dialog joinable.
    if (m_worker.joinable()) m_worker.detach();
}

std::wstring CGameLauncherDlg::FullPath(const std::wstring& relative) const {
    std::wstring path = m_strInstallPath + relative;
    ReplaceChar(path, L'/', L'\\');
    return path;
}

bool CGameLauncherDlg::OnInitDialog() {
    if (m_startupResult != StartupResult::kOk) return false;
    if (m_platform.IsGameClientRunning()) {
        ShowMessage(GetLauncherMessage(16));
        m_view.PostClose();
        return false;
    }
    if (m_pPublisher->IsFromUpdater()) {
        SetState(STATE_GET_FILE_LIST);
        if (!m_pPublisher->RepairShortcuts()) {
            m_view.PostClose();
            return false;
        }
    } else {
        SetState(STATE_CHECK_UPDATER);
    }
    if (GetState() == STATE_GET_FILE_LIST) PrepareWindow();
    ResetLauncherLog();
    m_worker = StartThread(&CGameLauncherDlg::LauncherThreadProc, this);
    return true;
}

void CGameLauncherDlg::PrepareWindow() {
    m_dwFileSize = 0;
    m_dwFileRecv = 0;
    m_dwTotalSize = 0;
    m_dwTotalRecv = 0;
    m_dwLastProgress = 0;
    m_bTextRefresh = false;
    ResetProgressBars();
    SetButtonsEnabled(false);
    m_view.InvalidateRect(nullptr, false);
    RefreshProgress();
}

void CGameLauncherDlg::SetButtonsEnabled(bool enabled) {
    m_bButtonsEnabled = enabled;
    m_view.SetButtonsEnabled(enabled);
}

bool CGameLauncherDlg::IsQuitting() const { return m_bStopRequested.load() || GetState() == STATE_QUIT; }

void CGameLauncherDlg::StopWorker() {
    if (!m_worker.joinable()) return;
    m_bStopRequested = true;
    WakeWorker();
    // The worker cannot wait for itself; its loop ends on the flag and the
    // window's thread joins it before the dialog goes.
    if (m_worker.get_id() == std::this_thread::get_id()) return;
    m_worker.join();
}

void CGameLauncherDlg::OnDestroy() {
    // The worker must be gone before the lists and the publisher go.
    StopWorker();
    m_vecClientList.clear();
    m_vecUpdateList.clear();
    m_vecServerList.clear();
}

void CGameLauncherDlg::OnBnClickedButtonClose() {
    OnDestroy();
    m_view.PostClose();
}
