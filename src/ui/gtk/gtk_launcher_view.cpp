#include "ui/gtk/gtk_launcher_view.h"

#include <algorithm>

#include "launcher/game_launcher_dlg.h"
#include "ui/gtk/launcher_window.h"
#include "ui/gtk/message_box.h"

GtkLauncherView::GtkLauncherView()
    : m_uiThread(std::this_thread::get_id()), m_loop(g_main_loop_new(nullptr, FALSE)) {}

GtkLauncherView::~GtkLauncherView() {
    for (auto& [id, timer] : m_timers) g_source_remove(timer->source);
    g_main_loop_unref(m_loop);
}

void GtkLauncherView::Attach(CGameLauncherDlg* dlg, LauncherWindow* window) {
    m_dlg = dlg;
    m_window = window;
}

void GtkLauncherView::RunOnUi(std::function<void()> work) {
    if (OnUiThread()) {
        work();
        return;
    }
    // Always queued on the default context: g_main_context_invoke could run
    // it on the calling thread while nobody owns the context.
    auto* heapWork = new std::function<void()>(std::move(work));
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        heapWork, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

void GtkLauncherView::RunLoop() {
    {
        std::lock_guard lock(m_lock);
        if (m_closing || m_closeRequested) return;
    }
    g_main_loop_run(m_loop);
}

bool GtkLauncherView::ErrorShown() const {
    std::lock_guard lock(m_lock);
    return m_errorShown;
}

void GtkLauncherView::BeginClosing() {
    std::vector<std::shared_ptr<Box>> open;
    {
        std::lock_guard lock(m_lock);
        m_closing = true;
        open.swap(m_boxes);
        for (auto& box : open) box->done = true;
        m_boxAnswered.notify_all();
    }
    // A box on GTK's thread ends its own run; a worker's box is destroyed.
    for (auto& box : open) {
        if (box->dialog) gtk_dialog_response(GTK_DIALOG(box->dialog), GTK_RESPONSE_DELETE_EVENT);
    }
    if (g_main_loop_is_running(m_loop)) g_main_loop_quit(m_loop);
}

void GtkLauncherView::DrainPending() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

void GtkLauncherView::ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned) {
    auto box = std::make_shared<Box>();
    box->text = text;
    box->caption = caption;
    {
        std::lock_guard lock(m_lock);
        m_errorShown = true;
        if (m_closing) return;  // the window is gone: nobody is left to answer
        m_boxes.push_back(box);
    }
    if (OnUiThread()) {
        box->dialog = CreateMessageBox(BoxParent(), text, caption);
        gtk_dialog_run(GTK_DIALOG(box->dialog));
        gtk_widget_destroy(box->dialog);
        box->dialog = nullptr;
        std::lock_guard lock(m_lock);
        std::erase(m_boxes, box);
        return;
    }
    RunOnUi([this, box] { ShowQueuedBox(box); });
    std::unique_lock lock(m_lock);
    m_boxAnswered.wait(lock, [&] { return box->done; });
}

GtkWindow* GtkLauncherView::BoxParent() const {
    // Before the window shows (the start-up checks) a box stands alone.
    if (!m_window || !gtk_widget_get_mapped(GTK_WIDGET(m_window->Window()))) return nullptr;
    return m_window->Window();
}

void GtkLauncherView::ShowQueuedBox(const std::shared_ptr<Box>& box) {
    {
        std::lock_guard lock(m_lock);
        if (box->done) return;  // answered by a close meanwhile
    }
    box->dialog = CreateMessageBox(BoxParent(), box->text, box->caption);
    auto* handle = new std::shared_ptr<Box>(box);
    g_signal_connect_data(
        box->dialog, "response", G_CALLBACK(+[](GtkDialog* dialog, gint, gpointer data) {
            auto* self = static_cast<GtkLauncherView*>(g_object_get_data(G_OBJECT(dialog), "quon-view"));
            self->AnswerBox(*static_cast<std::shared_ptr<Box>*>(data));
        }),
        handle, [](gpointer data, GClosure*) { delete static_cast<std::shared_ptr<Box>*>(data); },
        GConnectFlags(0));
    g_object_set_data(G_OBJECT(box->dialog), "quon-view", this);
    gtk_widget_show(box->dialog);
}

