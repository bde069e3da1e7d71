#include "imageio/png_transparency_key.h"

#include <cstring>

namespace orm {

namespace {

constexpr qsizetype kSignatureBytes = 8;
constexpr qsizetype kChunkOverhead = 12;  // length, type, CRC
constexpr int kGrey = 0;
constexpr int kRgb = 2;

std::uint32_t BigEndian32(const uchar* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint16_t BigEndian16(const uchar* p) {
    return std::uint16_t(p[0] << 8 | p[1]);
}

bool IsPng(const QByteArray& bytes) {
    return bytes.size() >= kSignatureBytes + kChunkOverhead &&
           std::memcmp(bytes.constData(), "\x89PNG\r\n\x1a\n", kSignatureBytes) == 0;
}

// Walks the chunks ahead of the first IDAT: visit(at, length, type, data) for each whose data
// lies inside the file; returns false at one that runs past the end (or at the end of the file
// before any IDAT), true at the first IDAT or when visit returns false.
template <typename Visit>
bool WalkHeaderChunks(const QByteArray& bytes, Visit visit) {
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype at = kSignatureBytes; size - at >= kChunkOverhead;) {
        const std::uint32_t length = BigEndian32(b + at);
        const uchar* type = b + at + 4;
        if (std::memcmp(type, "IDAT", 4) == 0)
            return true;
        if (qsizetype(length) > size - at - kChunkOverhead)
            return false;
        if (!visit(at, qsizetype(length), type, b + at + 8))
            return true;
        at += kChunkOverhead + qsizetype(length);
    }
    return false;
}

}  // namespace

std::optional<PngSixteenBitKey> FindPngSixteenBitKey(const QByteArray& fileBytes) {
    if (!IsPng(fileBytes))
        return std::nullopt;
    const auto* b = reinterpret_cast<const uchar*>(fileBytes.constData());
    // IHDR: width, height, bit depth (byte 8 of its data), colour type (byte 9).
    if (BigEndian32(b + kSignatureBytes) != 13 || std::memcmp(b + 12, "IHDR", 4) != 0 ||
        fileBytes.size() < 33)
        return std::nullopt;
    const int depth = b[24], colourType = b[25];
    if (depth != 16 || (colourType != kGrey && colourType != kRgb))
        return std::nullopt;
    std::optional<PngSixteenBitKey> key;
    WalkHeaderChunks(fileBytes,
                     [&](qsizetype at, qsizetype length, const uchar* type, const uchar* data) {
                         if (std::memcmp(type, "tRNS", 4) != 0)
                             return true;
                         PngSixteenBitKey found;
                         if (colourType == kGrey && length == 2) {
                             found.rgb.fill(BigEndian16(data));
                         } else if (colourType == kRgb && length == 6) {
                             for (int c = 0; c < 3; ++c) found.rgb[c] = BigEndian16(data + 2 * c);
                         } else {
                             return false;  // a malformed key: the reader decides
                         }
                         found.chunkAt = at;
                         found.chunkBytes = kChunkOverhead + length;
                         key = found;
                         return false;
                     });
    return key;
}

QByteArray WithoutKeyChunk(const QByteArray& fileBytes, const PngSixteenBitKey& key) {
    QByteArray out = fileBytes;
    out.remove(key.chunkAt, key.chunkBytes);
    return out;
}

QImage ApplyPngKey(const QImage& decoded, const PngSixteenBitKey& key) {
    QImage out = decoded.convertToFormat(QImage::Format_RGBA64);
    if (out.isNull())
        return {};
    for (int y = 0; y < out.height(); ++y) {
        auto* p = reinterpret_cast<QRgba64*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if (p[x].red() == key.rgb[0] && p[x].green() == key.rgb[1] && p[x].blue() == key.rgb[2])
                p[x].setAlpha(0);
    }
    return out;
}

bool HasPngChunkPastEnd(const QByteArray& fileBytes) {
    if (!IsPng(fileBytes))
        return false;
    const auto* b = reinterpret_cast<const uchar*>(fileBytes.constData());
    const qsizetype size = fileBytes.size();
    // The walk stops early at a chunk past the end, and at the end of a file without pixel
    // data; only the first is this fault.
    qsizetype next = kSignatureBytes;
    const bool reachedPixels = WalkHeaderChunks(
        fileBytes, [&](qsizetype at, qsizetype length, const uchar*, const uchar*) {
            next = at + kChunkOverhead + length;
            return true;
        });
    return !reachedPixels && size - next >= kChunkOverhead &&
           qsizetype(BigEndian32(b + next)) > size - next - kChunkOverhead;
}

std::optional<PngHeader> ReadPngHeader(const QByteArray& fileBytes) {
    if (!IsPng(fileBytes) || fileBytes.size() < 33)
        return std::nullopt;
    const auto* b = reinterpret_cast<const uchar*>(fileBytes.constData());
    if (BigEndian32(b + kSignatureBytes) != 13 || std::memcmp(b + 12, "IHDR", 4) != 0)
        return std::nullopt;
    PngHeader out;
    out.width = BigEndian32(b + 16);
    out.height = BigEndian32(b + 20);
    out.bitDepth = b[24];
    out.colourType = b[25];
    out.interlaced = b[28] != 0;
    // Every chunk to IEND: one whose length is larger than the whole file is no cut-off chunk
    // (a cut-off IDAT is, and leaves a damaged but useful picture).
    const qsizetype size = fileBytes.size();
    for (qsizetype at = kSignatureBytes; size - at >= kChunkOverhead;) {
        const qsizetype length = qsizetype(BigEndian32(b + at));
        const uchar* type = b + at + 4;
        if (std::memcmp(type, "IDAT", 4) != 0 && length > size) {
            out.chunkLongerThanFile = true;
            break;
        }
        if (length > size - at - kChunkOverhead || std::memcmp(type, "IEND", 4) == 0)
            break;
        at += kChunkOverhead + length;
    }
    return out;
}

}  // namespace orm
