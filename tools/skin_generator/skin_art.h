#pragma once
// The drawings of the skin. Each function paints a whole bitmap of the size
// the window expects; the colours the window's painter relies on stay here.
#include <cairo.h>

namespace skin_art {

struct Rgb {
    double r, g, b;
};
constexpr Rgb kKey{1.0, 0.0, 1.0};
// Flat panel colours behind the buttons, so that the rectangular button
// bitmaps blend into the background.
constexpr Rgb kTitleStrip{10 / 255.0, 13 / 255.0, 24 / 255.0};
constexpr Rgb kBottomPanel{14 / 255.0, 18 / 255.0, 30 / 255.0};

void SetColor(cairo_t* cr, Rgb c, double alpha = 1.0);
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);
// Text centred on (cx, cy) in Liberation Sans.
void CentredText(cairo_t* cr, const char* text, double size, bool bold, double cx, double cy);

void DrawBackground(cairo_t* cr);                 // 215, 820 x 545
void DrawBarFrame(cairo_t* cr);                   // 240 and 241, 493 x 14
void DrawBarFill(cairo_t* cr, Rgb from, Rgb to);  // 244 and 245, 489 x 10

enum class ButtonLook { kNormal, kPressed, kHover, kDisabled };
void DrawStartButton(cairo_t* cr, ButtonLook look);   // 150 x 80
void DrawRepairButton(cairo_t* cr, ButtonLook look);  // 150 x 80
void DrawOptionButton(cairo_t* cr, ButtonLook look);  // 33 x 20
void DrawCloseButton(cairo_t* cr, ButtonLook look);   // 33 x 20

}  // namespace skin_art
