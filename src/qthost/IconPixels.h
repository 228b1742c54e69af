#pragma once
// The program's small icons as ready pixels, written at build time from
// data/icons (icon_pixels.py): shown without decoding a PNG.

#include <cstdint>
#include <span>

namespace velmora {

struct IconPixels {
    const char* name; // the PNG's name without size and ending, as "velmora-tray-16"
    int width;
    int height;
    const std::uint32_t* argb; // QImage::Format_ARGB32_Premultiplied, rows top to bottom
};

std::span<const IconPixels> iconPixels();

} // namespace velmora
