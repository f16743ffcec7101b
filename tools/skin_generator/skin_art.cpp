// The background and the progress bars.
#include "skin_art.h"

#include <cmath>

namespace skin_art {

void SetColor(cairo_t* cr, Rgb c, double alpha) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void CentredText(cairo_t* cr, const char* text, double size, bool bold, double cx, double cy) {
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text, &ext);
    cairo_move_to(cr, std::round(cx - ext.width / 2 - ext.x_bearing),
                  std::round(cy - ext.height / 2 - ext.y_bearing));
    cairo_show_text(cr, text);
}

namespace {
void LeftText(cairo_t* cr, const char* text, double size, bool bold, double x, double baseline, Rgb color) {
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    SetColor(cr, color);
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, text);
}

// The artwork panel on the left: a night sky over a range of hills.
void DrawHeroPanel(cairo_t* cr, double x, double y, double w, double h) {
    cairo_save(cr);
    RoundedRect(cr, x, y, w, h, 8);
    cairo_clip_preserve(cr);
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgb(sky, 0, 0.11, 0.13, 0.32);
    cairo_pattern_add_color_stop_rgb(sky, 0.6, 0.36, 0.20, 0.42);
    cairo_pattern_add_color_stop_rgb(sky, 1, 0.72, 0.38, 0.30);
    cairo_set_source(cr, sky);
    cairo_fill(cr);
    cairo_pattern_destroy(sky);

    // A low moon with a soft halo.
    cairo_pattern_t* halo =
        cairo_pattern_create_radial(x + w * 0.72, y + h * 0.42, 10, x + w * 0.72, y + h * 0.42, 110);
    cairo_pattern_add_color_stop_rgba(halo, 0, 1.0, 0.90, 0.70, 0.55);
    cairo_pattern_add_color_stop_rgba(halo, 1, 1.0, 0.90, 0.70, 0.0);
    cairo_set_source(cr, halo);
    cairo_paint(cr);
    cairo_pattern_destroy(halo);
    cairo_set_source_rgb(cr, 1.0, 0.93, 0.78);
    cairo_arc(cr, x + w * 0.72, y + h * 0.42, 34, 0, 2 * M_PI);
    cairo_fill(cr);

    // Stars: a fixed scatter, so every build draws the same skin.
    unsigned seed = 12345;
    for (int i = 0; i < 70; ++i) {
        seed = seed * 1103515245u + 12345u;
        double sx = x + (seed >> 8) % static_cast<unsigned>(w);
        seed = seed * 1103515245u + 12345u;
        double sy = y + (seed >> 8) % static_cast<unsigned>(h * 0.45);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.35 + 0.1 * (i % 5));
        cairo_arc(cr, sx, sy, (i % 7 == 0) ? 1.4 : 0.8, 0, 2 * M_PI);
        cairo_fill(cr);
    }

    // Three ranges of hills, darker towards the front.
    const double shades[3][3] = {{0.26, 0.16, 0.34}, {0.16, 0.11, 0.24}, {0.07, 0.06, 0.13}};
    for (int layer = 0; layer < 3; ++layer) {
        const double base = y + h * (0.62 + 0.12 * layer);
        cairo_move_to(cr, x, y + h);
        for (int i = 0; i <= 40; ++i) {
            const double px = x + w * i / 40.0;
            const double py =
                base - 26 * std::sin(i * (0.45 + 0.2 * layer) + layer) - 14 * std::sin(i * 1.7 + layer * 2);
            cairo_line_to(cr, px, py);
        }
        cairo_line_to(cr, x + w, y + h);
        cairo_close_path(cr);
        cairo_set_source_rgb(cr, shades[layer][0], shades[layer][1], shades[layer][2]);
        cairo_fill(cr);
    }

    // The game's name over the artwork.
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    CentredText(cr, "QUON", 64, true, x + w * 0.36 + 2, y + 92 + 2);
    cairo_set_source_rgb(cr, 0.98, 0.84, 0.42);
    CentredText(cr, "QUON", 64, true, x + w * 0.36, y + 92);
    cairo_set_source_rgb(cr, 0.92, 0.90, 0.96);
    CentredText(cr, "THE  JOURNEY  CONTINUES", 13, false, x + w * 0.36, y + 136);
    cairo_restore(cr);

    RoundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, 8);
    cairo_set_source_rgb(cr, 0.30, 0.34, 0.48);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// A frame with a caption strip, around the place of the notice page.
