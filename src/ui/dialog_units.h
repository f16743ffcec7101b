#pragma once
// Dialog units to pixels for the launcher's dialog template (font "Arial",
// 10 pt). Windows converts x = du * baseX / 4 and y = du * baseY / 8, rounding
// half up, with the base units of the template font: its average character
// width and its height. Arial 10 pt on a 96 dpi screen is a 13 px face about
// 7 px wide on average; the skin's background fixes the exact base units at
// baseX = 820 * 4 / 464 = 7.069 px and baseY = 545 * 8 / 278 = 15.683 px, so
// that the template's 464 x 278 units are the background's 820 x 545 pixels.
// The same factors place the notice page, control 1002 at (276,76) with
// 180 x 139 units: (488,149) with 318 x 273 pixels.
namespace dialog_units {

constexpr int kTemplateWidth = 464, kTemplateHeight = 278;  // dialog units
constexpr int kClientWidth = 820, kClientHeight = 545;      // pixels

// Rounded half up, as MulDiv does for positive values.
constexpr int ToPixelsX(int du) {
    return (du * kClientWidth * 2 + kTemplateWidth) / (kTemplateWidth * 2);
}
constexpr int ToPixelsY(int du) {
    return (du * kClientHeight * 2 + kTemplateHeight) / (kTemplateHeight * 2);
}

static_assert(ToPixelsX(kTemplateWidth) == kClientWidth && ToPixelsY(kTemplateHeight) == kClientHeight);

// Control 1002, the notice page.
constexpr int kNoticeX = ToPixelsX(276), kNoticeY = ToPixelsY(76);
constexpr int kNoticeWidth = ToPixelsX(180), kNoticeHeight = ToPixelsY(139);
static_assert(kNoticeX == 488 && kNoticeY == 149 && kNoticeWidth == 318 && kNoticeHeight == 273);

}  // namespace dialog_units
