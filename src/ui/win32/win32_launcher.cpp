#include "ui/win32/win32_launcher.h"

#include <mutex>

#include "launcher/game_launcher_dlg.h"
#include "ui/console/console_input.h"
#include "ui/startup_status.h"
#include "ui/win32/launcher_window.h"
#include "ui/win32/win32_launcher_view.h"
#include "ui/win32/win32_option_dialog.h"
#include "ui/window_run.h"

namespace {
// The view that a console control (Ctrl+C, a closed console window) closes;
// the handler runs on a thread of its own.
std::mutex g_closeLock;
Win32LauncherView* g_closeTarget = nullptr;

void OnCloseRequest() {
    std::lock_guard lock(g_closeLock);
    if (g_closeTarget) g_closeTarget->RequestClose();
}

void SetCloseTarget(Win32LauncherView* view) {
    std::lock_guard lock(g_closeLock);
    g_closeTarget = view;
}
}  // namespace

bool CanShowWin32Window() {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!probe) return false;
    DestroyWindow(probe);
    return true;
}

int RunWin32Launcher(std::vector<std::wstring> arguments, const LauncherConfig& config) {
    auto platform = LauncherPlatform::CreateDefault(config);
    Win32LauncherView view;
    CGameLauncherDlg dlg(*platform, view, std::move(arguments));
    if (const int status = StartupExitStatus(dlg.GetStartupResult()); status >= 0) return status;

    WindowHandlers handlers = LauncherHandlers(dlg, view);
    HWND owner = nullptr;
    // Modal over the window, which stays disabled meanwhile.
    handlers.options = [&owner] { RunWin32OptionDialog(owner, *DisplayModeSource::Create()); };
    LauncherWindow window(dlg, handlers);
    owner = window.Hwnd();
    view.Attach(&dlg, &window);
    SetCloseTarget(&view);
    WatchCloseRequests(OnCloseRequest);
    const int status = RunLauncherWindow(dlg, view, window);
    SetCloseTarget(nullptr);
    return status;
}
