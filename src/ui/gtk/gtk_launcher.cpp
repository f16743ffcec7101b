#include "ui/gtk/gtk_launcher.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"
#include "ui/gtk/gtk_launcher_view.h"
#include "ui/gtk/gtk_option_dialog.h"
#include "ui/gtk/launcher_window.h"
#include "ui/startup_status.h"

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

    // Every way of closing answers the open boxes first, so that a worker
    // waiting for one can be joined.
    LauncherWindow::Handlers handlers;
    handlers.start = [&] { dlg.OnBnClickedButtonStart(); };
    handlers.repair = [&] { dlg.OnBnClickedButtonRepair(); };
    handlers.close = [&] {
        view.BeginClosing();
        dlg.OnBnClickedButtonClose();
    };
    handlers.closeRequest = [&] { view.BeginClosing(); };
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

    if (dlg.OnInitDialog()) {
        bool ready = true;
        if (dlg.IsFromUpdater() && !window.Prepare(dlg.GetNoticeUrl())) {
            view.ShowMessageBox(GetLauncherMessage(0), dlg.GetCaption(), MB_OK | MB_SYSTEMMODAL);
            ready = false;
        }
        if (ready) {
            window.Show();
            view.RunLoop();
        }
    }
    view.BeginClosing();
    // The worker goes before the lists, the publisher and the window do.
    dlg.OnDestroy();
    for (guint source : signalSources) g_source_remove(source);
    view.DrainPending();
    return view.ErrorShown() ? 2 : 0;
}
