#pragma once
// The skin's bitmaps (24-bit BMPs embedded as a GResource) as cairo images,
// and the window shape that the background's key colour leaves.
#include <cairo.h>

#include <cstdint>
#include <memory>

#include "ui/skin_layout.h"

class SkinImage {
public:
    SkinImage() = default;
    // An empty image when `id` names no bitmap or the data is not a 24-bit BMP.
    static SkinImage Load(int id);
    // Decodes an uncompressed 24-bit BMP; empty on any malformed input.
    static SkinImage Decode(const uint8_t* data, size_t size);

    bool Valid() const { return m_surface != nullptr; }
    cairo_surface_t* Surface() const { return m_surface.get(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // 0xRRGGBB at (x, y); the image must be valid and the point inside.
    uint32_t Pixel(int x, int y) const;
    // The same picture desaturated and darkened: a visibly inactive look.
    SkinImage Dimmed() const;

private:
    std::shared_ptr<cairo_surface_t> m_surface;
    int m_width = 0, m_height = 0;
};

using skin_layout::kKeyColour;

// Every point of `image` whose colour is not the key colour, as rows of runs.
cairo_region_t* OpaqueRegion(const SkinImage& image);
