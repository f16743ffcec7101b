#include "ui/frontend.h"

#include <cstdio>
#include <string>
#include <vector>

#include "launcher/game_launcher_dlg.h"
#include "ui/console/console_input.h"
#include "ui/console/console_view.h"
#include "ui/startup_status.h"
#include "ui/window_frontend.h"
#include "util/text_util.h"

namespace {
ConsoleView* g_consoleView = nullptr;

void OnCloseRequest() {
    if (g_consoleView) g_consoleView->WakeForClose();
}

// `refusedWindow`: why the window was not shown, for the launcher log; the
// log is emptied at start-up, so the line is written once that is done.
int RunConsole(std::vector<std::wstring> arguments, const std::string& refusedWindow,
               const LauncherConfig& config) {
    ConnectConsole();
    auto platform = LauncherPlatform::CreateDefault(config);
    ConsoleView view(stderr);
    CGameLauncherDlg dlg(*platform, view, std::move(arguments));
    if (const int status = StartupExitStatus(dlg.GetStartupResult()); status >= 0) return status;
    view.Attach(&dlg);
    g_consoleView = &view;
    WatchCloseRequests(OnCloseRequest);

    if (dlg.OnInitDialog()) {
        if (!refusedWindow.empty()) {
            dlg.WriteLauncherLog(text::FromUtf8(refusedWindow + "; using the console"), L"RunLauncher",
                                 __LINE__, text::FromUtf8(__FILE_NAME__));
        }
        view.RunLoop();
    }
    dlg.OnDestroy();
    g_consoleView = nullptr;
    return view.ErrorShown() ? 2 : 0;
}
}  // namespace

int RunLauncher(std::vector<std::wstring> arguments, const LauncherConfig& config) {
    GuardStandardStreams();
    std::string refusedWindow;
    int status = 0;
    if (RunWindowFrontEnd(arguments, config, refusedWindow, status)) return status;
    return RunConsole(std::move(arguments), refusedWindow, config);
}
