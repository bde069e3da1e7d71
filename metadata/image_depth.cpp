#include "metadata/image_depth.h"

#include "metadata/tiff_reader.h"

#include <array>
#include <cstring>

namespace orm {

namespace {

constexpr int kMaxBitsPerPixel = 128;

std::optional<int> Checked(uint64_t bits) {
    if (bits == 0 || bits > kMaxBitsPerPixel)
        return std::nullopt;
    return int(bits);
}

bool IsStartOfFrame(uint8_t marker) {
    // SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the marker segments by their lengths up to the frame header.
std::optional<int> JpegBits(const ByteSource& file) {
    uint64_t pos = 2;
    std::array<uint8_t, 2> two{};
    while (file.Read(pos, two)) {
        if (two[0] != 0xFF)
            return std::nullopt;
        const uint8_t marker = two[1];
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
            pos += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)  // scan or end before any frame header
            return std::nullopt;
        std::array<uint8_t, 2> length{};
        if (!file.Read(pos + 2, length))
            return std::nullopt;
        const uint32_t segment = uint32_t(length[0]) << 8 | length[1];
        if (segment < 2)
            return std::nullopt;
        if (IsStartOfFrame(marker)) {
            std::array<uint8_t, 6> frame{};  // precision, height, width, components
            if (segment < 8 || !file.Read(pos + 4, frame))
                return std::nullopt;
            return Checked(uint64_t(frame[0]) * frame[5]);
        }
        pos += 2 + uint64_t(segment);
    }
    return std::nullopt;
}

std::optional<int> PngBits(const ByteSource& file) {
    std::array<uint8_t, 18> head{};  // length, "IHDR", width, height, bit depth, colour type
    if (!file.Read(8, head) || std::memcmp(head.data() + 4, "IHDR", 4) != 0)
        return std::nullopt;
    const uint8_t depth = head[16];
    int channels = 0;
    switch (head[17]) {
        case 0:
            channels = 1;
            break;  // grey
        case 2:
            channels = 3;
            break;  // RGB
        case 3:
            channels = 1;
            break;  // palette index
        case 4:
            channels = 2;
            break;  // grey and alpha
        case 6:
            channels = 4;
            break;  // RGB and alpha
        default:
            return std::nullopt;
    }
    return Checked(uint64_t(depth) * channels);
}

std::optional<int> TiffBits(const ByteSource& file) {
    TiffReader tiff(file);
    if (!tiff.ReadHeader())
        return std::nullopt;
    const auto dir = tiff.ReadDirectory(tiff.FirstDirectoryOffset());
    if (!dir)
        return std::nullopt;
    // Both default to 1 when absent (a bilevel image).
    const uint32_t bits = tiff.Number(*dir, 0x0102).value_or(1);
    const uint32_t samples = tiff.Number(*dir, 0x0115).value_or(1);
    return Checked(uint64_t(bits) * samples);
}

std::optional<int> BmpBits(const ByteSource& file) {
    std::array<uint8_t, 16> head{};  // from the info header's size field
    if (!file.Read(14, head))
        return std::nullopt;
    const uint32_t headerSize = uint32_t(head[0]) | uint32_t(head[1]) << 8 |
                                uint32_t(head[2]) << 16 | uint32_t(head[3]) << 24;
    // OS/2 1.x: 16-bit width and height, the bit count at 24; later headers: at 28.
    const int at = headerSize == 12 ? 24 - 14 : 28 - 14;
    if (headerSize != 12 && headerSize < 40)
        return std::nullopt;
    return Checked(uint32_t(head[at]) | uint32_t(head[at + 1]) << 8);
}

}  // namespace

std::optional<int> ReadStoredBitsPerPixel(const ByteSource& file) {
    std::array<uint8_t, 8> sig{};
    if (!file.Read(0, std::span<uint8_t>(sig.data(), 4)))
        return std::nullopt;
    if (sig[0] == 0xFF && sig[1] == 0xD8)
        return JpegBits(file);
    if ((sig[0] == 'I' && sig[1] == 'I' && sig[2] == 42 && sig[3] == 0) ||
        (sig[0] == 'M' && sig[1] == 'M' && sig[2] == 0 && sig[3] == 42))
        return TiffBits(file);
    if (std::memcmp(sig.data(), "GIF8", 4) == 0)
        return 8;
    if (sig[0] == 'B' && sig[1] == 'M')
        return BmpBits(file);
    if (file.Read(0, sig) && std::memcmp(sig.data(), "\x89PNG\r\n\x1a\n", 8) == 0)
        return PngBits(file);
    return std::nullopt;
}

}  // namespace orm
