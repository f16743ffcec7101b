#pragma once
// CBmpButton: the skin's owner-drawn push button. It shows one of four whole
// bitmaps (normal, pressed, hover, disabled), sizes itself to the normal one,
// finds hover and leave through TrackMouseEvent and sends the ordinary
// BN_CLICKED to its parent, which forwards WM_DRAWITEM to DrawItem.
#include <windows.h>

class CBmpButton {
public:
    enum Slot { kNormal = 0, kPressed = 1, kHover = 2, kDisabled = 3 };

    CBmpButton() = default;
    ~CBmpButton();
    CBmpButton(const CBmpButton&) = delete;
    CBmpButton& operator=(const CBmpButton&) = delete;

    // A child of `parent` with an empty caption, WS_CHILD | WS_VISIBLE |
    // BS_OWNERDRAW and the rectangle given; false when it cannot be made.
    bool Create(HWND parent, const RECT& rect, int id);
    // Resource ids in the order normal, pressed, hover, disabled; 0 = none.
    // A missing image leaves its slot empty. Always true.
    bool LoadBitmaps(int normal, int pressed, int hover, int disabled);
    void DrawItem(const DRAWITEMSTRUCT& item) const;
    void EnableWindow(bool enable) const;

    HWND Hwnd() const { return m_hwnd; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self);
    void ReleaseBitmaps();

    bool m_bHover = false;
    bool m_bTracking = false;
    HBITMAP m_bmpState[4] = {};
    int m_nWidth = 0, m_nHeight = 0;

    HBITMAP m_dimmedNormal = nullptr;  // shown disabled when there is no disabled image
    HWND m_hwnd = nullptr;
};
