#pragma once
// Draws the status texts and the progress bars of one frame into the
// off-screen device context.
#include <windows.h>

#include "launcher/game_launcher_dlg.h"
#include "launcher/status_text.h"

class StatusPainter {
public:
    StatusPainter() = default;
    ~StatusPainter();
    StatusPainter(const StatusPainter&) = delete;
    StatusPainter& operator=(const StatusPainter&) = delete;

    // False when a bar bitmap is missing.
    bool LoadBitmaps();
    void DrawStatusText(HDC dc, const StatusText& text) const;
    void DrawProgressBars(HDC dc, const LauncherStatusSnapshot& snapshot, const StatusText& text) const;

private:
    // In the order the window keeps them: upper fill, upper frame, lower
    // fill, lower frame.
    HBITMAP m_upperFill = nullptr, m_upperFrame = nullptr, m_lowerFill = nullptr, m_lowerFrame = nullptr;
};
