#include "ui/gtk/skin.h"

#include <gio/gio.h>

#include <string>

extern "C" GResource* quon_skin_get_resource(void);
extern "C" void quon_skin_register_resource(void);

namespace {
uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
}  // namespace

SkinImage SkinImage::Load(int id) {
    const std::string path = "/quon/skin/" + std::to_string(id) + ".bmp";
    static GResource* const resource = [] {
        quon_skin_register_resource();
        return quon_skin_get_resource();
    }();
    GBytes* bytes = g_resource_lookup_data(resource, path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    if (!bytes) return {};
    gsize size = 0;
    const auto* data = static_cast<const uint8_t*>(g_bytes_get_data(bytes, &size));
    SkinImage image = Decode(data, size);
    g_bytes_unref(bytes);
    return image;
}

SkinImage SkinImage::Decode(const uint8_t* data, size_t size) {
    if (size < 54 || data[0] != 'B' || data[1] != 'M') return {};
    const uint32_t offset = Le32(data + 10);
    const int32_t width = static_cast<int32_t>(Le32(data + 18));
    const int32_t rawHeight = static_cast<int32_t>(Le32(data + 22));
    if (Le32(data + 14) < 40 || Le16(data + 28) != 24 || Le32(data + 30) != 0) return {};
    if (width <= 0 || width > 8192 || rawHeight == 0 || rawHeight < -8192 || rawHeight > 8192) return {};
    const bool bottomUp = rawHeight > 0;
    const int height = bottomUp ? rawHeight : -rawHeight;
    const size_t rowBytes = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    if (offset > size || (size - offset) / rowBytes < static_cast<size_t>(height)) return {};

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return {};
    }
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = data + offset + rowBytes * static_cast<size_t>(bottomUp ? height - 1 - y : y);
        auto* dst = reinterpret_cast<uint32_t*>(pixels + static_cast<size_t>(y) * stride);
        for (int x = 0; x < width; ++x, src += 3)
            dst[x] = 0xff000000u | (src[2] << 16) | (src[1] << 8) | src[0];
    }
    cairo_surface_mark_dirty(surface);
    SkinImage image;
    image.m_surface.reset(surface, cairo_surface_destroy);
    image.m_width = width;
    image.m_height = height;
    return image;
}

uint32_t SkinImage::Pixel(int x, int y) const {
    const unsigned char* pixels = cairo_image_surface_get_data(m_surface.get());
    const int stride = cairo_image_surface_get_stride(m_surface.get());
    return reinterpret_cast<const uint32_t*>(pixels + static_cast<size_t>(y) * stride)[x] & 0xffffff;
}

SkinImage SkinImage::Dimmed() const {
    if (!Valid()) return {};
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, m_width, m_height);
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < m_height; ++y) {
        auto* dst = reinterpret_cast<uint32_t*>(pixels + static_cast<size_t>(y) * stride);
        for (int x = 0; x < m_width; ++x)
            dst[x] = 0xff000000u | skin_layout::DimmedPixel(Pixel(x, y), Pixel(0, 0));
    }
    cairo_surface_mark_dirty(surface);
    SkinImage image;
    image.m_surface.reset(surface, cairo_surface_destroy);
    image.m_width = m_width;
    image.m_height = m_height;
    return image;
}

cairo_region_t* OpaqueRegion(const SkinImage& image) {
    cairo_region_t* region = cairo_region_create();
    for (int y = 0; y < image.Height(); ++y) {
        int x = 0;
        while (x < image.Width()) {
            while (x < image.Width() && image.Pixel(x, y) == kKeyColour) ++x;
            const int start = x;
            while (x < image.Width() && image.Pixel(x, y) != kKeyColour) ++x;
            if (x > start) {
                const cairo_rectangle_int_t run{start, y, x - start, 1};
                cairo_region_union_rectangle(region, &run);
            }
        }
    }
    return region;
}
