#include "ui/gtk/bmp_button.h"

namespace {
// The pointer must rest this long before the hover image shows.
constexpr guint kHoverTimeMs = 1;
}  // namespace

CBmpButton::~CBmpButton() {
    CancelHoverTimer();
    if (!m_widget) return;
    g_signal_handlers_disconnect_by_data(m_widget, this);
    g_object_unref(m_widget);
}

bool CBmpButton::Create(GtkFixed* fixed, int left, int top, int right, int bottom,
                        std::function<void()> onClick) {
    m_onClick = std::move(onClick);
    // Our own reference: the window may destroy its children before we go.
    m_widget = GTK_WIDGET(g_object_ref_sink(gtk_drawing_area_new()));
    gtk_widget_set_size_request(m_widget, right - left, bottom - top);
    gtk_widget_add_events(m_widget, GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK | GDK_ENTER_NOTIFY_MASK |
                                        GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
    g_signal_connect(m_widget, "draw", G_CALLBACK(OnDraw), this);
    g_signal_connect(m_widget, "motion-notify-event", G_CALLBACK(OnMotion), this);
    g_signal_connect(m_widget, "enter-notify-event", G_CALLBACK(OnEnter), this);
    g_signal_connect(m_widget, "leave-notify-event", G_CALLBACK(OnLeave), this);
    g_signal_connect(m_widget, "button-press-event", G_CALLBACK(OnPress), this);
    g_signal_connect(m_widget, "button-release-event", G_CALLBACK(OnRelease), this);
    gtk_fixed_put(fixed, m_widget, left, top);
    gtk_widget_show(m_widget);
    return true;
}

bool CBmpButton::LoadBitmaps(int normal, int pressed, int hover, int disabled) {
    const int ids[4] = {normal, pressed, hover, disabled};
    for (int i = 0; i < 4; ++i) m_bmpState[i] = ids[i] ? SkinImage::Load(ids[i]) : SkinImage();
    if (normal && m_bmpState[kNormal].Valid()) {
        m_nWidth = m_bmpState[kNormal].Width();
        m_nHeight = m_bmpState[kNormal].Height();
        gtk_widget_set_size_request(m_widget, m_nWidth, m_nHeight);
    }
    m_dimmedNormal = m_bmpState[kNormal].Dimmed();
    gtk_widget_queue_draw(m_widget);
    return true;
}

void CBmpButton::EnableWindow(bool enable) {
    if (enable == static_cast<bool>(gtk_widget_get_sensitive(m_widget))) return;
    if (!enable) m_buttonDown = false;
    gtk_widget_set_sensitive(m_widget, enable);
    gtk_widget_queue_draw(m_widget);
}

CBmpButton::Slot CBmpButton::CurrentSlot() const {
    if (!gtk_widget_is_sensitive(m_widget)) return kDisabled;
    if (m_buttonDown && m_pointerInside) return kPressed;
    if (m_bHover) return kHover;
    return kNormal;
}

void CBmpButton::Draw(cairo_t* cr) const {
    const Slot slot = CurrentSlot();
    const SkinImage* image = &m_bmpState[slot];
    if (!image->Valid()) {
        // No image for this state: a disabled button must still look
        // inactive; any other state falls back to the normal picture.
        image = slot == kDisabled ? &m_dimmedNormal : &m_bmpState[kNormal];
    }
    if (!image->Valid()) return;
    cairo_set_source_surface(cr, image->Surface(), 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
}

void CBmpButton::PaintNow() {
    GdkWindow* window = gtk_widget_get_window(m_widget);
    if (!window || !gtk_widget_get_mapped(m_widget)) return;
    cairo_region_t* region = gdk_window_get_visible_region(window);
    GdkDrawingContext* context = gdk_window_begin_draw_frame(window, region);
    Draw(gdk_drawing_context_get_cairo_context(context));
    gdk_window_end_draw_frame(window, context);
    cairo_region_destroy(region);
}

bool CBmpButton::Inside(double x, double y) const {
    return x >= 0 && y >= 0 && x < gtk_widget_get_allocated_width(m_widget) &&
           y < gtk_widget_get_allocated_height(m_widget);
}

void CBmpButton::CancelHoverTimer() {
    if (m_hoverTimer) g_source_remove(m_hoverTimer);
    m_hoverTimer = 0;
}

gboolean CBmpButton::OnDraw(GtkWidget*, cairo_t* cr, CBmpButton* self) {
    self->Draw(cr);
    return TRUE;
}

void CBmpButton::PointerAt(double x, double y) {
    const bool inside = Inside(x, y);
    if (inside != m_pointerInside) {
        m_pointerInside = inside;
        gtk_widget_queue_draw(m_widget);
    }
    // Hover tracking starts with the first move and fires once the pointer
    // has rested for the hover time.
    m_bTracking = true;
    if (!m_bHover && inside) {
        CancelHoverTimer();
        m_hoverTimer = g_timeout_add(kHoverTimeMs, G_SOURCE_FUNC(OnHoverTime), this);
    }
}

gboolean CBmpButton::OnMotion(GtkWidget*, GdkEventMotion* event, CBmpButton* self) {
    self->PointerAt(event->x, event->y);
    return FALSE;
}

// A pointer that jumps onto the button may bring no motion event with it;
// entering counts as the first move.
gboolean CBmpButton::OnEnter(GtkWidget*, GdkEventCrossing* event, CBmpButton* self) {
    if (event->mode == GDK_CROSSING_NORMAL) self->PointerAt(event->x, event->y);
    return FALSE;
}

gboolean CBmpButton::OnHoverTime(CBmpButton* self) {
    self->m_hoverTimer = 0;
    self->m_bHover = true;

    gtk_widget_queue_draw(self->m_widget);
    return G_SOURCE_REMOVE;
}

gboolean CBmpButton::OnLeave(GtkWidget*, GdkEventCrossing* event, CBmpButton* self) {
    // Crossings caused by the implicit grab of a press are not a leave.
    if (event->mode != GDK_CROSSING_NORMAL) return FALSE;
    self->CancelHoverTimer();
    self->m_bTracking = false;
    self->m_bHover = false;
    self->m_pointerInside = false;
    gtk_widget_queue_draw(self->m_widget);
    return FALSE;
}

gboolean CBmpButton::OnPress(GtkWidget*, GdkEventButton* event, CBmpButton* self) {
    if (event->button != 1 || event->type != GDK_BUTTON_PRESS) return TRUE;
    self->m_buttonDown = true;
    self->m_pointerInside = true;
    gtk_widget_queue_draw(self->m_widget);
    return TRUE;
}

gboolean CBmpButton::OnRelease(GtkWidget*, GdkEventButton* event, CBmpButton* self) {
    if (event->button != 1 || !self->m_buttonDown) return TRUE;
    self->m_buttonDown = false;
    const bool clicked = self->Inside(event->x, event->y);
    gtk_widget_queue_draw(self->m_widget);
    if (clicked && self->m_onClick && gtk_widget_is_sensitive(self->m_widget)) self->m_onClick();
    return TRUE;
}
