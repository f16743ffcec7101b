#pragma once
// What every window front-end draws alike: the key colour, the status texts'
// colours and origins, and the look of a button state that has no image.
#include <cstdint>

namespace skin_layout {

constexpr uint32_t kKeyColour = 0xff00ff;    // cut out of the window
constexpr uint32_t kTextColour = 0x9a9a9a;   // RGB(154,154,154): status lines, labels
constexpr uint32_t kReadyColour = 0xba9de0;  // RGB(186,157,224): the ready text
constexpr int kTextPixels = 11;              // font height -11: an 11 px em

// Text origins, client pixels (top-left of the text cell).
constexpr int kLine1X = 104, kLine1Y = 459;
constexpr int kLine2X = 104, kLine2Y = 506;
constexpr int kTotalLabelX = 28, kTotalLabelY = 475;
constexpr int kFileLabelX = 28, kFileLabelY = 491;
constexpr int kReadyX = 28, kReadyY = 482;

// A button without a disabled image shows its normal image desaturated and
// darkened; the plate's surroundings (the image's corner colour) stay.
constexpr uint32_t DimmedPixel(uint32_t colour, uint32_t corner) {
    if (colour == corner) return colour;
    const uint32_t grey = ((colour >> 16) * 30 + ((colour >> 8) & 0xff) * 59 + (colour & 0xff) * 11) / 100;
    const uint32_t dim = 24 + grey * 2 / 5;
    return (dim << 16) | (dim << 8) | dim;
}

}  // namespace skin_layout
