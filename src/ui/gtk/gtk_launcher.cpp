#include "ui/gtk/gtk_launcher.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include "launcher/game_launcher_dlg.h"
#include "ui/gtk/gtk_launcher_view.h"
#include "ui/gtk/gtk_option_dialog.h"
#include "ui/gtk/launcher_window.h"
#include "ui/startup_status.h"
#include "ui/window_run.h"

bool InitGtkFrontEnd() {
    // Both halves of WM_CLASS: the window class by which others find us.
    g_set_prgname("QuonLauncher");
    gdk_set_program_class("QuonLauncher");
    return gtk_init_check(nullptr, nullptr);
}

int RunGtkLauncher(std::vector<std::wstring> arguments, const LauncherConfig& config) {
    auto platform = LauncherPlatform::CreateDefault(config);
    GtkLauncherView view;
    CGameLauncherDlg dlg(*platform, view, std::move(arguments));
    if (const int status = StartupExitStatus(dlg.GetStartupResult()); status >= 0) return status;

    WindowHandlers handlers = LauncherHandlers(dlg, view);
    LauncherWindow* windowPtr = nullptr;
    handlers.options = [&] {
        auto modes = DisplayModeSource::Create();
        RunGtkOptionDialog(windowPtr->Window(), *modes);
    };
    LauncherWindow window(dlg, handlers);
    windowPtr = &window;
    view.Attach(&dlg, &window);

    // A session that ends or an interrupt closes the window like its owner would.
    auto onSignal = [](gpointer data) -> gboolean {
        static_cast<GtkLauncherView*>(data)->BeginClosing();
        return G_SOURCE_CONTINUE;
    };
    const guint signalSources[] = {g_unix_signal_add(SIGTERM, onSignal, &view),
                                   g_unix_signal_add(SIGINT, onSignal, &view),
                                   g_unix_signal_add(SIGHUP, onSignal, &view)};

    const int status = RunLauncherWindow(dlg, view, window);
    for (guint source : signalSources) g_source_remove(source);
    return status;
}
