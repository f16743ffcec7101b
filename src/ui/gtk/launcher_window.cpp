#include "ui/gtk/launcher_window.h"

#include <gdk/gdkkeysyms.h>

#include "util/text_util.h"
#include "os/posix/launcher_icon.h"
#include "ui/dialog_units.h"

namespace {
GdkPixbuf* LoadIcon() {
    const std::string_view png = LauncherIconPng();
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    GdkPixbuf* icon = nullptr;
    if (gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(png.data()), png.size(), nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
        icon = gdk_pixbuf_loader_get_pixbuf(loader);
        if (icon) g_object_ref(icon);
    }
    g_object_unref(loader);
    return icon;
}
}  // namespace

LauncherWindow::LauncherWindow(CGameLauncherDlg& dlg, Handlers handlers)
    : m_dlg(dlg), m_handlers(std::move(handlers)) {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(m_window);
    gtk_window_set_title(GTK_WINDOW(m_window), "");
    gtk_window_set_decorated(GTK_WINDOW(m_window), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(m_window), FALSE);
    gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_CENTER);

    m_fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(m_window), m_fixed);
    m_surface = gtk_drawing_area_new();
    gtk_widget_set_size_request(m_surface, dialog_units::kClientWidth, dialog_units::kClientHeight);
    gtk_widget_add_events(m_surface, GDK_BUTTON_PRESS_MASK);
    gtk_fixed_put(GTK_FIXED(m_fixed), m_surface, 0, 0);
    g_signal_connect(m_surface, "button-press-event", G_CALLBACK(OnPress), this);
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(OnKey), this);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(OnDelete), this);
}

LauncherWindow::~LauncherWindow() {
    g_signal_handlers_disconnect_by_data(m_window, this);
    if (m_surface) g_signal_handlers_disconnect_by_data(m_surface, this);
    m_browser.reset();
    gtk_widget_destroy(m_window);
    g_object_unref(m_window);
    if (m_offscreen) cairo_surface_destroy(m_offscreen);
}

bool LauncherWindow::Prepare(const std::wstring& noticeUrl) {
    if (GdkPixbuf* icon = LoadIcon()) {
        gtk_window_set_icon(GTK_WINDOW(m_window), icon);
        g_object_unref(icon);
    }
    gtk_window_set_title(GTK_WINDOW(m_window), "QUON Launcher");
    m_background = SkinImage::Load(215);
    if (!m_background.Valid() || !m_painter.LoadBitmaps()) return false;
    m_offscreen = cairo_image_surface_create(CAIRO_FORMAT_RGB24, dialog_units::kClientWidth,
                                             dialog_units::kClientHeight);
    // From now on the skin paints every point; the bare window keeps the
    // theme's background.
    gtk_widget_set_app_paintable(m_window, TRUE);
    ApplyShape();
    g_signal_connect(m_surface, "draw", G_CALLBACK(OnDraw), this);

    // Created in this order with these rectangles; each takes the size of
    // its normal image.
    GtkFixed* fixed = GTK_FIXED(m_fixed);
    m_btnOption.Create(fixed, 743, 38, 773, 69, m_handlers.options);
    m_btnStart.Create(fixed, 645, 455, 795, 535, m_handlers.start);
    m_btnClose.Create(fixed, 776, 38, 806, 69, m_handlers.close);
    m_btnRepair.Create(fixed, 489, 455, 639, 535, m_handlers.repair);
    m_btnStart.LoadBitmaps(226, 227, 229, 228);
    m_btnOption.LoadBitmaps(237, 239, 238, 237);
    m_btnClose.LoadBitmaps(230, 231, 232, 0);
    m_btnRepair.LoadBitmaps(257, 258, 259, 0);
    SetButtonsEnabled(false);

    m_browser = std::make_unique<NoticeBrowser>(fixed, dialog_units::kNoticeX, dialog_units::kNoticeY,
                                                dialog_units::kNoticeWidth, dialog_units::kNoticeHeight);
    m_browser->Navigate(noticeUrl);
    m_prepared = true;
    return true;
}

