#pragma once
// The launcher's main window: undecorated, shaped by the background's key
// colour, painted from the skin and the progress model, moved by dragging any
// uncovered point. It only paints and forwards clicks; the launcher decides.
#include <gtk/gtk.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "launcher/game_launcher_dlg.h"
#include "ui/gtk/bmp_button.h"
#include "ui/gtk/notice_browser.h"
#include "ui/gtk/skin.h"
#include "ui/gtk/status_painter.h"
#include "ui/window_run.h"

class LauncherWindow {
public:
    using Handlers = WindowHandlers;

    LauncherWindow(CGameLauncherDlg& dlg, Handlers handlers);
    ~LauncherWindow();
    LauncherWindow(const LauncherWindow&) = delete;
    LauncherWindow& operator=(const LauncherWindow&) = delete;

    // Icon, title, shape, skin, buttons and notice page, in a run started by
    // the updater. False when the skin cannot be loaded.
    bool Prepare(const std::wstring& noticeUrl);
    void Show();

    void SetButtonsEnabled(bool enabled);
    void Invalidate(const RECT* rect);
    // Composes and shows the window at once without running the main loop,
    // so that no other handler runs meanwhile.
    void PaintNow();

    GtkWindow* Window() const { return GTK_WINDOW(m_window); }

    static constexpr int kStartId = 1031, kCloseId = 1032, kOptionId = 1037, kRepairId = 1038;

private:
    static gboolean OnDraw(GtkWidget*, cairo_t* cr, LauncherWindow* self);
    static gboolean OnPress(GtkWidget*, GdkEventButton* event, LauncherWindow* self);
    static gboolean OnKey(GtkWidget*, GdkEventKey* event, LauncherWindow* self);
    static gboolean OnDelete(GtkWidget*, GdkEvent*, LauncherWindow* self);
    void Compose();
    void ApplyShape();

    CGameLauncherDlg& m_dlg;
    Handlers m_handlers;
    GtkWidget* m_window = nullptr;
    GtkWidget* m_fixed = nullptr;
    GtkWidget* m_surface = nullptr;  // the painted background, below every control
    bool m_prepared = false;

    SkinImage m_background;
    cairo_surface_t* m_offscreen = nullptr;
    StatusPainter m_painter;
    CBmpButton m_btnStart, m_btnClose, m_btnOption, m_btnRepair;
    std::unique_ptr<NoticeBrowser> m_browser;
    std::chrono::steady_clock::time_point m_lastDirectPaint{};
};
