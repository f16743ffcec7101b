#pragma once
// Draws the status texts and the progress bars of one frame onto the
// off-screen surface.
#include <cairo.h>
#include <pango/pango.h>

#include <string>

#include "launcher/game_launcher_dlg.h"
#include "launcher/status_text.h"
#include "ui/gtk/skin.h"

class StatusPainter {
public:
    StatusPainter();
    ~StatusPainter();
    StatusPainter(const StatusPainter&) = delete;
    StatusPainter& operator=(const StatusPainter&) = delete;

    // False when a bar bitmap is missing.
    bool LoadBitmaps();
    // The family fontconfig gives for "Arial" (Liberation Sans where Arial
    // itself is not installed).
    const std::string& Family() const { return m_family; }

    void DrawStatusText(cairo_t* cr, const StatusText& text);
    void DrawProgressBars(cairo_t* cr, const LauncherStatusSnapshot& snapshot, const StatusText& text);

private:
    void DrawLine(cairo_t* cr, const std::wstring& line, int x, int y, uint32_t colour);

    std::string m_family;
    PangoFontDescription* m_font = nullptr;
    // In the order the window keeps them: upper fill, upper frame, lower
    // fill, lower frame.
    SkinImage m_upperFill, m_upperFrame, m_lowerFill, m_lowerFrame;
};
