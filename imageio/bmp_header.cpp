#include "imageio/bmp_header.h"

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

}  // namespace

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
