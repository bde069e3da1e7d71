#pragma once
// The palette picture a GIF holds: one index per pixel into at most 256 colours. A picture of
// 256 colours or fewer keeps every colour exactly; a richer one is quantised by libimagequant,
// which keeps neutral greys neutral (a per-channel median cut casts them brown or cream).

#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

namespace orm {

struct PaletteColour {
    uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const PaletteColour&) const = default;
};

struct PalettePicture {
    int width = 0, height = 0;
    std::vector<uint8_t> indices;        // width x height, rows top to bottom
    std::vector<PaletteColour> palette;  // 1..256 entries
};

// The picture with its colours as they are, when it has 256 or fewer (alpha is not kept); an
// 8-bit palette image keeps its own palette. Nothing when it has more colours.
std::optional<PalettePicture> ExactPalette(const QImage& image);

// At most 256 colours chosen and mapped by libimagequant (with error diffusion). Nothing when
// the library fails (out of memory).
std::optional<PalettePicture> QuantisedPalette(const QImage& image);

// ExactPalette, else QuantisedPalette.
std::optional<PalettePicture> ToPalette(const QImage& image);

}  // namespace orm
