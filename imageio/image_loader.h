#pragma once
// Loading a source image: the whole file is read into memory and closed, then decoded from the
// buffer. The result carries what the rest of the program needs besides the pixels.
//
// Only regular files are read (file_reader.h). The header is read first: an image whose pixels
// cannot fit in the memory the system has is refused before anything is decoded, and the pixels
// are converted to 24-bit BGR inside the decoded buffer where Qt can, so one copy exists.
//
// A source is upright: the file's EXIF Orientation is applied to its pixels, sizes, resolution
// and items at load (upright_image.h), so nothing after loading meets a sideways picture. HEIF
// and AVIF files are decoded with libheif (heif_reader.h).

#include "metadata/property_item.h"

#include <QImage>
#include <QString>

#include <optional>

namespace orm {

struct SourceImage {
    QImage image;  // the pixels, Format_BGR888 (over white where they are transparent)
    // The size the file states (upright); image has it unless a DecodeLimit let the decoder
    // shrink it.
    QSize fileSize;
    QImage::Format fileFormat = QImage::Format_Invalid;  // the format the file decoded to
    // The decoded pixels in that format, kept when 24-bit colour does not hold them exactly
    // (palettes, 1-bit, grey, 16 bits per sample, alpha); null otherwise. A copy at the source's
    // own size is written from it.
    QImage original;
    // Some pixel is not fully opaque: image shows the pixels over white, original keeps the alpha
    // (transparency.h).
    bool transparent = false;
    int bitsPerPixel = 0;  // of the file's own pixel format
    double dpiX = 96.0;    // resolution exactly as the file states it, in upright directions
    double dpiY = 96.0;
    PropertyItems properties;  // EXIF items, in directory order; Orientation 1, thumbnail upright
    QString damage;  // for a cut-off file, what fills the missing part ("the missing part is grey")

    int width() const { return image.width(); }
    int height() const { return image.height(); }
    QSize FileSize() const { return fileSize.isValid() ? fileSize : image.size(); }
};

// Whether 24-bit colour (Format_BGR888) holds every pixel of a decoded format exactly, so that
// no copy of the decoded image in its own format is needed.
bool TwentyFourBitsHold(QImage::Format format);

// Bits per pixel of a decoded format, as the image-info dialog counts colours: 1, 4 or 8 for
// palettes (by the palette's size), 8 or 16 for grey, 16, 24 (colour without alpha), 32, 48, 64.
int BitsPerPixelOf(const QImage& decoded);
int BitsPerPixelOf(QImage::Format format, int colorCount);

// Qt refuses images above 256 MB by default; the program raises the limit to this.
constexpr int kImageAllocationLimitMb = 4096;

struct DecodedImage {
    QImage image;          // in the format the file decoded to
    int bitsPerPixel = 0;  // as the file stores its pixels (GIF: 8)
};

// What the file's header says, without decoding pixels: the size of the upright picture (invalid
// when the reader cannot tell) and the format the reader will decode to (Invalid when it cannot
// tell before decoding).
struct ImageHeader {
    QSize size;
    QImage::Format format = QImage::Format_Invalid;
    QByteArray type;  // the reader's name for the file type ("jpeg", "png", "gif", ...)
};
std::optional<ImageHeader> ReadImageHeader(const QByteArray& fileBytes, QString* error = nullptr);

// Decodes a whole file held in memory with Qt's readers (HEIF files with libheif, upright by the
// file's own transformations), the pixels as stored (no rotation by the EXIF orientation).
// Uncompressed BMP files shorter than their pixel rows are refused rather than shown with missing
// rows; an image that (with its conversion to BGR) cannot fit in memory is refused before decoding
// with "Not enough memory to open a W x H image".
std::optional<DecodedImage> DecodeImageBytes(const QByteArray& fileBytes, QString* error = nullptr);

// True when an uncompressed BMP file ends before its last pixel row.
bool IsTruncatedBmp(const QByteArray& fileBytes);

// Lets the JPEG decoder shrink the image while decoding (to 1/2, 1/4 or 1/8 of each side, the
// strongest that keeps both sides at least this large): far less work for strong reductions,
// at the price of pixels that differ from a full decode. Other formats decode in full. The
// default (0 x 0) decodes every file in full.
struct DecodeLimit {
    int minWidth = 0;
    int minHeight = 0;
    // The minimum is the box at the file's aspect that covers minWidth x minHeight (Crop mode,
    // where the algorithm works at the covering size).
    bool cover = false;
    bool operator==(const DecodeLimit&) const = default;
};

// The decoded image, upright, or nothing with the reason in error. The limit is a minimum of the
// upright picture.
std::optional<SourceImage> LoadSourceImage(const QString& path, QString* error = nullptr,
                                           const DecodeLimit& limit = {});

// The same from bytes already in memory.
std::optional<SourceImage> DecodeSourceImage(const QByteArray& fileBytes, QString* error = nullptr,
                                             const DecodeLimit& limit = {});

}  // namespace orm
