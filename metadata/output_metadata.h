#pragma once
// The metadata a saved image carries: the source's items with the resolution, the output's pixel
// size and the program's "Software" entry set, and a thumbnail made from the output.

#include "metadata/property_item.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <cstdint>

namespace orm {

// "Software" entry written into every output whose source had metadata (two spaces before the
// last word, no terminating zero).
inline constexpr char kSoftwareText[] = "ORVEN Imaging  Resizer";

struct Rational {
    uint32_t numerator = 0;
    uint32_t denominator = 1;
};

// dpi as a RATIONAL: whole numbers over 1, others to three decimals, reduced.
Rational DpiToRational(double dpi);

struct OutputProperties {
    PropertyItems items;
    bool sourceHadThumbnail = false;
};

// The source's items for the output: X/YResolution become dpi (RATIONAL), ResolutionUnit 2
// (inches), the image size items (ImageWidth/ImageLength, PixelX/YDimension) the output's size;
// tags that describe the source's encoding (strips, tiles, compression, samples, ...) are left
// out; everything else is copied. "Software" is set when the source had any item.
OutputProperties BuildOutputProperties(const PropertyItems& source, QSize outputSize, double dpi);

// The size of the thumbnail written into an output: a twentieth of the source, at least 2 x 2.
QSize RegeneratedThumbnailSize(QSize sourceSize);
// A new thumbnail is made when the source had one and is larger than 200 x 200.
bool ShouldRegenerateThumbnail(bool sourceHadThumbnail, QSize sourceSize);

// Replaces the thumbnail items by a JPEG thumbnail (quality 75) of the output, scaled to size.
// False (items unchanged) when the thumbnail cannot be encoded.
bool SetRegeneratedThumbnail(PropertyItems& items, const QImage& output, QSize size);

// A thumbnail directory in a TIFF file is read as a second page, which TIFF readers refuse
// without its pixel size. When the items carry thumbnail data but no width or height items,
// adds them from the thumbnail's own JPEG header. False when nothing was added.
bool AddThumbnailSizeItems(PropertyItems& items);

// Sets the density of a JPEG file's JFIF header in place: whole dots per inch when they fit the
// header's 16-bit fields, otherwise dots per centimetre. False when the file has no JFIF header.
bool SetJfifDensity(QByteArray& jpegFile, double dpi);

// An iCCP chunk of a PNG file needs a profile name of 1 to 79 characters; exiv2 writes the
// name it read from a PNG source and an empty one otherwise. Names a nameless profile "ICC
// Profile" in place (with a new CRC). False when the file has no such chunk.
bool NameIccProfileChunk(QByteArray& pngFile);

// Sets the first directory's X/YResolution (RATIONAL) and ResolutionUnit (SHORT, 2 = inch) of a
// TIFF file in place, in the file's byte order. False when the file lacks those entries.
bool SetTiffResolution(QByteArray& tiffFile, Rational dpi);

}  // namespace orm
