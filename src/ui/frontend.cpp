#include "ui/frontend.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/text_util.h"
#include "launcher/game_launcher_dlg.h"
#include "ui/console/console_view.h"

namespace {
ConsoleView* g_consoleView = nullptr;

void OnTerminateSignal(int) {
    if (g_consoleView) g_consoleView->WakeForClose();
}

int RunConsole(std::vector<std::wstring> arguments) {
    auto platform = LauncherPlatform::CreateDefault();
    ConsoleView view(STDIN_FILENO, stderr);
    CGameLauncherDlg dlg(*platform, view, std::move(arguments));
    switch (dlg.GetStartupResult()) {
        case CGameLauncherDlg::StartupResult::kAnotherInstance: return 1;
        case CGameLauncherDlg::StartupResult::kBadCommandLine: return 2;
        case CGameLauncherDlg::StartupResult::kOk: break;
    }
    view.Attach(&dlg);
    g_consoleView = &view;
    struct sigaction sa {};
    sa.sa_handler = OnTerminateSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    if (dlg.OnInitDialog()) view.RunLoop();
    dlg.OnDestroy();
    g_consoleView = nullptr;
    return view.ErrorShown() ? 2 : 0;
}
}  // namespace

int RunLauncher(int argc, char** argv) {
    // A closed standard stream would hand its number to the next file we
    // open (our own wake-up pipe would become "standard input").
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) == -1) open("/dev/null", O_RDWR);
    }
    std::vector<std::wstring> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(text::FromUtf8(argv[i]));
    [[maybe_unused]] const FrontEndKind kind =
        ChooseFrontEnd(getenv("QUON_LAUNCHER_UI"), getenv("DISPLAY"), getenv("WAYLAND_DISPLAY"));
#ifdef QUON_HAVE_GTK
    // The window front-end's entry goes here:
    // if (kind == FrontEndKind::kWindow) return RunGtk(std::move(arguments));
#else
    // A build without the window serves every player from the console; only
    // an explicit request for the window is worth a word.
    const char* asked = getenv("QUON_LAUNCHER_UI");
    if (kind == FrontEndKind::kWindow && asked && std::string(asked) == "gtk") {
        std::fputs("QUON_LAUNCHER_UI=gtk: this build has no window; using the console.\n", stderr);
    }
#endif
    return RunConsole(std::move(arguments));
}
