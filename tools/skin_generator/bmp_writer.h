#pragma once
// Writes a cairo image as a 24-bit uncompressed BMP, the format of the skin's
// bitmap resources.
#include <cairo.h>

#include <string>

bool WriteBmp24(cairo_surface_t* image, const std::string& path);
