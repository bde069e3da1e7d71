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
// (inches), Orientation 1 (sources are made upright when they are loaded), the image size items
// (ImageWidth/ImageLength, PixelX/YDimension) the output's size;
// tags that describe the source's encoding (strips, tiles, compression, samples, ...) are left
// out, and so is a colour filter array pattern that claims more cells than it holds; everything
// else is copied. "Software" is set when the source had any item.
OutputProperties BuildOutputProperties(const PropertyItems& source, QSize outputSize, double dpi);

// The size of the thumbnail written into an output: a twentieth of the source, at least 2 x 2.
QSize RegeneratedThumbnailSize(QSize sourceSize);
// A new thumbnail is made when the source had one and is larger than 200 x 200.
bool ShouldRegenerateThumbnail(bool sourceHadThumbnail, QSize sourceSize);

// Replaces the thumbnail items by a JPEG thumbnail (quality 75) of the output, scaled to size.
// False (items unchanged) when the thumbnail cannot be encoded.
bool SetRegeneratedThumbnail(PropertyItems& items, const QImage& output, QSize size);

// The items a TIFF output carries: TIFF readers read the first directory and the EXIF and GPS
// directories as their own tags, and warn about any they do not know or whose type differs from
// theirs. Kept: the first directory's descriptive tags (text, orientation, resolution, colour
// description, copyright, XMP, IPTC), the EXIF tags of the standard (PixelX/YDimension as LONG;
// GainControl, which libtiff expects with another type, left out), the GPS tags, the maker note.
// Left out: the interoperability directory, private and unknown tags, and the thumbnail
// directory (a TIFF's second directory is a page: see AppendTiffThumbnailPage), and entries
// without a value. Texts of a length the standard fixes are cut to it.
PropertyItems TiffOutputItems(const PropertyItems& items);

// The thumbnail a saved file carries: the JPEG of the thumbnail items, decoded; null when the
// items hold none.
QImage ThumbnailOfItems(const PropertyItems& items);

// Appends a reduced-resolution page (NewSubfileType 1) holding the picture as uncompressed 8-bit
// RGB to a single-page TIFF file, as its second directory: the form of an embedded thumbnail every
// TIFF reader takes. False (file unchanged) when the file has a second directory already or the
// picture is null.
bool AppendTiffThumbnailPage(QByteArray& tiffFile, const QImage& thumbnail);

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
