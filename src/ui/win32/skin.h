#pragma once
// The skin's bitmaps, built into the executable as bitmap resources (skin.rc)
// from the same generator as the Linux window's.
#include <windows.h>

#include <cstdint>

// A 24-bit DIB section of bitmap resource `id`, or null when there is none.
HBITMAP LoadSkinBitmap(int id);
// 0xRRGGBB at (x, y) of a DIB section from LoadSkinBitmap; the point must lie inside.
uint32_t SkinPixel(HBITMAP bitmap, int x, int y);
SIZE SkinSize(HBITMAP bitmap);
// The same picture desaturated and darkened (skin_layout::DimmedPixel): the
// look of a disabled button that has no image of its own. Null for null.
HBITMAP DimmedSkinBitmap(HBITMAP bitmap);

// Copies `width` x `height` of `bitmap` (at most the bitmap's own size) from
// its origin to (x, y) of `dc`; nothing when the bitmap is null.
void BlitSkin(HDC dc, HBITMAP bitmap, int x, int y, int width, int height);

// Every point of `bitmap` whose colour is not the key colour, as rows of runs.
HRGN OpaqueSkinRegion(HBITMAP bitmap);
