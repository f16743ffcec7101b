#include "ui/win32/status_painter.h"

#include "launcher/launcher_messages.h"
#include "ui/skin_layout.h"
#include "ui/win32/skin.h"

using namespace skin_layout;

namespace {
COLORREF ToColorref(uint32_t rgb) {
    return RGB(rgb >> 16, (rgb >> 8) & 0xff, rgb & 0xff);
}

void DrawLine(HDC dc, const std::wstring& line, int x, int y, uint32_t colour) {
    if (line.empty()) return;
    SetTextColor(dc, ToColorref(colour));
    TextOutW(dc, x, y, line.c_str(), static_cast<int>(line.size()));
}

void BlitRect(HDC dc, HBITMAP bitmap, const RECT& rect) {
    BlitSkin(dc, bitmap, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}
}  // namespace

StatusPainter::~StatusPainter() {
    for (HBITMAP bitmap : {m_upperFill, m_upperFrame, m_lowerFill, m_lowerFrame})
        if (bitmap) DeleteObject(bitmap);
}

bool StatusPainter::LoadBitmaps() {
    m_upperFill = LoadSkinBitmap(244);
    m_upperFrame = LoadSkinBitmap(240);
    m_lowerFill = LoadSkinBitmap(245);
    m_lowerFrame = LoadSkinBitmap(241);
    return m_upperFill && m_upperFrame && m_lowerFill && m_lowerFrame;
}

void StatusPainter::DrawStatusText(HDC dc, const StatusText& text) const {
    HFONT font =
        CreateFontW(-kTextPixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_RASTER_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Arial");
    HGDIOBJ previous = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    if (!text.readyText.empty()) {
        // Ready: this text alone. Drawn once per repaint; nothing here asks
        // for another repaint.
        DrawLine(dc, text.readyText, kReadyX, kReadyY, kReadyColour);
    } else {
        DrawLine(dc, text.line1, kLine1X, kLine1Y, kTextColour);
        DrawLine(dc, text.line2, kLine2X, kLine2Y, kTextColour);
        if (text.showLabels) {
            DrawLine(dc, GetLauncherMessage(40), kTotalLabelX, kTotalLabelY, kTextColour);
            DrawLine(dc, GetLauncherMessage(39), kFileLabelX, kFileLabelY, kTextColour);
        }
    }
    SelectObject(dc, previous);
    DeleteObject(font);
}

void StatusPainter::DrawProgressBars(HDC dc, const LauncherStatusSnapshot& snapshot,
                                     const StatusText& text) const {
    if (!text.showBars) return;
    BlitRect(dc, m_upperFrame, CGameLauncherDlg::kTotalBarBack);
    BlitRect(dc, m_lowerFrame, CGameLauncherDlg::kFileBarBack);
    BlitRect(dc, m_upperFill, snapshot.totalBar);
    BlitRect(dc, m_lowerFill, snapshot.fileBar);
}
