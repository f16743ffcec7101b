// skin_generator <output folder>: writes every bitmap of the launcher skin as
// <resource id>.bmp (24-bit) at the size the window's geometry relies on.
#include <cairo.h>

#include <cstdio>
#include <functional>
#include <string>

#include "bmp_writer.h"
#include "skin_art.h"

using namespace skin_art;

namespace {
struct Bitmap {
    int id;
    int width, height;
    std::function<void(cairo_t*)> draw;
};

const Rgb kUpperFillFrom{0.93, 0.66, 0.18}, kUpperFillTo{0.99, 0.85, 0.38};
const Rgb kLowerFillFrom{0.16, 0.52, 0.86}, kLowerFillTo{0.36, 0.82, 0.93};

const Bitmap kBitmaps[] = {
    {215, 820, 545, DrawBackground},
    {226, 150, 80, [](cairo_t* cr) { DrawStartButton(cr, ButtonLook::kNormal); }},
    {227, 150, 80, [](cairo_t* cr) { DrawStartButton(cr, ButtonLook::kPressed); }},
    {229, 150, 80, [](cairo_t* cr) { DrawStartButton(cr, ButtonLook::kHover); }},
    {228, 150, 80, [](cairo_t* cr) { DrawStartButton(cr, ButtonLook::kDisabled); }},
    {257, 150, 80, [](cairo_t* cr) { DrawRepairButton(cr, ButtonLook::kNormal); }},
    {258, 150, 80, [](cairo_t* cr) { DrawRepairButton(cr, ButtonLook::kPressed); }},
    {259, 150, 80, [](cairo_t* cr) { DrawRepairButton(cr, ButtonLook::kHover); }},
    {237, 33, 20, [](cairo_t* cr) { DrawOptionButton(cr, ButtonLook::kNormal); }},
    {239, 33, 20, [](cairo_t* cr) { DrawOptionButton(cr, ButtonLook::kPressed); }},
    {238, 33, 20, [](cairo_t* cr) { DrawOptionButton(cr, ButtonLook::kHover); }},
    {230, 33, 20, [](cairo_t* cr) { DrawCloseButton(cr, ButtonLook::kNormal); }},
    {231, 33, 20, [](cairo_t* cr) { DrawCloseButton(cr, ButtonLook::kPressed); }},
    {232, 33, 20, [](cairo_t* cr) { DrawCloseButton(cr, ButtonLook::kHover); }},
    {240, 493, 14, DrawBarFrame},
    {241, 493, 14, DrawBarFrame},
    {244, 489, 10, [](cairo_t* cr) { DrawBarFill(cr, kUpperFillFrom, kUpperFillTo); }},
    {245, 489, 10, [](cairo_t* cr) { DrawBarFill(cr, kLowerFillFrom, kLowerFillTo); }},
};
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin_generator <output folder>\n");
        return 2;
    }
    for (const Bitmap& bitmap : kBitmaps) {
        cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, bitmap.width, bitmap.height);
        cairo_t* cr = cairo_create(image);
        bitmap.draw(cr);
        cairo_destroy(cr);
        const std::string path = std::string(argv[1]) + "/" + std::to_string(bitmap.id) + ".bmp";
        const bool written = cairo_surface_status(image) == CAIRO_STATUS_SUCCESS && WriteBmp24(image, path);
        cairo_surface_destroy(image);
        if (!written) {
            std::fprintf(stderr, "skin_generator: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
