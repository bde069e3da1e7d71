#pragma once
// Loading a source image: the whole file is read into memory and closed, then decoded from the
// buffer. The result carries what the rest of the program needs besides the pixels.

#include "metadata/property_item.h"

#include <QImage>
#include <QString>

#include <optional>

namespace orm {

struct SourceImage {
    QImage image;                                 // the pixels, Format_BGR888
    QImage::Format fileFormat = QImage::Format_Invalid;  // the format the file decoded to
    int bitsPerPixel = 0;                          // of the file's own pixel format
    double dpiX = 96.0;                            // resolution exactly as the file states it
    double dpiY = 96.0;
    PropertyItems properties;                      // EXIF items, in directory order

    int width() const { return image.width(); }
    int height() const { return image.height(); }
};

// Bits per pixel of a decoded format, as the image-info dialog counts colours: 1, 4 or 8 for
// palettes (by the palette's size), 8 or 16 for grey, 16, 24 (colour without alpha), 32, 48, 64.
int BitsPerPixelOf(const QImage& decoded);

// Qt refuses images above 256 MB by default; the program raises the limit to this.
constexpr int kImageAllocationLimitMb = 4096;

struct DecodedImage {
    QImage image;          // in the format the file decoded to
    int bitsPerPixel = 0;  // of the file's own pixel format (GIF: 8)
};

// Decodes a whole file held in memory with Qt's readers, the pixels as stored (no rotation by
// the EXIF orientation). Uncompressed BMP files shorter than their pixel rows are refused rather
// than shown with missing rows.
std::optional<DecodedImage> DecodeImageBytes(const QByteArray& fileBytes, QString* error = nullptr);

// True when an uncompressed BMP file ends before its last pixel row.
bool IsTruncatedBmp(const QByteArray& fileBytes);

// The decoded image, or nothing with the reason in error.
std::optional<SourceImage> LoadSourceImage(const QString& path, QString* error = nullptr);

// The same from bytes already in memory.
std::optional<SourceImage> DecodeSourceImage(const QByteArray& fileBytes, QString* error = nullptr);

}  // namespace orm
