#pragma once
// The depth an image file stores its pixels at, read from its header: the bits of one pixel as
// the file holds them (a 4-bit palette TIFF is 4, an RGB565 bitmap 16, a 16-bit RGB PNG 48),
// whatever format a decoder hands the pixels out in.

#include "metadata/byte_source.h"

#include <optional>

namespace orm {

// Bits per pixel of a JPEG (precision x components), PNG (bit depth x channels), TIFF
// (BitsPerSample x SamplesPerPixel of the first directory), BMP (its bit count) or GIF (8: a
// palette index per pixel). Nothing for other formats or a header that cannot be read.
std::optional<int> ReadStoredBitsPerPixel(const ByteSource& file);

}  // namespace orm
