#include "imageio/gif_data_check.h"

#include <cstdint>

namespace orm {

namespace {

constexpr qsizetype kHeaderBytes = 13;  // signature, screen size, flags, background, aspect
constexpr std::uint8_t kExtension = 0x21;
constexpr std::uint8_t kImage = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;

// 3 bytes for each of the 2^(n+1) entries of a colour table whose flags byte says so.
qsizetype ColourTableBytes(std::uint8_t flags) {
    return (flags & 0x80) ? 3 * (qsizetype(2) << (flags & 7)) : 0;
}

// Where the first image descriptor (its separator byte) starts, past the extensions ahead of
// it (a label, then sub-blocks: a length byte and that many bytes, up to a zero length); the
// size of the file when it ends first.
qsizetype FirstDescriptorAt(const std::uint8_t* b, qsizetype size) {
    qsizetype pos = kHeaderBytes + ColourTableBytes(b[10]);
    while (pos < size && b[pos] == kExtension) {
        pos += 2;
        while (pos < size && b[pos] != 0) pos += 1 + qsizetype(b[pos]);
        ++pos;
    }
    return pos < size ? pos : size;
}

bool IsGif(const QByteArray& bytes) {
    return bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a");
}

}  // namespace

bool GifLacksImageData(const QByteArray& bytes) {
    if (!IsGif(bytes))
        return false;
    const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < kHeaderBytes)
        return true;
    qsizetype pos = FirstDescriptorAt(b, size);
    if (pos >= size || b[pos] == kTrailer)
        return true;
    if (b[pos] != kImage)
        return false;  // stray bytes: the reader judges them
    // Descriptor (9 bytes after the separator), its colour table, the LZW code size, then the
    // first sub-block: its length byte and at least one byte of it.
    if (size - pos < 10)
        return true;
    pos += 10 + ColourTableBytes(b[pos + 9]);
    pos += 1;  // LZW minimum code size
    return pos >= size || b[pos] == 0 || size - pos < 2;
}

std::optional<GifSizes> ReadGifSizes(const QByteArray& bytes) {
    if (!IsGif(bytes) || bytes.size() < kHeaderBytes)
        return std::nullopt;
    const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    auto le16 = [&](qsizetype at) { return int(b[at]) | int(b[at + 1]) << 8; };
    GifSizes out;
    out.screen = QSize(le16(6), le16(8));
    const qsizetype pos = FirstDescriptorAt(b, bytes.size());
    if (bytes.size() - pos >= 10 && b[pos] == kImage)
        out.firstPicture = QSize(le16(pos + 5), le16(pos + 7));
    return out;
}

}  // namespace orm
