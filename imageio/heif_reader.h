#pragma once
// HEIF files (HEIC photos from phones, AVIF) read with libheif: the primary image, its Exif block
// and its colour profile. libheif applies the file's own rotation, mirroring and crop while it
// decodes, so the picture comes out upright; the Orientation of its Exif block is not applied
// again.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

namespace orm {

// Whether the bytes are a HEIF file: an "ftyp" box whose brands name HEIF or AVIF.
bool IsHeifFile(const QByteArray& fileBytes);

struct HeifInfo {
    QSize size;  // of the upright primary image
    bool hasAlpha = false;
    // As the file stores its samples: 24 (32 with alpha) for 8 bits, 48 (64) for more.
    int bitsPerPixel = 24;
    // What DecodeHeifImage makes of it.
    QImage::Format format = QImage::Format_RGB888;
};

// The primary image's facts without decoding its pixels; nothing (with the reason) when libheif
// cannot read the file.
std::optional<HeifInfo> ReadHeifInfo(const QByteArray& fileBytes, QString* error = nullptr);

// The primary image with 8 bits per sample: Format_RGB888, or Format_RGBA8888 (premultiplied
// when the file says so) with alpha. An image that cannot fit in memory is refused before it is
// decoded with "Not enough memory to open a W x H image". Null, with the reason, on failure.
// With info, the file's facts are returned as well.
QImage DecodeHeifImage(const QByteArray& fileBytes, QString* error = nullptr,
                       HeifInfo* info = nullptr);

// The primary image's first embedded thumbnail, decoded as DecodeHeifImage does, and the primary
// image's size; null when the file has no thumbnail or it cannot be decoded.
QImage DecodeHeifThumbnail(const QByteArray& fileBytes, QSize* primarySize = nullptr);

struct HeifMetadata {
    QByteArray exif;        // the TIFF structure, from its byte-order mark; empty when none
    QByteArray iccProfile;  // empty when none
};

// The primary image's first Exif block and its ICC colour profile.
HeifMetadata ReadHeifMetadata(const QByteArray& fileBytes);

// Where the TIFF structure of a HEIF Exif item starts: the item begins with a 32-bit big-endian
// offset from its fifth byte to the byte-order mark (often past an "Exif\0\0" identifier).
// Nothing when the offset leads outside the item or not to "II*\0" or "MM\0*".
std::optional<qsizetype> HeifExifTiffStart(const QByteArray& item);

}  // namespace orm
