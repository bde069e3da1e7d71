#pragma once
// Making one thumbnail from an image file: the embedded EXIF/TIFF thumbnail where one exists
// (quick, preliminary), else the decoded image reduced to the thumbnail size (final).

#include "thumbnails/palette_item.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace orm {

// The fit of a width x height image into the box, in integer arithmetic: (bw, h bw / w) when
// h bw < w bh, else (w bh / h, bh); a zero width or height gives 10 x 10. A side that would come
// out 0 (an image thousands of times wider than high) is raised to 1, so every thumbnail can be
// drawn and encoded.
QSize FitThumbnail(int boxWidth, int boxHeight, int64_t width, int64_t height);

// The builder makes thumbnails of the files the program opens (IsSupportedImage of imageio).

// Bits per pixel of the thumbnail record: imageio's count of the decoded format, or the depth a
// BMP or GIF file states, without alpha: 32-bit colour with alpha counts 24, 64-bit colour 48,
// and 32 bits stand only where the file stores 32-bit colour itself (a BMP). `decoded` is the
// image as Qt's reader of `readerFormat` made it.
int ThumbnailBitsPerPixel(const QImage& decoded, const QByteArray& readerFormat,
                          const QByteArray& fileBytes);

// Size to ask Qt's JPEG reader for: the image at the smallest scale M/8 (M = 1..7, which libjpeg
// applies while decoding) that is at least the thumbnail on both sides; invalid when only
// the full size serves.
QSize ScaledJpegDecodeSize(QSize fullSize, QSize thumbnail);

// Quick: the picture is made again (embedded thumbnail first, then the full image); Full: the
// thumbnail is remade from the full image, keeping what the item knows (image size, sound).
enum class ThumbnailLoadMode { Quick, Full };

// Loads the thumbnail of `path` into `item` and compresses it; false when the file is not an
// image file, cannot be read or decoded, changes while it is read, is 12001 pixels wide or more
// (as far as its metadata tells) and has no embedded thumbnail, or is too large for the memory
// the system has. Never throws.
bool LoadThumbnail(CPaletteItemImg& item, const QString& path, ThumbnailLoadMode mode);

}  // namespace orm
