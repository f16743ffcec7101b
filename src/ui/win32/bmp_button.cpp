#include "ui/win32/bmp_button.h"

#include <commctrl.h>

#include "ui/win32/skin.h"

namespace {
// The pointer must rest this long before the hover image shows.
constexpr DWORD kHoverTimeMs = 1;
}  // namespace

CBmpButton::~CBmpButton() {
    // Still there unless the parent went first (WM_NCDESTROY forgets it).
    if (m_hwnd) DestroyWindow(m_hwnd);
    ReleaseBitmaps();
}

void CBmpButton::ReleaseBitmaps() {
    for (HBITMAP& bitmap : m_bmpState) {
        if (bitmap) DeleteObject(bitmap);
        bitmap = nullptr;
    }
    if (m_dimmedNormal) DeleteObject(m_dimmedNormal);
    m_dimmedNormal = nullptr;
}

bool CBmpButton::Create(HWND parent, const RECT& rect, int id) {
    m_hwnd = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                             nullptr);
    return m_hwnd && SetWindowSubclass(m_hwnd, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

bool CBmpButton::LoadBitmaps(int normal, int pressed, int hover, int disabled) {
    SendMessageW(m_hwnd, BM_SETSTYLE, BS_OWNERDRAW, TRUE);
    ReleaseBitmaps();
    const int ids[4] = {normal, pressed, hover, disabled};
    for (int i = 0; i < 4; ++i) m_bmpState[i] = ids[i] ? LoadSkinBitmap(ids[i]) : nullptr;
    if (normal && m_bmpState[kNormal]) {
        const SIZE size = SkinSize(m_bmpState[kNormal]);
        m_nWidth = size.cx;
        m_nHeight = size.cy;
        SetWindowPos(m_hwnd, nullptr, 0, 0, m_nWidth, m_nHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    m_dimmedNormal = DimmedSkinBitmap(m_bmpState[kNormal]);
    InvalidateRect(m_hwnd, nullptr, FALSE);
    return true;
}

void CBmpButton::EnableWindow(bool enable) const {
    // The system repaints the button through WM_DRAWITEM.
    ::EnableWindow(m_hwnd, enable);
}

void CBmpButton::DrawItem(const DRAWITEMSTRUCT& item) const {
    Slot slot = kNormal;
    if (item.itemState & ODS_DISABLED) {
        slot = kDisabled;
    } else if (item.itemState & ODS_SELECTED) {
        slot = kPressed;
    } else if (m_bHover) {
        slot = kHover;
    }
    HBITMAP image = m_bmpState[slot];
    // No image for this state: a disabled button must still look inactive;
    // any other state falls back to the normal picture.
    if (!image) image = slot == kDisabled ? m_dimmedNormal : m_bmpState[kNormal];
    BlitSkin(item.hDC, image, 0, 0, item.rcItem.right - item.rcItem.left,
             item.rcItem.bottom - item.rcItem.top);
}

LRESULT CALLBACK CBmpButton::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR data) {
    auto* self = reinterpret_cast<CBmpButton*>(data);
    switch (message) {
        case WM_MOUSEMOVE:
            if (!self->m_bTracking) {
                TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, hwnd, kHoverTimeMs};
                self->m_bTracking = TrackMouseEvent(&track) != FALSE;
            }
            break;
        case WM_MOUSEHOVER:
            self->m_bHover = true;
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_MOUSELEAVE:
            self->m_bTracking = false;
            self->m_bHover = false;
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_ERASEBKGND:
            return FALSE;  // the bitmap covers the whole button
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, SubclassProc, 0);
            self->m_hwnd = nullptr;
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}
