#pragma once
// CBmpButton: the skin's push button. It shows one of four whole bitmaps
// (normal, pressed, hover, disabled), sizes itself to the normal one and
// calls its click handler on a release over the button.
#include <gtk/gtk.h>

#include <functional>

#include "ui/gtk/skin.h"

class CBmpButton {
public:
    enum Slot { kNormal = 0, kPressed = 1, kHover = 2, kDisabled = 3 };

    CBmpButton() = default;
    ~CBmpButton();
    CBmpButton(const CBmpButton&) = delete;
    CBmpButton& operator=(const CBmpButton&) = delete;

    // Puts the button on `fixed` with the rectangle's top-left corner; the
    // size holds until a normal image is loaded.
    bool Create(GtkFixed* fixed, int left, int top, int right, int bottom, std::function<void()> onClick);
    // Resource ids in the order normal, pressed, hover, disabled; 0 = none.
    // A missing image leaves its slot empty. Always true.
    bool LoadBitmaps(int normal, int pressed, int hover, int disabled);
    void EnableWindow(bool enable);
    // Paints the current image at once, outside the main loop.
    void PaintNow();

    GtkWidget* Widget() const { return m_widget; }
    // The slot whose image shows now (the rule of precedence).
    Slot CurrentSlot() const;

private:
    static gboolean OnDraw(GtkWidget*, cairo_t* cr, CBmpButton* self);
    static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, CBmpButton* self);
    static gboolean OnEnter(GtkWidget*, GdkEventCrossing* event, CBmpButton* self);
    static gboolean OnLeave(GtkWidget*, GdkEventCrossing* event, CBmpButton* self);
    static gboolean OnPress(GtkWidget*, GdkEventButton* event, CBmpButton* self);
    static gboolean OnRelease(GtkWidget*, GdkEventButton* event, CBmpButton* self);
    static gboolean OnHoverTime(CBmpButton* self);
    void Draw(cairo_t* cr) const;
    void PointerAt(double x, double y);
    bool Inside(double x, double y) const;
    void CancelHoverTimer();

    bool m_bHover = false;
    bool m_bTracking = false;
    SkinImage m_bmpState[4];
    int m_nWidth = 0, m_nHeight = 0;

    SkinImage m_dimmedNormal;  // shown disabled when there is no disabled image
    GtkWidget* m_widget = nullptr;
    std::function<void()> m_onClick;
    bool m_buttonDown = false;
    bool m_pointerInside = false;
    guint m_hoverTimer = 0;
};
