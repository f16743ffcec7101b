#include "ui/gtk/gtk_launcher_view.h"

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
    if (m_core.Ending()) return;
    g_main_loop_run(m_loop);
}

bool GtkLauncherView::ErrorShown() const {
    return m_core.ErrorShown();
}

void GtkLauncherView::BeginClosing() {
    const auto open = m_core.Close();
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

void GtkLauncherView::ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) {
    const auto box = m_core.OpenBox(text, caption, style);
    if (!box) return;
    if (OnUiThread()) {
        box->dialog = CreateMessageBox(BoxParent(), text, caption);
        gtk_dialog_run(GTK_DIALOG(box->dialog));
        gtk_widget_destroy(box->dialog);
        box->dialog = nullptr;
        m_core.Answered(box);
        return;
    }
    RunOnUi([this, box] { ShowQueuedBox(box); });
    m_core.WaitAnswered(box);
}

GtkWindow* GtkLauncherView::BoxParent() const {
    // Before the window shows (the start-up checks) a box stands alone.
    if (!m_window || !gtk_widget_get_mapped(GTK_WIDGET(m_window->Window()))) return nullptr;
    return m_window->Window();
}

void GtkLauncherView::ShowQueuedBox(const std::shared_ptr<Box>& box) {
    if (!m_core.Waiting(box)) return;  // answered by a close meanwhile
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
    m_core.Answered(box);
    if (dialog) gtk_widget_destroy(dialog);
}

void GtkLauncherView::InvalidateRect(const RECT* rect, bool) {
    if (m_core.AddRepaint(rect)) RunOnUi([this] { FlushInvalidation(); });
}

void GtkLauncherView::FlushInvalidation() {
    RECT rect;
    const RECT* area = nullptr;
    if (m_core.TakeRepaint(rect, area) && m_window) m_window->Invalidate(area);
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
    if (!m_core.RequestClose()) return;
    // Posted even on GTK's thread: the caller finishes its handler first.
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            static_cast<GtkLauncherView*>(data)->BeginClosing();
            return G_SOURCE_REMOVE;
        },
        this, nullptr);
}
