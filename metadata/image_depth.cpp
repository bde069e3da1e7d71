#include "metadata/image_depth.h"

#include "metadata/byte_order.h"
#include "metadata/jpeg_segments.h"
#include "metadata/png_chunks.h"
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

// The frame header: precision x components.
std::optional<int> JpegBits(const ByteSource& file) {
    JpegSegmentWalker walker(file);
    while (const std::optional<JpegSegment> segment = walker.Next()) {
        if (segment->marker == jpeg_marker::kSos)  // a scan before any frame header
            return std::nullopt;
        if (jpeg_marker::IsStartOfFrame(segment->marker)) {
            std::array<uint8_t, 6> frame{};  // precision, height, width, components
            if (segment->DataLength() < frame.size() || !file.Read(segment->DataOffset(), frame))
                return std::nullopt;
            return Checked(uint64_t(frame[0]) * frame[5]);
        }
    }
    return std::nullopt;
}

// The first chunk, IHDR: bit depth x channels of the colour type.
std::optional<int> PngBits(const ByteSource& file) {
    PngChunkWalker walker(file);
    const std::optional<PngChunk> header = walker.Next();
    std::array<uint8_t, 10> ihdr{};  // width, height, bit depth, colour type
    if (!header || !header->Is("IHDR") || header->length < ihdr.size() ||
        !file.Read(header->DataOffset(), ihdr))
        return std::nullopt;
    const uint8_t depth = ihdr[8];
    int channels = 0;
    switch (ihdr[9]) {
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
    const uint32_t headerSize = LoadLe32(head.data());
    // OS/2 1.x: 16-bit width and height, the bit count at 24; later headers: at 28.
    const int at = headerSize == 12 ? 24 - 14 : 28 - 14;
    if (headerSize != 12 && headerSize < 40)
        return std::nullopt;
    return Checked(LoadLe16(head.data() + at));
}

}  // namespace

std::optional<int> ReadStoredBitsPerPixel(const ByteSource& file) {
    std::array<uint8_t, 8> sig{};
    if (!file.Read(0, std::span<uint8_t>(sig.data(), 4)))
        return std::nullopt;
    if (sig[0] == 0xFF && sig[1] == jpeg_marker::kSoi)
        return JpegBits(file);
    if ((sig[0] == 'I' && sig[1] == 'I' && sig[2] == 42 && sig[3] == 0) ||
        (sig[0] == 'M' && sig[1] == 'M' && sig[2] == 0 && sig[3] == 42))
        return TiffBits(file);
    if (std::memcmp(sig.data(), "GIF8", 4) == 0)
        return 8;
    if (sig[0] == 'B' && sig[1] == 'M')
        return BmpBits(file);
    if (HasPngSignature(file))
        return PngBits(file);
    return std::nullopt;
}

}  // namespace orm
