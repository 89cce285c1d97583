// Icons: small palette images that the program draws itself, known to the layer by handle.
#pragma once
#include "Messages.h"

#include <cstdint>
#include <vector>

struct TIconImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Palette; // 0xAARRGGBB
    std::vector<uint8_t> Pixels;   // row by row, each an index into Palette
};

// The handle of a new icon with the image; the icon lives as long as the process.
HICON CreateIconFromImage(const TIconImage& Image);
// Null for a handle that names no icon (0 included).
const TIconImage* IconImage(HICON Icon);
