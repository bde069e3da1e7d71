#include "imageio/memory_needs.h"

#include "engine/memory_budget.h"

#include <cstdlib>

namespace orm {

namespace {

std::uint64_t Pixels(int w, int h) {
    return std::uint64_t(std::abs(std::int64_t(w))) * std::uint64_t(std::abs(std::int64_t(h)));
}

// QImage rows are padded to 4 bytes.
std::uint64_t ImageBytes(int w, int h, int bitsPerPixel) {
    const std::uint64_t row =
        (std::uint64_t(std::abs(std::int64_t(w))) * std::uint64_t(bitsPerPixel) + 31) / 32 * 4;
    return row * std::uint64_t(std::abs(std::int64_t(h)));
}

}  // namespace

bool ConvertsToBgrInPlace(QImage::Format format) {
    // Measured with Qt 6.4: these shrink row by row inside their own buffer; every other format
    // (palettes, grey, 16-bit colour) goes through a second, 32-bit image.
    switch (format) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
        case QImage::Format_RGBX64:
        case QImage::Format_RGBA64:
        case QImage::Format_RGBA64_Premultiplied:
        case QImage::Format_BGR888:
            return true;
        default:
            return false;
    }
}

std::uint64_t EstimatedDecodeBytes(int width, int height, QImage::Format decoded) {
    // A reader that cannot tell its format yet (GIF) decodes to 32 bits.
    const int bits =
        decoded == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(decoded).bitsPerPixel();
    std::uint64_t bytes = ImageBytes(width, height, bits);
    if (decoded == QImage::Format_Invalid || !ConvertsToBgrInPlace(decoded))
        bytes += ImageBytes(width, height, 32) + ImageBytes(width, height, 24);
    return bytes;
}

std::uint64_t EstimatedEncodeBytes(int width, int height, const QString& mimeType) {
    // Bytes per pixel beyond the 24-bit image, from measurements of Qt 6.4's writers on
    // incompressible pictures: the encoded file (up to the raw size, LZW a third more), a copy of
    // it when exiv2 rewrites the metadata, and the writer's own converted copy (BMP writes from
    // 32 bits; TIFF converts to RGB; the GIF writer keeps a copy, three planes and the indices).
    int perPixel = 6;  // JPEG and PNG: the file and its metadata copy
    if (mimeType == QLatin1String("image/bmp"))
        perPixel = 7;
    else if (mimeType == QLatin1String("image/tiff"))
        perPixel = 9;
    else if (mimeType == QLatin1String("image/gif"))
        perPixel = 8;
    else if (mimeType == QLatin1String("image/webp"))
        perPixel = 10;  // Qt's RGB copy, libwebp's ARGB picture and its YUV planes, the file
    return Pixels(width, height) * std::uint64_t(perPixel);
}

bool FitsInAvailableMemory(std::uint64_t bytes) {
    const std::uint64_t available = engine::AvailableMemoryBytes();
    return available == 0 || bytes <= available;
}

QString NotEnoughMemoryToOpenText(int width, int height) {
    return QStringLiteral("Not enough memory to open a %1 x %2 image")
        .arg(std::abs(width))
        .arg(std::abs(height));
}

}  // namespace orm
