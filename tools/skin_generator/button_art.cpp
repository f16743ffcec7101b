// The four buttons in their looks: normal, pressed (darker, caption pushed
// down), hover (brighter, glowing edge) and, for start, disabled (grey).
#include <cmath>

#include "skin_art.h"

namespace skin_art {
namespace {
struct Palette {
    Rgb top, bottom, edge, caption;
};

Palette Shade(Palette p, ButtonLook look) {
    auto scale = [](Rgb c, double f) {
        return Rgb{std::fmin(c.r * f, 1.0), std::fmin(c.g * f, 1.0), std::fmin(c.b * f, 1.0)};
    };
    switch (look) {
        case ButtonLook::kNormal:
            return p;
        case ButtonLook::kHover:
            return {scale(p.top, 1.18), scale(p.bottom, 1.22), Rgb{1.0, 0.95, 0.75}, p.caption};
        case ButtonLook::kPressed:
            return {scale(p.bottom, 0.85), scale(p.top, 0.80), scale(p.edge, 0.8), p.caption};
        case ButtonLook::kDisabled:
            return {Rgb{0.36, 0.37, 0.40}, Rgb{0.24, 0.25, 0.28}, Rgb{0.30, 0.31, 0.34},
                    Rgb{0.55, 0.56, 0.60}};
    }
    return p;
}

// A rounded plate on the panel colour, with a caption (or a symbol drawn by
// `symbol`) in the middle; pressed looks shift the content by one pixel.
template <typename Symbol>
void Plate(cairo_t* cr, int w, int h, double radius, Rgb panel, Palette p, ButtonLook look, Symbol symbol) {
    SetColor(cr, panel);
    cairo_paint(cr);
    const double inset = 1.5;
    RoundedRect(cr, inset, inset, w - 2 * inset, h - 2 * inset, radius);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgb(body, 0, p.top.r, p.top.g, p.top.b);
    cairo_pattern_add_color_stop_rgb(body, 1, p.bottom.r, p.bottom.g, p.bottom.b);
    cairo_set_source(cr, body);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(body);
    SetColor(cr, p.edge);
    cairo_set_line_width(cr, look == ButtonLook::kHover ? 2.0 : 1.0);
    cairo_stroke(cr);
    const double shift = look == ButtonLook::kPressed ? 1 : 0;
    symbol(w / 2.0 + shift, h / 2.0 + shift, p.caption);
}
}  // namespace

void DrawStartButton(cairo_t* cr, ButtonLook look) {
    const Palette gold{{0.96, 0.72, 0.24}, {0.70, 0.44, 0.08}, {0.45, 0.28, 0.05}, {0.20, 0.11, 0.02}};
    Plate(cr, 150, 80, 12, kBottomPanel, Shade(gold, look), look, [&](double cx, double cy, Rgb caption) {
        SetColor(cr, caption);
        CentredText(cr, "START", 28, true, cx, cy);
    });
}

void DrawRepairButton(cairo_t* cr, ButtonLook look) {
    const Palette steel{{0.30, 0.42, 0.62}, {0.16, 0.23, 0.38}, {0.45, 0.56, 0.76}, {0.93, 0.95, 1.0}};
    Plate(cr, 150, 80, 12, kBottomPanel, Shade(steel, look), look, [&](double cx, double cy, Rgb caption) {
        SetColor(cr, caption);
        CentredText(cr, "REPAIR", 22, true, cx, cy);
    });
}

void DrawOptionButton(cairo_t* cr, ButtonLook look) {
    const Palette dark{{0.22, 0.25, 0.36}, {0.14, 0.16, 0.24}, {0.40, 0.44, 0.58}, {0.90, 0.91, 0.96}};
    Plate(cr, 33, 20, 4, kTitleStrip, Shade(dark, look), look, [&](double cx, double cy, Rgb caption) {
        // A gear: eight teeth around a ring.
        SetColor(cr, caption);
        for (int i = 0; i < 8; ++i) {
            const double a = i * M_PI / 4;
            cairo_move_to(cr, cx + 3.5 * std::cos(a), cy + 3.5 * std::sin(a));
            cairo_line_to(cr, cx + 6.5 * std::cos(a), cy + 6.5 * std::sin(a));
        }
        cairo_set_line_width(cr, 2.2);
        cairo_stroke(cr);
        cairo_arc(cr, cx, cy, 4.2, 0, 2 * M_PI);
        cairo_set_line_width(cr, 2.0);
        cairo_stroke(cr);
    });
}

void DrawCloseButton(cairo_t* cr, ButtonLook look) {
    const Palette red{{0.62, 0.20, 0.20}, {0.40, 0.10, 0.12}, {0.78, 0.36, 0.36}, {1.0, 0.94, 0.94}};
    Plate(cr, 33, 20, 4, kTitleStrip, Shade(red, look), look, [&](double cx, double cy, Rgb caption) {
        SetColor(cr, caption);
        cairo_set_line_width(cr, 2.0);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_move_to(cr, cx - 4, cy - 4);
        cairo_line_to(cr, cx + 4, cy + 4);
        cairo_move_to(cr, cx + 4, cy - 4);
        cairo_line_to(cr, cx - 4, cy + 4);
        cairo_stroke(cr);
    });
}

}  // namespace skin_art
