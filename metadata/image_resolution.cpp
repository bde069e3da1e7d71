#include "metadata/image_resolution.h"

#include "metadata/exif_locator.h"
#include "metadata/tiff_reader.h"

#include <array>
#include <cmath>
#include <cstring>
#include <optional>

namespace orm {

namespace {

constexpr double kInchPerMetre = 0.0254;
constexpr double kCmPerInch = 2.54;

bool InRange(double dpi) {
    return std::isfinite(dpi) && dpi >= kMinFileDpi && dpi <= kMaxFileDpi;
}

std::optional<ImageResolution> Valid(double x, double y) {
    if (!(x > 0) || !(y > 0))
        return std::nullopt;  // not stated
    if (!InRange(x) || !InRange(y))
        return ImageResolution{kDefaultDpi, kDefaultDpi, true};
    return ImageResolution{x, y};
}

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
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

std::optional<ImageResolution> JpegResolution(const ByteSource& file) {
    // The JFIF segment comes first when there is one.
    std::array<uint8_t, 18> app0{};
    if (file.Read(0, app0) && app0[2] == 0xFF && app0[3] == 0xE0 &&
        std::memcmp(app0.data() + 6, "JFIF\0", 5) == 0) {
        const uint8_t units = app0[13];
        const double x = uint16_t(app0[14] << 8 | app0[15]);
        const double y = uint16_t(app0[16] << 8 | app0[17]);
        if (units == 1)
            return Valid(x, y);
        if (units == 2)
            return Valid(x * kCmPerInch, y * kCmPerInch);
    }
    const uint64_t segment = FindExifSegment(file);
    if (segment == 0 || !file.Contains(segment + 8, 8))
        return std::nullopt;
    SubByteSource block(file, segment + 8, file.Size() - (segment + 8));
    return TiffResolution(block);
}

std::optional<ImageResolution> PngResolution(const ByteSource& file) {
    uint64_t pos = 8;
    std::array<uint8_t, 8> head{};
    while (file.Read(pos, head)) {
        const uint32_t length = BigEndian32(head.data());
        if (std::memcmp(head.data() + 4, "IDAT", 4) == 0 ||
            std::memcmp(head.data() + 4, "IEND", 4) == 0)
            return std::nullopt;
        if (std::memcmp(head.data() + 4, "pHYs", 4) == 0) {
            std::array<uint8_t, 9> phys{};
            if (length != 9 || !file.Read(pos + 8, phys) || phys[8] != 1)
                return std::nullopt;
            return MetreResolution(BigEndian32(phys.data()), BigEndian32(phys.data() + 4));
        }
        pos += 12 + uint64_t(length);
    }
    return std::nullopt;
}

std::optional<ImageResolution> BmpResolution(const ByteSource& file) {
    std::array<uint8_t, 46> head{};
    if (!file.Read(0, head))
        return std::nullopt;
    auto le32 = [&](int at) {
        return uint32_t(head[at]) | uint32_t(head[at + 1]) << 8 | uint32_t(head[at + 2]) << 16 |
               uint32_t(head[at + 3]) << 24;
    };
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
    if (sig[0] == 0xFF && sig[1] == 0xD8)
        r = JpegResolution(file);
    else if ((sig[0] == 'I' && sig[1] == 'I' && sig[2] == 42 && sig[3] == 0) ||
             (sig[0] == 'M' && sig[1] == 'M' && sig[2] == 0 && sig[3] == 42))
        r = TiffResolution(file);
    else if (file.Read(0, sig) && std::memcmp(sig.data(), "\x89PNG\r\n\x1a\n", 8) == 0)
        r = PngResolution(file);
    else if (sig[0] == 'B' && sig[1] == 'M')
        r = BmpResolution(file);
    return r.value_or(ImageResolution{});
}

}  // namespace orm
