#include "imageio/claimed_size_check.h"

#include "imageio/gif_data_check.h"
#include "imageio/heif_reader.h"
#include "imageio/png_transparency_key.h"

#include <cmath>
#include <cstring>

namespace orm {

namespace {

using Bytes = const std::uint8_t*;

std::uint32_t Be16(Bytes p) {
    return std::uint32_t(p[0]) << 8 | p[1];
}
std::uint32_t Le16(Bytes p) {
    return std::uint32_t(p[1]) << 8 | p[0];
}
std::uint32_t Le24(Bytes p) {
    return Le16(p) | std::uint32_t(p[2]) << 16;
}
std::uint32_t Le32(Bytes p) {
    return Le24(p) | std::uint32_t(p[3]) << 24;
}

// The fewest bytes, rounded down, for `units` of something the format stores at `perByte` a byte.
std::int64_t AtLeast(double units, double perByte) {
    const double bytes = std::floor(units / perByte);
    return bytes > 9e18 ? std::int64_t(9e18) : std::int64_t(bytes);
}

SizeClaim Claim(std::int64_t width, std::int64_t height, double pixelsPerByte) {
    const double pixels = double(width) * double(height);
    return {width, height, pixelsPerByte > 0 ? AtLeast(pixels, pixelsPerByte) : 0, false};
}

// The first frame header (SOFn) of a JPEG: the Huffman coded ones store at least one bit for
// each 8x8 block of their largest component, the arithmetic coded ones far less.
std::optional<SizeClaim> JpegClaim(Bytes b, qsizetype size) {
    qsizetype at = 2;
    while (size - at >= 4) {
        if (b[at] != 0xFF) {
            ++at;  // stray bytes between segments: the decoder warns and skips them too
            continue;
        }
        const std::uint8_t marker = b[at + 1];
        if (marker == 0xFF || marker == 0x01 || marker == 0xD8 ||
            (marker >= 0xD0 && marker <= 0xD7)) {
            at += marker == 0xFF ? 1 : 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            return std::nullopt;  // pixel data before any frame header: the decoder refuses it
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (size - at < 9)
                return std::nullopt;
            const std::int64_t height = Be16(b + at + 5), width = Be16(b + at + 7);
            if (width == 0 || height == 0)
                return std::nullopt;  // the height follows the data (DNL): left to the decoder
            const bool arithmetic = marker >= 0xC9;
            const double blocks = std::ceil(width / 8.0) * std::ceil(height / 8.0);
            SizeClaim claim{width, height, 0, false};
            claim.minimumBytes = arithmetic ? AtLeast(double(width) * double(height), 16777216.0)
                                            : AtLeast(blocks, 8.0);
            return claim;
        }
        at += 2 + qsizetype(Be16(b + at + 2));
    }
    return std::nullopt;
}

std::optional<SizeClaim> PngClaim(const QByteArray& bytes) {
    const std::optional<PngHeader> png = ReadPngHeader(bytes);
    if (!png)
        return std::nullopt;
    static constexpr int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    const int channels =
        png->colourType >= 0 && png->colourType < 7 ? kChannels[png->colourType] : 0;
    if (channels == 0 || png->bitDepth == 0 || png->width == 0 || png->height == 0)
        return std::nullopt;  // the decoder refuses such a header
    const double rowBytes = std::ceil(double(png->width) * channels * png->bitDepth / 8.0);
    // The filtered rows deflate compresses: one filter byte a row (more when interlaced).
    const double filtered = double(png->height) * (rowBytes + 1.0);
    SizeClaim claim{png->width, png->height, AtLeast(filtered, 1032.0), png->chunkLongerThanFile};
    return claim;
}

std::optional<SizeClaim> GifClaim(const QByteArray& bytes) {
    const std::optional<GifSizes> gif = ReadGifSizes(bytes);
    if (!gif || gif->firstPicture.isEmpty())
        return std::nullopt;  // no picture: gif_data_check.h refuses that with its own message
    return Claim(gif->firstPicture.width(), gif->firstPicture.height(), 4096.0);
}

// The chunks of a RIFF WebP: a lossy frame bounds its size; the extended header's canvas and a
// lossless frame state a size without a bound.
std::optional<SizeClaim> WebpClaim(Bytes b, qsizetype size) {
    if (size < 20 || std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WEBP", 4) != 0)
        return std::nullopt;
    std::optional<SizeClaim> claim;
    for (qsizetype at = 12; size - at >= 8;) {
        const qsizetype length = qsizetype(Le32(b + at + 4));
        if (length > size)
            return SizeClaim{claim ? claim->width : 0, claim ? claim->height : 0, 0, true};
        Bytes data = b + at + 8;
        const qsizetype held = size - at - 8;
        if (std::memcmp(b + at, "VP8X", 4) == 0 && held >= 10)
            claim = SizeClaim{Le24(data + 4) + 1, Le24(data + 7) + 1, 0, false};
        else if (std::memcmp(b + at, "VP8 ", 4) == 0 && held >= 10 && data[3] == 0x9D &&
                 data[4] == 0x01 && data[5] == 0x2A)
            return Claim(Le16(data + 6) & 0x3FFF, Le16(data + 8) & 0x3FFF, 4096.0);
        else if (std::memcmp(b + at, "VP8L", 4) == 0 && held >= 5 && data[0] == 0x2F) {
            const std::uint32_t bits = Le32(data + 1);
            return SizeClaim{(bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1, 0, false};
        }
        at += 8 + length + (length & 1);
    }
    return claim;
}

// The first directory of a classic TIFF: the bound follows its compression.
std::optional<SizeClaim> TiffClaim(Bytes b, qsizetype size) {
    if (size < 8)
        return std::nullopt;
    const bool little = b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0;
    const bool big = b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42;
    if (!little && !big)
        return std::nullopt;
    auto u16 = [&](qsizetype at) { return little ? Le16(b + at) : Be16(b + at); };
    auto u32 = [&](qsizetype at) {
        return little ? Le32(b + at) : Be16(b + at) << 16 | Be16(b + at + 2);
    };
    const qsizetype ifd = qsizetype(u32(4));
    if (ifd < 8 || size - ifd < 2)
        return std::nullopt;
    const qsizetype entries = qsizetype(u16(ifd));
    std::int64_t width = 0, height = 0, samples = 1, bits = 1, compression = 1;
    for (qsizetype i = 0; i < entries && size - (ifd + 2 + 12 * i) >= 12; ++i) {
        const qsizetype e = ifd + 2 + 12 * i;
        const std::uint32_t tag = u16(e), type = u16(e + 2), count = u32(e + 4);
        const std::uint32_t value = type == 3 ? u16(e + 8) : u32(e + 8);
        if (type != 3 && type != 4)
            continue;
        if (tag == 256)
            width = value;
        else if (tag == 257)
            height = value;
        else if (tag == 258 && type == 3 && count <= 2)
            bits = value;  // more samples keep their depths elsewhere; 8 is taken then
        else if (tag == 258)
            bits = 8;
        else if (tag == 259)
            compression = value;
        else if (tag == 277)
            samples = value;
    }
    if (width <= 0 || height <= 0)
        return std::nullopt;
    const double raw = double(width) * double(height) * double(samples) * double(bits) / 8.0;
    SizeClaim claim{width, height, 0, false};
    switch (compression) {
        case 1:  // none; subsampled colour holds half the samples or fewer
            claim.minimumBytes = AtLeast(raw, 4.0);
            break;
        case 32773:  // PackBits: two bytes repeat one up to 128 times
            claim.minimumBytes = AtLeast(raw, 256.0);
            break;
        case 8:
        case 32946:  // deflate
            claim.minimumBytes = AtLeast(raw, 4128.0);
            break;
        case 5:  // LZW
            claim.minimumBytes = AtLeast(raw, 16384.0);
            break;
        case 6:
        case 7:  // JPEG
            claim.minimumBytes = AtLeast(double(width) * double(height), 2048.0);
            break;
        default:
            break;
    }
    return claim;
}

}  // namespace

std::optional<SizeClaim> ReadSizeClaim(const QByteArray& fileBytes) {
    const auto* b = reinterpret_cast<Bytes>(fileBytes.constData());
    const qsizetype size = fileBytes.size();
    if (size >= 4 && b[0] == 0xFF && b[1] == 0xD8)
        return JpegClaim(b, size);
    if (size >= 8 && std::memcmp(b, "\x89PNG", 4) == 0)
        return PngClaim(fileBytes);
    if (size >= 6 && std::memcmp(b, "GIF8", 4) == 0)
        return GifClaim(fileBytes);
    if (size >= 12 && std::memcmp(b, "RIFF", 4) == 0)
        return WebpClaim(b, size);
    if (size >= 8 && (b[0] == 'I' || b[0] == 'M'))
        return TiffClaim(b, size);
    if (IsHeifFile(fileBytes)) {
        const std::optional<HeifInfo> heif = ReadHeifInfo(fileBytes);
        if (heif && !heif->size.isEmpty())
            return Claim(heif->size.width(), heif->size.height(), 4194304.0);
    }
    return std::nullopt;
}

QString ClaimedSizeText(std::int64_t width, std::int64_t height, std::int64_t bytes) {
    return QStringLiteral("The file claims %1 x %2 pixels but holds only %3 bytes")
        .arg(width)
        .arg(height)
        .arg(bytes);
}

std::optional<QString> ImplausibleSizeReason(const QByteArray& fileBytes) {
    const std::optional<SizeClaim> claim = ReadSizeClaim(fileBytes);
    if (!claim)
        return std::nullopt;
    if (claim->chunkPastFile)
        return QStringLiteral("The file is damaged: a chunk is longer than the whole file");
    if (fileBytes.size() < claim->minimumBytes)
        return ClaimedSizeText(claim->width, claim->height, fileBytes.size());
    return std::nullopt;
}

}  // namespace orm
