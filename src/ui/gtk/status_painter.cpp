#include "ui/gtk/status_painter.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include "launcher/launcher_messages.h"
#include "ui/skin_layout.h"
#include "util/text_util.h"

using namespace skin_layout;

namespace {
std::string MatchFamily(const char* requested) {
    std::string family = requested;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(requested));
    if (!pattern) return family;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8* name = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name) {
            family = reinterpret_cast<const char*>(name);
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return family;
}

void BlitPart(cairo_t* cr, const SkinImage& image, const RECT& rect) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (!image.Valid() || width <= 0 || height <= 0) return;
    cairo_save(cr);
    cairo_rectangle(cr, rect.left, rect.top, width, height);
    cairo_clip(cr);
    cairo_set_source_surface(cr, image.Surface(), rect.left, rect.top);
    cairo_paint(cr);
    cairo_restore(cr);
}
}  // namespace

StatusPainter::StatusPainter() : m_family(MatchFamily("Arial")) {
    m_font = pango_font_description_new();
    pango_font_description_set_family(m_font, m_family.c_str());
    pango_font_description_set_weight(m_font, PANGO_WEIGHT_NORMAL);
    // A font height of -11: an 11 px em, whatever the screen's resolution.
    pango_font_description_set_absolute_size(m_font, kTextPixels * PANGO_SCALE);
}

StatusPainter::~StatusPainter() {
    pango_font_description_free(m_font);
}

bool StatusPainter::LoadBitmaps() {
    m_upperFill = SkinImage::Load(244);
    m_upperFrame = SkinImage::Load(240);
    m_lowerFill = SkinImage::Load(245);
    m_lowerFrame = SkinImage::Load(241);
    return m_upperFill.Valid() && m_upperFrame.Valid() && m_lowerFill.Valid() && m_lowerFrame.Valid();
}

void StatusPainter::DrawLine(cairo_t* cr, const std::wstring& line, int x, int y, uint32_t colour) {
    if (line.empty()) return;
    PangoLayout* layout = pango_cairo_create_layout(cr);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout);
    pango_layout_set_font_description(layout, m_font);
    const std::string utf8 = text::ToUtf8(line);
    pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
    cairo_set_source_rgb(cr, (colour >> 16) / 255.0, ((colour >> 8) & 0xff) / 255.0, (colour & 0xff) / 255.0);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
}

void StatusPainter::DrawStatusText(cairo_t* cr, const StatusText& text) {
    if (!text.readyText.empty()) {
        // Ready: this text alone. Drawn once per repaint; nothing here asks
        // for another repaint.
        DrawLine(cr, text.readyText, kReadyX, kReadyY, kReadyColour);
        return;
    }
    DrawLine(cr, text.line1, kLine1X, kLine1Y, kTextColour);
    DrawLine(cr, text.line2, kLine2X, kLine2Y, kTextColour);
    if (text.showLabels) {
        DrawLine(cr, GetLauncherMessage(40), kTotalLabelX, kTotalLabelY, kTextColour);
        DrawLine(cr, GetLauncherMessage(39), kFileLabelX, kFileLabelY, kTextColour);
    }
}

void StatusPainter::DrawProgressBars(cairo_t* cr, const LauncherStatusSnapshot& snapshot,
                                     const StatusText& text) {
    if (!text.showBars) return;
    BlitPart(cr, m_upperFrame, CGameLauncherDlg::kTotalBarBack);
    BlitPart(cr, m_lowerFrame, CGameLauncherDlg::kFileBarBack);
    BlitPart(cr, m_upperFill, snapshot.totalBar);
    BlitPart(cr, m_lowerFill, snapshot.fileBar);
}
