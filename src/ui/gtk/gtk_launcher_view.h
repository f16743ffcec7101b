#pragma once
// LauncherView for the GTK window. Every call may come from the worker: it is
// carried out on GTK's thread (the main context). A message box from the
// worker blocks the worker until the player answers it; closing the window
// answers every box still open or waiting.
#include <gtk/gtk.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "launcher/launcher_view.h"

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
    struct Box {
        std::wstring text, caption;
        GtkWidget* dialog = nullptr;
        bool done = false;
    };
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

    mutable std::mutex m_lock;
    std::condition_variable m_boxAnswered;
    std::vector<std::shared_ptr<Box>> m_boxes;  // open or waiting
    bool m_closing = false;
    bool m_closeRequested = false;
    bool m_errorShown = false;
    bool m_invalidationQueued = false;
    bool m_invalidateAll = false;
    RECT m_dirty{0, 0, 0, 0};

    std::map<int, std::unique_ptr<Timer>> m_timers;  // GTK's thread only
};
