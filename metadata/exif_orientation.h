#pragma once
// The EXIF Orientation of an image file (tag 0x0112 of the first directory): how the stored
// pixels are turned to show the picture upright. Read with the own TIFF structure reader from a
// JPEG's first APP1 "Exif" segment, a TIFF file's first directory, a PNG file's eXIf chunk or a
// WebP file's EXIF chunk.
//
// The eight values, as the stored picture is turned to be seen upright:
//   1 as stored           2 mirrored left-right        3 turned 180 degrees   4 mirrored top-bottom
//   5 transposed (mirrored left-right, then turned a quarter anticlockwise): upright (x, y) is
//     stored (y, x)
//   6 turned a quarter clockwise
//   7 transversed (mirrored left-right, then turned a quarter clockwise)
//   8 turned a quarter anticlockwise

#include "metadata/byte_source.h"

namespace orm {

constexpr int kOrientationUpright = 1;

// 1 to 8; 1 for files without the tag or with a value outside 1 to 8.
int ReadExifOrientation(const ByteSource& file);

// The orientation of an EXIF block: a TIFF structure from its byte-order mark (a leading
// "Exif\0\0" identifier is skipped).
int ReadTiffOrientation(const ByteSource& block);

// Whether the orientation turns the picture a quarter (5 to 8): width and height change places.
constexpr bool OrientationSwapsAxes(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

}  // namespace orm
