#include "ui/frontend.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "util/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "ui/console/console_input.h"
#include "ui/console/console_view.h"
#include "ui/startup_status.h"
#ifdef QUON_HAVE_WINDOW_MODULE
#include "ui/window_module.h"
#endif

namespace {
ConsoleView* g_consoleView = nullptr;

void OnCloseRequest() {
    if (g_consoleView) g_consoleView->WakeForClose();
}

// `refusedWindow`: why the window was not shown, for the launcher log; the
// log is emptied at start-up, so the line is written once that is done.
int RunConsole(std::vector<std::wstring> arguments, const std::string& refusedWindow,
               const LauncherConfig& config) {
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
    // The display is the toolkit's to find; reading it here only tells
    // whether there is one.
    [[maybe_unused]] const FrontEndKind kind =
        ChooseFrontEnd(config.frontEnd.c_str(), getenv("DISPLAY"), getenv("WAYLAND_DISPLAY"));
    const bool windowAsked = config.frontEnd == "gtk";
    std::string refusedWindow;
#ifdef QUON_HAVE_WINDOW_MODULE
    if (kind == FrontEndKind::kWindow) {
        const WindowModuleEntry* window = LoadWindowModule(refusedWindow);
        if (window && window->initDisplay()) return window->run(arguments, config);
        if (window) {
            // A display that does not answer leaves the console; only an
            // explicit request for the window is worth a word.
            if (windowAsked) {
                std::fprintf(
                    stderr,
                    "QuonLauncher: cannot open the display \"%s\" for the window; using the console\n",
                    getenv("DISPLAY") ? getenv("DISPLAY") : "");
            }
        } else {
            // A window that cannot be loaded (no in-memory files, say) is
            // always said, here and in the launcher log.
            std::fprintf(stderr, "QuonLauncher: %s; using the console\n", refusedWindow.c_str());
        }
    }
#else
    // A build without the window serves every player from the console.
    if (windowAsked)
        std::fputs("QUON_LAUNCHER_UI=gtk: this build has no window; using the console.\n", stderr);
#endif
    return RunConsole(std::move(arguments), refusedWindow, config);
}
