#include "metadata/exif_orientation.h"

#include "metadata/tiff_reader.h"
#include "metadata/tiff_tags.h"

#include <array>
#include <cstring>

namespace orm {

namespace {

using tiff_tags::kTagOrientation;

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t LittleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int OrientationOfBlock(const ByteSource& file, uint64_t offset, uint64_t length) {
    if (!file.Contains(offset, length))
        return kOrientationUpright;
    const SubByteSource block(file, offset, length);
    return ReadTiffOrientation(block);
}

// The first APP1 segment whose identifier is "Exif" and a zero byte, before the scan.
int JpegOrientation(const ByteSource& file) {
    uint64_t pos = 2;  // after SOI
    std::array<uint8_t, 4> head{};
    while (file.Read(pos, head)) {
        if (head[0] != 0xFF)
            return kOrientationUpright;  // not a marker where one must be
        if (head[1] == 0xFF) {           // a fill byte
            ++pos;
            continue;
        }
        const uint8_t marker = head[1];
        if (marker == 0xDA || marker == 0xD9)  // start of scan, end of image
            return kOrientationUpright;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length field
            pos += 2;
            continue;
        }
        const uint32_t length = uint32_t(head[2]) << 8 | head[3];
        if (length < 2)
            return kOrientationUpright;
        std::array<uint8_t, 6> id{};
        if (marker == 0xE1 && length >= 2 + id.size() && file.Read(pos + 4, id) &&
            std::memcmp(id.data(), "Exif\0", 5) == 0)
            return OrientationOfBlock(file, pos + 4 + id.size(), length - 2 - id.size());
        pos += 2 + uint64_t(length);
    }
    return kOrientationUpright;
}

// The eXIf chunk (a TIFF structure), wherever it lies before IEND.
int PngOrientation(const ByteSource& file) {
    uint64_t pos = 8;
    std::array<uint8_t, 8> head{};
    while (file.Read(pos, head)) {
        const uint32_t length = BigEndian32(head.data());
        if (std::memcmp(head.data() + 4, "IEND", 4) == 0)
            break;
        if (std::memcmp(head.data() + 4, "eXIf", 4) == 0)
            return OrientationOfBlock(file, pos + 8, length);
        pos += 12 + uint64_t(length);
    }
    return kOrientationUpright;
}

// RIFF chunks after "RIFF" size "WEBP": a four-character code, a little-endian size, the data
// padded to an even length.
int WebpOrientation(const ByteSource& file) {
    uint64_t pos = 12;
    std::array<uint8_t, 8> head{};
    while (file.Read(pos, head)) {
        const uint32_t length = LittleEndian32(head.data() + 4);
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
    if (sig[0] == 0xFF && sig[1] == 0xD8)
        return JpegOrientation(file);
    if ((sig[0] == 'I' && sig[1] == 'I' && sig[2] == 42 && sig[3] == 0) ||
        (sig[0] == 'M' && sig[1] == 'M' && sig[2] == 0 && sig[3] == 42))
        return ReadTiffOrientation(file);
    if (!file.Read(0, sig))
        return kOrientationUpright;
    if (std::memcmp(sig.data(), "\x89PNG\r\n\x1a\n", 8) == 0)
        return PngOrientation(file);
    if (std::memcmp(sig.data(), "RIFF", 4) == 0 && std::memcmp(sig.data() + 8, "WEBP", 4) == 0)
        return WebpOrientation(file);
    return kOrientationUpright;
}

}  // namespace orm
