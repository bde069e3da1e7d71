#pragma once
// Thumbnails held compressed with MiniJpeg (quality 90, 2 x 2 chroma subsampling, one
// quantisation table per segment, 300 dots per inch). The picture is fed in the order of a
// bottom-up bitmap: the bottom row first, each pixel's bytes as stored (blue, green, red) as the
// encoder's first, second and third components. Decoding hands them back in the same order, so
// a round trip restores the picture; the stream itself shows the picture upside down with red and
// blue exchanged, which keeps the cache files readable by every version of the program.

#include "thumbnails/palette_item.h"

#include <QByteArray>
#include <QImage>

namespace orm {

// Resolution of decoded thumbnails: 72 dots per inch.
constexpr int kThumbDotsPerMeter = 2835;

// The compressed form of a Format_BGR888 picture; empty when the picture is null or too large for
// the encoder.
QByteArray CompressPicture(const QImage& picture);

// A thumbWidth x thumbHeight picture decoded from jpegData: min(decoded height, thumbHeight) rows
// of min(decoded width, thumbWidth) pixels, from the bottom row up (the rest stays black). Null
// when the data is empty or cannot be decoded.
QImage DecompressPicture(const QByteArray& jpegData, int thumbWidth, int thumbHeight);

// Fills jpegData from the picture when jpegData is empty and a picture exists.
void Compress(CPaletteItemImg& item);

// The picture of a thumbnail: the one it holds, else its decoded jpegData; null when it has no
// data or the data cannot be decoded. The thumbnail is not changed (it may be shared).
QImage Decompress(const CPaletteItemImg& item);

}  // namespace orm
