#include "ui/win32/skin.h"

#include <algorithm>

#include "ui/skin_layout.h"

HBITMAP LoadSkinBitmap(int id) {
    // A DIB section keeps the pixels readable for the dimmed copies.
    return static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

SIZE SkinSize(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof(info), &info)) return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

uint32_t SkinPixel(HBITMAP bitmap, int x, int y) {
    DIBSECTION dib{};
    if (GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib) || !dib.dsBm.bmBits) return 0;
    const BITMAP& bm = dib.dsBm;
    const int row = bm.bmHeight > 0 ? bm.bmHeight - 1 - y : y;  // bottom-up unless negative
    const auto* p = static_cast<const uint8_t*>(bm.bmBits) + static_cast<size_t>(row) * bm.bmWidthBytes +
                    static_cast<size_t>(x) * (bm.bmBitsPixel / 8);
    return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

HBITMAP DimmedSkinBitmap(HBITMAP bitmap) {
    const SIZE size = SkinSize(bitmap);
    if (size.cx <= 0 || size.cy <= 0) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dimmed = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dimmed) return nullptr;
    auto* out = static_cast<uint32_t*>(bits);
    const uint32_t corner = SkinPixel(bitmap, 0, 0);
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x)
            out[y * size.cx + x] = skin_layout::DimmedPixel(SkinPixel(bitmap, x, y), corner);
    GdiFlush();
    return dimmed;
}

void BlitSkin(HDC dc, HBITMAP bitmap, int x, int y, int width, int height) {
    // Never past the image: a fill wider than its bitmap shows the whole
    // bitmap and no more, as on Linux.
    const SIZE size = SkinSize(bitmap);
    width = std::min<LONG>(width, size.cx);
    height = std::min<LONG>(height, size.cy);
    if (width <= 0 || height <= 0) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(dc, x, y, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

HRGN OpaqueSkinRegion(HBITMAP bitmap) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    const SIZE size = SkinSize(bitmap);
    for (int y = 0; y < size.cy; ++y) {
        int x = 0;
        while (x < size.cx) {
            while (x < size.cx && SkinPixel(bitmap, x, y) == skin_layout::kKeyColour) ++x;
            const int start = x;
            while (x < size.cx && SkinPixel(bitmap, x, y) != skin_layout::kKeyColour) ++x;
            if (x > start) {
                HRGN run = CreateRectRgn(start, y, x, y + 1);
                CombineRgn(region, region, run, RGN_OR);
                DeleteObject(run);
            }
        }
    }
    return region;
}