void GtkLauncherView::AnswerBox(const std::shared_ptr<Box>& box) {
    GtkWidget* dialog = box->dialog;
    box->dialog = nullptr;
    {
        std::lock_guard lock(m_lock);
        box->done = true;
        std::erase(m_boxes, box);
        m_boxAnswered.notify_all();
    }
    if (dialog) gtk_widget_destroy(dialog);
}

void GtkLauncherView::InvalidateRect(const RECT* rect, bool) {
    {
        std::lock_guard lock(m_lock);
        if (!rect) {
            m_invalidateAll = true;
        } else if (m_dirty.right <= m_dirty.left) {
            m_dirty = *rect;
        } else {
            m_dirty = {std::min(m_dirty.left, rect->left), std::min(m_dirty.top, rect->top),
                       std::max(m_dirty.right, rect->right), std::max(m_dirty.bottom, rect->bottom)};
        }
        // Progress reports come by the thousand; one queued repaint serves
        // all that arrive before it runs.
        if (m_invalidationQueued) return;
        m_invalidationQueued = true;
    }
    RunOnUi([this] { FlushInvalidation(); });
}

void GtkLauncherView::FlushInvalidation() {
    bool all;
    RECT dirty;
    {
        std::lock_guard lock(m_lock);
        m_invalidationQueued = false;
        all = m_invalidateAll;
        dirty = m_dirty;
        m_invalidateAll = false;
        m_dirty = {0, 0, 0, 0};
        if (m_closing || !m_window) return;
    }
    m_window->Invalidate(all ? nullptr : &dirty);
}

void GtkLauncherView::SetButtonsEnabled(bool enabled) {
    RunOnUi([this, enabled] {
        if (m_window) m_window->SetButtonsEnabled(enabled);
    });
}

gboolean GtkLauncherView::OnTimerTick(Timer* timer) {
    GtkLauncherView* view = timer->view;
    if (view->m_dlg) view->m_dlg->OnTimer(timer->id);
    return G_SOURCE_CONTINUE;  // KillTimer removes the source
}

void GtkLauncherView::SetTimer(int id, unsigned periodMs) {
    RunOnUi([this, id, periodMs] {
        auto found = m_timers.find(id);
        if (found != m_timers.end()) g_source_remove(found->second->source);
        auto timer = std::make_unique<Timer>(Timer{this, id, 0});
        timer->source = g_timeout_add(periodMs, G_SOURCE_FUNC(OnTimerTick), timer.get());
        m_timers[id] = std::move(timer);
    });
}

void GtkLauncherView::KillTimer(int id) {
    RunOnUi([this, id] {
        auto found = m_timers.find(id);
        if (found == m_timers.end()) return;
        g_source_remove(found->second->source);
        // The tick that called this may still be running: free it later.
        Timer* timer = found->second.release();
        m_timers.erase(found);
        g_idle_add_full(
            G_PRIORITY_DEFAULT, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, timer,
            [](gpointer data) { delete static_cast<Timer*>(data); });
    });
}

void GtkLauncherView::UpdateWindowNow() {
    if (OnUiThread() && m_window) m_window->PaintNow();
}

void GtkLauncherView::PostClose() {
    {
        std::lock_guard lock(m_lock);
        if (m_closing) return;
    }
    // Posted even on GTK's thread: the caller finishes its handler first.
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            static_cast<GtkLauncherView*>(data)->BeginClosing();
            return G_SOURCE_REMOVE;
        },
        this, nullptr);
    std::lock_guard lock(m_lock);
    m_closeRequested = true;
}
