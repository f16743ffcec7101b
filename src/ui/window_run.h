#pragma once
// What the window front-ends share around their own window and view: the
// button handlers and the run from the window's preparation to the joined
// worker.
#include <functional>

#include "launcher/game_launcher_dlg.h"
#include "launcher/launcher_messages.h"

struct WindowHandlers {
    std::function<void()> start, repair, options, close;
    std::function<void()> closeRequest;  // the window manager's, the system's or the session's
};

// Start, repair and both ways of closing; `options` is the front-end's own.
// Every way of closing answers the open boxes first, so that a worker
// waiting for one can be joined.
template <class View>
WindowHandlers LauncherHandlers(CGameLauncherDlg& dlg, View& view) {
    WindowHandlers handlers;
    handlers.start = [&dlg] { dlg.OnBnClickedButtonStart(); };
    handlers.repair = [&dlg] { dlg.OnBnClickedButtonRepair(); };
    handlers.close = [&dlg, &view] {
        view.BeginClosing();
        dlg.OnBnClickedButtonClose();
    };
    handlers.closeRequest = [&view] { view.BeginClosing(); };
    return handlers;
}

// Initialises the launcher, prepares the window in a run started by the
// updater, shows it and runs its loop until it is to close; then answers
// every box and joins the worker before the lists, the publisher and the
// window go. Returns the process exit status as RunLauncher's.
template <class View, class Window>
int RunLauncherWindow(CGameLauncherDlg& dlg, View& view, Window& window) {
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
    dlg.OnDestroy();
    view.DrainPending();
    return view.ErrorShown() ? 2 : 0;
}