void LauncherWindow::ApplyShape() {
    // Once, from the bitmap: key-coloured points are neither drawn nor
    // clickable, so the desktop and the windows below show and take clicks.
    cairo_region_t* opaque = OpaqueRegion(m_background);
    gtk_widget_shape_combine_region(m_window, opaque);
    gtk_widget_input_shape_combine_region(m_window, opaque);
    cairo_region_destroy(opaque);
}

void LauncherWindow::Show() {
    gtk_widget_show_all(m_window);
}

void LauncherWindow::SetButtonsEnabled(bool enabled) {
    if (!m_btnStart.Widget()) return;  // the bare window has no buttons
    m_btnStart.EnableWindow(enabled);
    m_btnRepair.EnableWindow(enabled);
    m_btnOption.EnableWindow(enabled);
}

void LauncherWindow::Invalidate(const RECT* rect) {
    if (!rect) {
        gtk_widget_queue_draw(m_surface);
        return;
    }
    gtk_widget_queue_draw_area(m_surface, rect->left, rect->top, rect->right - rect->left,
                               rect->bottom - rect->top);
}

void LauncherWindow::Compose() {
    // The whole frame is built off screen from the background, then shown in
    // one go.
    cairo_t* cr = cairo_create(m_offscreen);
    cairo_set_source_surface(cr, m_background.Surface(), 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    const LauncherStatusSnapshot snapshot = m_dlg.GetStatusSnapshot();
    const StatusText text = ComposeStatusText(snapshot);
    m_painter.DrawStatusText(cr, text);
    m_painter.DrawProgressBars(cr, snapshot, text);
    cairo_destroy(cr);
    cairo_surface_flush(m_offscreen);
}

gboolean LauncherWindow::OnDraw(GtkWidget*, cairo_t* cr, LauncherWindow* self) {
    self->Compose();
    cairo_set_source_surface(cr, self->m_offscreen, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    return TRUE;
}

void LauncherWindow::PaintNow() {
    if (!m_prepared) return;
    // A long check calls this per file; more than about 60 frames a second
    // would only cost time.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastDirectPaint < std::chrono::milliseconds(16)) return;
    m_lastDirectPaint = now;
    GdkWindow* window = gtk_widget_get_window(m_surface);
    if (!window || !gtk_widget_get_mapped(m_surface)) return;
    cairo_region_t* region = gdk_window_get_visible_region(window);
    GdkDrawingContext* context = gdk_window_begin_draw_frame(window, region);
    OnDraw(m_surface, gdk_drawing_context_get_cairo_context(context), this);
    gdk_window_end_draw_frame(window, context);
    cairo_region_destroy(region);
    for (CBmpButton* button : {&m_btnStart, &m_btnRepair, &m_btnOption, &m_btnClose}) button->PaintNow();
    gdk_display_flush(gdk_window_get_display(window));
}

gboolean LauncherWindow::OnPress(GtkWidget*, GdkEventButton* event, LauncherWindow* self) {
    // Any uncovered point moves the window.
    if (event->button == 1 && event->type == GDK_BUTTON_PRESS) {
        gtk_window_begin_move_drag(GTK_WINDOW(self->m_window), static_cast<gint>(event->button),
                                   static_cast<gint>(event->x_root), static_cast<gint>(event->y_root),
                                   event->time);
    }
    return TRUE;
}

gboolean LauncherWindow::OnKey(GtkWidget*, GdkEventKey* event, LauncherWindow*) {
    // Enter and Escape never close or act on the launcher.
    switch (event->keyval) {
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
        case GDK_KEY_Escape:
            return TRUE;
        default:
            return FALSE;
    }
}

gboolean LauncherWindow::OnDelete(GtkWidget*, GdkEvent*, LauncherWindow* self) {
    if (self->m_handlers.closeRequest) self->m_handlers.closeRequest();
    return TRUE;  // the front-end ends the loop and destroys the window
}
