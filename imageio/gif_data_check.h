#pragma once
// GIF files that hold no picture at all: a header and a screen size (11390 x 13680 in 26 bytes)
// with the image data missing. Qt's reader still makes a picture of the claimed size, all blank,
// and reports success; such a file is refused instead. (A file cut off inside its image data
// still opens, its missing part blank: damage_check.h.)

#include <QByteArray>
#include <QSize>

#include <optional>

namespace orm {

// A GIF (GIF87a or GIF89a) that ends before the first byte of its first picture's image data.
bool GifLacksImageData(const QByteArray& bytes);

struct GifSizes {
    QSize screen;        // the logical screen the header states
    QSize firstPicture;  // the first image descriptor's, empty when the file has none
};

// The sizes a GIF states, read from its header and first image descriptor.
std::optional<GifSizes> ReadGifSizes(const QByteArray& bytes);

}  // namespace orm
