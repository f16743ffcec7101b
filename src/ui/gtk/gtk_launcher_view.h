#pragma once
// LauncherView for the GTK window. Every call may come from the worker: it is
// carried out on GTK's thread (the main context). A message box from the
// worker blocks the worker until the player answers it; closing the window
// answers every box still open or waiting.
#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "launcher/launcher_view.h"
#include "ui/view_core.h"

class CGameLauncherDlg;
class LauncherWindow;

class GtkLauncherView : public LauncherView {
public:
    GtkLauncherView();  // on GTK's thread
    ~GtkLauncherView() override;

    void Attach(CGameLauncherDlg* dlg, LauncherWindow* window);
    // The window's message loop; returns once the window is to close.
    void RunLoop();
    // GTK's thread: from now on no box blocks anybody; open ones are answered.
    void BeginClosing();
    // GTK's thread, after the worker has been joined: runs what the worker
    // still queued, as no-ops.
    void DrainPending();
    bool ErrorShown() const;

    void ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) override;
    void InvalidateRect(const RECT* rect, bool erase) override;
    void SetButtonsEnabled(bool enabled) override;
    void SetTimer(int id, unsigned periodMs) override;
    void KillTimer(int id) override;
    void UpdateWindowNow() override;
    void PostClose() override;

private:
    using Core = ViewCore<GtkWidget*>;
    using Box = Core::Box;
    struct Timer {
        GtkLauncherView* view;
        int id;
        guint source;
    };

    bool OnUiThread() const { return std::this_thread::get_id() == m_uiThread; }
    // Runs `work` on GTK's thread: now when called there, else queued.
    void RunOnUi(std::function<void()> work);
    GtkWindow* BoxParent() const;
    void ShowQueuedBox(const std::shared_ptr<Box>& box);
    void AnswerBox(const std::shared_ptr<Box>& box);
    void FlushInvalidation();
    static gboolean OnTimerTick(Timer* timer);

    const std::thread::id m_uiThread;
    GMainLoop* m_loop;
    CGameLauncherDlg* m_dlg = nullptr;
    LauncherWindow* m_window = nullptr;

    Core m_core;

    std::map<int, std::unique_ptr<Timer>> m_timers;  // GTK's thread only
};
