#include "imageio/memory_needs.h"

#include "engine/memory_budget.h"
#include "imageio/output_formats.h"

#include <algorithm>

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

std::uint64_t EstimatedEncodeBytes(int width, int height, const OutputFormat* format) {
    // Unknown outputs are not written; the largest need keeps the estimate on the safe side.
    int perPixel = 0;
    for (const OutputFormat& f : OutputFormatTable())
        perPixel = std::max(perPixel, f.encodeBytesPerPixel);
    if (format)
        perPixel = format->encodeBytesPerPixel;
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