void DrawNoticeFrame(cairo_t* cr) {
    // The page itself covers (488,149)-(806,422).
    RoundedRect(cr, 482, 84, 326, 342, 6);
    SetColor(cr, Rgb{0.09, 0.11, 0.19});
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.30, 0.34, 0.48);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    LeftText(cr, "NOTICE", 15, true, 494, 108, Rgb{0.98, 0.84, 0.42});
    LeftText(cr, "News and events", 11, false, 494, 126, Rgb{0.62, 0.66, 0.78});
    cairo_set_source_rgb(cr, 0.98, 0.84, 0.42);
    cairo_rectangle(cr, 494, 134, 60, 2);
    cairo_fill(cr);
    // A thin edge around the page.
    cairo_set_source_rgb(cr, 0.30, 0.34, 0.48);
    cairo_rectangle(cr, 487, 148, 320, 275);
    cairo_fill(cr);
}
}  // namespace

void DrawBackground(cairo_t* cr) {
    SetColor(cr, kKey);
    cairo_paint(cr);
    // Everything of the window lies in the opaque area; the margin keeps the
    // key colour and so lets the desktop show through.
    cairo_rectangle(cr, 9, 37, 801, 507);
    cairo_clip(cr);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 37, 0, 544);
    cairo_pattern_add_color_stop_rgb(body, 0, 0.10, 0.12, 0.20);
    cairo_pattern_add_color_stop_rgb(body, 1, 0.06, 0.07, 0.12);
    cairo_set_source(cr, body);
    cairo_paint(cr);
    cairo_pattern_destroy(body);

    // Title strip with the option and close buttons at its right end.
    SetColor(cr, kTitleStrip);
    cairo_rectangle(cr, 9, 37, 801, 35);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.78, 0.60, 0.22);
    cairo_rectangle(cr, 9, 72, 801, 1);
    cairo_fill(cr);
    LeftText(cr, "QUON", 20, true, 22, 62, Rgb{0.98, 0.84, 0.42});
    LeftText(cr, "LAUNCHER", 11, false, 85, 61, Rgb{0.62, 0.66, 0.78});

    DrawHeroPanel(cr, 21, 84, 450, 342);
    DrawNoticeFrame(cr);

    // Bottom panel: status texts and bars on the left, repair and start on
    // the right, all on one flat colour.
    SetColor(cr, kBottomPanel);
    cairo_rectangle(cr, 9, 436, 801, 108);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.22, 0.26, 0.38);
    cairo_rectangle(cr, 9, 436, 801, 1);
    cairo_fill(cr);
}

void DrawBarFrame(cairo_t* cr) {
    cairo_set_source_rgb(cr, 0.33, 0.37, 0.52);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.03, 0.04, 0.08);
    cairo_rectangle(cr, 1, 1, 491, 12);
    cairo_fill(cr);
}

void DrawBarFill(cairo_t* cr, Rgb from, Rgb to) {
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, 0, 489, 0);
    cairo_pattern_add_color_stop_rgb(fill, 0, from.r, from.g, from.b);
    cairo_pattern_add_color_stop_rgb(fill, 1, to.r, to.g, to.b);
    cairo_set_source(cr, fill);
    cairo_paint(cr);
    cairo_pattern_destroy(fill);
    // A highlight along the top edge gives the fill some depth.
    cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
    cairo_rectangle(cr, 0, 1, 489, 2);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    cairo_rectangle(cr, 0, 8, 489, 2);
    cairo_fill(cr);
}

}  // namespace skin_art
