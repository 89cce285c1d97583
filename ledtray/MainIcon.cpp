#include "MainIcon.h"

#include <cstring>

namespace tray {

namespace {

// Transparent ('.') and fifteen colours of the classic 16-colour palette.
constexpr char Keys[] = ".kmnovtGgRLYBFCW";
constexpr uint32_t Palette[16] = {
    0x00000000, 0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF008080, 0xFFC0C0C0,
    0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};

constexpr const char* Picture[16] = {
    "................",
    "................",
    ".kkkkkkkkkkkkkk.",
    ".kggggggggnLLnk.",
    ".kggggggggnLLnk.",
    ".kggggggggggggk.",
    ".kgWWgWWgWWgWWk.",
    ".kgGGgGGgGGgGGk.",
    ".kggggggggggggk.",
    ".kgWWgWWgWWgWWk.",
    ".kgGGgGGgGGgGGk.",
    ".kggggggggggggk.",
    ".kgWWgWWgWWgWWk.",
    ".kgGGgGGgGGgGGk.",
    ".kkkkkkkkkkkkkk.",
    "................",
};

} // namespace

TIconImage MainIconImage()
{
    TIconImage image;
    image.Width = 16;
    image.Height = 16;
    image.Palette.assign(std::begin(Palette), std::end(Palette));
    for (const char* row : Picture)
        for (int x = 0; x < 16; ++x) image.Pixels.push_back(static_cast<uint8_t>(std::strchr(Keys, row[x]) - Keys));
    return image;
}

} // namespace tray
