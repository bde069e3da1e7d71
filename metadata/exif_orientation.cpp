#include "metadata/exif_orientation.h"

#include "metadata/byte_order.h"
#include "metadata/jpeg_segments.h"
#include "metadata/png_chunks.h"
#include "metadata/tiff_reader.h"
#include "metadata/tiff_tags.h"

#include <array>
#include <cstring>

namespace orm {

namespace {

using tiff_tags::kTagOrientation;

int OrientationOfBlock(const ByteSource& file, uint64_t offset, uint64_t length) {
    if (!file.Contains(offset, length))
        return kOrientationUpright;
    const SubByteSource block(file, offset, length);
    return ReadTiffOrientation(block);
}

// The first APP1 segment whose identifier is "Exif" and a zero byte, before the scan.
int JpegOrientation(const ByteSource& file) {
    JpegSegmentWalker walker(file);
    while (const std::optional<JpegSegment> segment = walker.Next()) {
        if (segment->marker == jpeg_marker::kSos)
            break;
        std::array<uint8_t, 6> id{};
        if (segment->marker == jpeg_marker::kApp1 && segment->DataLength() >= id.size() &&
            file.Read(segment->DataOffset(), id) && std::memcmp(id.data(), "Exif\0", 5) == 0)
            return OrientationOfBlock(file, segment->DataOffset() + id.size(),
                                      segment->DataLength() - id.size());
    }
    return kOrientationUpright;
}

// The eXIf chunk (a TIFF structure), wherever it lies before IEND.
int PngOrientation(const ByteSource& file) {
    PngChunkWalker walker(file);
    while (const std::optional<PngChunk> chunk = walker.Next())
        if (chunk->Is("eXIf"))
            return OrientationOfBlock(file, chunk->DataOffset(), chunk->length);
    return kOrientationUpright;
}

// RIFF chunks after "RIFF" size "WEBP": a four-character code, a little-endian size, the data
// padded to an even length.
int WebpOrientation(const ByteSource& file) {
    uint64_t pos = 12;
    std::array<uint8_t, 8> head{};
    while (file.Read(pos, head)) {
        const uint32_t length = LoadLe32(head.data() + 4);
        if (std::memcmp(head.data(), "EXIF", 4) == 0)
            return OrientationOfBlock(file, pos + 8, length);
        pos += 8 + uint64_t(length) + (length & 1);
    }
    return kOrientationUpright;
}

}  // namespace

int ReadTiffOrientation(const ByteSource& block) {
    std::array<uint8_t, 6> id{};
    const bool named = block.Read(0, id) && std::memcmp(id.data(), "Exif\0\0", 6) == 0;
    const uint64_t start = named ? id.size() : 0;
    const SubByteSource tiff(block, start, block.Size() - start);
    TiffReader reader(tiff);
    if (!reader.ReadHeader())
        return kOrientationUpright;
    const auto dir = reader.ReadDirectory(reader.FirstDirectoryOffset());
    if (!dir)
        return kOrientationUpright;
    const std::optional<uint32_t> value = reader.Number(*dir, kTagOrientation);
    return value && *value >= 1 && *value <= 8 ? int(*value) : kOrientationUpright;
}

int ReadExifOrientation(const ByteSource& file) {
    std::array<uint8_t, 12> sig{};
    if (!file.Read(0, std::span<uint8_t>(sig.data(), 4)))
        return kOrientationUpright;
    if (sig[0] == 0xFF && sig[1] == jpeg_marker::kSoi)
        return JpegOrientation(file);
    if ((sig[0] == 'I' && sig[1] == 'I' && sig[2] == 42 && sig[3] == 0) ||
        (sig[0] == 'M' && sig[1] == 'M' && sig[2] == 0 && sig[3] == 42))
        return ReadTiffOrientation(file);
    if (HasPngSignature(file))
        return PngOrientation(file);
    if (!file.Read(0, sig))
        return kOrientationUpright;
    if (std::memcmp(sig.data(), "RIFF", 4) == 0 && std::memcmp(sig.data() + 8, "WEBP", 4) == 0)
        return WebpOrientation(file);
    return kOrientationUpright;
}

}  // namespace orm
