#include "metadata/image_resolution.h"

#include "metadata/byte_order.h"
#include "metadata/exif_locator.h"
#include "metadata/jpeg_segments.h"
#include "metadata/png_chunks.h"
#include "metadata/tiff_reader.h"

#include <array>
#include <cmath>
#include <cstring>
#include <optional>

namespace orm {

namespace {

constexpr double kInchPerMetre = 0.0254;
constexpr double kCmPerInch = 2.54;

std::optional<ImageResolution> Valid(double x, double y) {
    if (!(x > 0) || !(y > 0))
        return std::nullopt;
    return ImageResolution{x, y};
}

// X/YResolution of the first directory with ResolutionUnit (2 inch when absent, 3 cm).
std::optional<ImageResolution> TiffResolution(const ByteSource& block) {
    TiffReader tiff(block);
    if (!tiff.ReadHeader())
        return std::nullopt;
    const auto dir = tiff.ReadDirectory(tiff.FirstDirectoryOffset());
    if (!dir)
        return std::nullopt;
    const TiffEntry* xe = dir->Find(0x011A);
    const TiffEntry* ye = dir->Find(0x011B);
    if (!xe || !ye)
        return std::nullopt;
    const auto x = tiff.ReadRational(*xe), y = tiff.ReadRational(*ye);
    if (!x || !y)
        return std::nullopt;
    const uint32_t unit = tiff.Number(*dir, 0x0128).value_or(2);
    if (unit == 2)
        return Valid(*x, *y);
    if (unit == 3)
        return Valid(*x * kCmPerInch, *y * kCmPerInch);
    return std::nullopt;
}

std::optional<ImageResolution> MetreResolution(uint32_t x, uint32_t y) {
    return Valid(DpiFromDotsPerMetre(x), DpiFromDotsPerMetre(y));
}

// The body of a JFIF segment: "JFIF\0", version, units, x and y density.
bool ReadJfif(const ByteSource& file, const JpegSegment& app0, std::array<uint8_t, 12>& jfif) {
    return app0.marker == jpeg_marker::kApp0 && app0.DataLength() >= jfif.size() &&
           file.Read(app0.DataOffset(), jfif) && std::memcmp(jfif.data(), "JFIF\0", 5) == 0;
}

std::optional<ImageResolution> JpegResolution(const ByteSource& file) {
    // The JFIF segment comes first when there is one; its density counts when it has units.
    JpegSegmentWalker walker(file);
    std::array<uint8_t, 12> jfif{};
    if (const std::optional<JpegSegment> first = walker.Next();
        first && ReadJfif(file, *first, jfif)) {
        const double x = LoadBe16(jfif.data() + 8);
        const double y = LoadBe16(jfif.data() + 10);
        if (jfif[7] == 1)
            return Valid(x, y);
        if (jfif[7] == 2)
            return Valid(x * kCmPerInch, y * kCmPerInch);
    }
    const uint64_t segment = FindExifSegment(file);
    if (segment == 0 || !file.Contains(segment + 8, 8))
        return std::nullopt;
    SubByteSource block(file, segment + 8, file.Size() - (segment + 8));
    return TiffResolution(block);
}

// The pHYs chunk, which must come before the image data, in dots per metre.
std::optional<ImageResolution> PngResolution(const ByteSource& file) {
    PngChunkWalker walker(file);
    while (const std::optional<PngChunk> chunk = walker.Next()) {
        if (chunk->Is("IDAT"))
            return std::nullopt;
        if (chunk->Is("pHYs")) {
            std::array<uint8_t, 9> phys{};  // x, y, unit (1: metre)
            if (chunk->length != phys.size() || !file.Read(chunk->DataOffset(), phys) ||
                phys[8] != 1)
                return std::nullopt;
            return MetreResolution(LoadBe32(phys.data()), LoadBe32(phys.data() + 4));
        }
    }
    return std::nullopt;
}

std::optional<ImageResolution> BmpResolution(const ByteSource& file) {
    std::array<uint8_t, 46> head{};
    if (!file.Read(0, head))
        return std::nullopt;
    auto le32 = [&](int at) { return LoadLe32(head.data() + at); };
    if (le32(14) < 40)  // the OS/2 1.x header has no resolution
        return std::nullopt;
    const int32_t x = int32_t(le32(38)), y = int32_t(le32(42));
    if (x <= 0 || y <= 0)
        return std::nullopt;
    return MetreResolution(uint32_t(x), uint32_t(y));
}

}  // namespace

double DpiFromDotsPerMetre(uint32_t dotsPerMetre) {
    const double dpi = dotsPerMetre * kInchPerMetre;
    for (double scale : {1.0, 10.0, 100.0}) {
        const double candidate = std::round(dpi * scale) / scale;
        if (std::llround(candidate / kInchPerMetre) == int64_t(dotsPerMetre))
            return candidate;
    }
    return dpi;
}

ImageResolution ReadImageResolution(const ByteSource& file) {
    std::array<uint8_t, 8> sig{};
    if (!file.Read(0, std::span<uint8_t>(sig.data(), 4)))
        return {};
    std::optional<ImageResolution> r;
    if (sig[0] == 0xFF && sig[1] == jpeg_marker::kSoi)
        r = JpegResolution(file);
    else if ((sig[0] == 'I' && sig[1] == 'I' && sig[2] == 42 && sig[3] == 0) ||
             (sig[0] == 'M' && sig[1] == 'M' && sig[2] == 0 && sig[3] == 42))
        r = TiffResolution(file);
    else if (HasPngSignature(file))
        r = PngResolution(file);
    else if (sig[0] == 'B' && sig[1] == 'M')
        r = BmpResolution(file);
    return r.value_or(ImageResolution{});
}

}  // namespace orm
