#include "imageio/bmp_header.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

namespace orm {

namespace {

constexpr qsizetype kFileHeaderBytes = 14;
constexpr std::uint32_t kWideHeaderBytes = 108;
constexpr std::uint32_t kSrgb = 0x73524742;  // 'sRGB', the colour-space type of the wide header

std::uint32_t Le32(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const uchar*>(b.constData()) + at;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void SetLe32(QByteArray& b, qsizetype at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i));
}

std::uint16_t Le16(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const uchar*>(b.constData()) + at;
    return std::uint16_t(p[0] | p[1] << 8);
}

// The width of a field given by its mask: one run of 1 to 8 bits, or none; -1 otherwise.
int FieldWidth(std::uint32_t mask) {
    if (mask == 0)
        return 0;
    const std::uint32_t run = mask >> std::countr_zero(mask);
    const int width = std::popcount(run);
    return (run & (run + 1)) == 0 && width <= 8 ? width : -1;
}

// The lookup from Qt's widened value (field * 256 / 2^n) to the spread one.
std::array<uchar, 256> SpreadTable(int width) {
    std::array<uchar, 256> table{};
    const int max = (1 << width) - 1;
    for (int v = 0; v < 256; ++v) {
        const int field = std::min(v >> (8 - width), max);
        table[v] = uchar((field * 255 + max / 2) / max);
    }
    return table;
}

}  // namespace

std::optional<BmpFieldWidths> SixteenBitBmpFields(const QByteArray& fileBytes) {
    constexpr qsizetype kMasksAt = kFileHeaderBytes + 40;
    if (fileBytes.size() < kMasksAt + 16 || !fileBytes.startsWith("BM"))
        return std::nullopt;
    const std::uint32_t headerBytes = Le32(fileBytes, kFileHeaderBytes);
    if (headerBytes < 40 || Le16(fileBytes, kFileHeaderBytes + 14) != 16)
        return std::nullopt;
    const std::uint32_t compression = Le32(fileBytes, kFileHeaderBytes + 16);
    std::uint32_t masks[4] = {0x7C00, 0x03E0, 0x001F, 0};
    if (compression == 3 || compression == 6) {  // bit fields, with alpha
        for (int i = 0; i < 3; ++i) masks[i] = Le32(fileBytes, kMasksAt + 4 * i);
        if (headerBytes >= 56 || compression == 6)
            masks[3] = Le32(fileBytes, kMasksAt + 12);
    } else if (compression != 0) {
        return std::nullopt;
    }
    const BmpFieldWidths widths{FieldWidth(masks[0]), FieldWidth(masks[1]), FieldWidth(masks[2]),
                                FieldWidth(masks[3])};
    if (widths.red < 0 || widths.green < 0 || widths.blue < 0 || widths.alpha < 0)
        return std::nullopt;
    return widths;
}

void SpreadBmpFields(QImage& image, const BmpFieldWidths& widths) {
    const bool alpha = image.format() == QImage::Format_ARGB32;
    if (image.format() != QImage::Format_RGB32 && !alpha)
        return;
    const auto table = [](int width) {
        std::array<uchar, 256> t{};
        if (width <= 0 || width >= 8)
            for (int v = 0; v < 256; ++v) t[v] = uchar(v);
        else
            t = SpreadTable(width);
        return t;
    };
    const auto red = table(widths.red), green = table(widths.green), blue = table(widths.blue),
               opacity = table(widths.alpha);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(red[qRed(p)], green[qGreen(p)], blue[qBlue(p)],
                            alpha ? opacity[qAlpha(p)] : 255);
        }
    }
}

std::optional<QByteArray> WithWidenedBmpHeader(const QByteArray& fileBytes) {
    if (fileBytes.size() < kFileHeaderBytes + 56 || !fileBytes.startsWith("BM"))
        return std::nullopt;
    const std::uint32_t headerBytes = Le32(fileBytes, kFileHeaderBytes);
    if (headerBytes != 52 && headerBytes != 56)
        return std::nullopt;
    const std::uint32_t pixelsAt = Le32(fileBytes, 10);
    const qsizetype headerEnd = kFileHeaderBytes + headerBytes;
    if (pixelsAt < headerEnd || pixelsAt > std::uint32_t(fileBytes.size()))
        return std::nullopt;  // the reader refuses it as it is
    const std::uint32_t added = kWideHeaderBytes - headerBytes;
    QByteArray wide(added, '\0');      // alpha mask 0 for the 52-byte header, end points, gammas
    SetLe32(wide, added - 52, kSrgb);  // the colour-space type follows the alpha mask
    QByteArray out = fileBytes;
    out.insert(headerEnd, wide);
    SetLe32(out, kFileHeaderBytes, kWideHeaderBytes);
    SetLe32(out, 10, pixelsAt + added);
    SetLe32(out, 2, std::uint32_t(out.size()));
    return out;
}

}  // namespace orm
