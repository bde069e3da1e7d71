#include "imageio/tiff_samples.h"

#include "imageio/memory_needs.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace orm {

namespace {

constexpr double kFull = 65535.0;

// libtiff's client procedures over bytes in memory (read only).
struct MemoryFile {
    const QByteArray* bytes = nullptr;
    toff_t at = 0;
};

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t n) {
    auto* f = static_cast<MemoryFile*>(h);
    const toff_t size = toff_t(f->bytes->size());
    const tmsize_t left = f->at < size ? tmsize_t(size - f->at) : 0;
    n = std::min(n, left);
    std::memcpy(buffer, f->bytes->constData() + f->at, size_t(n));
    f->at += toff_t(n);
    return n;
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    const toff_t base = whence == SEEK_CUR ? f->at : whence == SEEK_END ? f->bytes->size() : 0;
    f->at = base + offset;
    return f->at;
}

int CloseProc(thandle_t) {
    return 0;
}

toff_t SizeProc(thandle_t h) {
    return toff_t(static_cast<MemoryFile*>(h)->bytes->size());
}

int MapProc(thandle_t, void**, toff_t*) {
    return 0;
}

void UnmapProc(thandle_t, void*, toff_t) {}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

// How the samples of the page are laid out and stored.
struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t samples = 1, bits = 1, format = SAMPLEFORMAT_UINT, photometric = 0;
    uint16_t planar = PLANARCONFIG_CONTIG;
    bool associatedAlpha = false;

    bool Supported() const {
        const bool integer = format == SAMPLEFORMAT_UINT && (bits == 8 || bits == 16 || bits == 32);
        const bool real = format == SAMPLEFORMAT_IEEEFP && (bits == 32 || bits == 64);
        const bool grey =
            (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) &&
            samples <= 2;
        const bool rgb = photometric == PHOTOMETRIC_RGB && (samples == 3 || samples == 4);
        return width > 0 && height > 0 && (integer || real) && (grey || rgb);
    }
};

Layout ReadLayout(TIFF* tif) {
    Layout l;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric);
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount > 0)
        l.associatedAlpha = extra[0] == EXTRASAMPLE_ASSOCALPHA;
    return l;
}

// One sample at 16 bits: integers scaled from their range, floating point from 0..1, clipped.
uint16_t Sixteen(const uchar* p, const Layout& l) {
    double v = 0;
    if (l.format == SAMPLEFORMAT_IEEEFP) {
        if (l.bits == 32) {
            float f;
            std::memcpy(&f, p, 4);
            v = f;
        } else {
            std::memcpy(&v, p, 8);
        }
        v = std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0) * kFull;
    } else if (l.bits == 8) {
        return uint16_t(p[0] * 257);
    } else if (l.bits == 16) {
        uint16_t s;
        std::memcpy(&s, p, 2);  // libtiff hands samples over in the machine's byte order
        return s;
    } else {
        uint32_t s;
        std::memcpy(&s, p, 4);
        v = s * (kFull / 4294967295.0);
    }
    return uint16_t(std::lround(v));
}

// Reads every sample into 16-bit values, four per pixel (grey in the first, alpha in the last).
bool ReadSamples(TIFF* tif, const Layout& l, std::vector<uint16_t>& pixels) {
    std::vector<uchar> line(size_t(TIFFScanlineSize(tif)));
    const int bytes = l.bits / 8;
    const bool contig = l.planar == PLANARCONFIG_CONTIG;
    const int planes = contig ? 1 : l.samples;
    for (int plane = 0; plane < planes; ++plane)
        for (uint32_t y = 0; y < l.height; ++y) {
            if (TIFFReadScanline(tif, line.data(), y, uint16_t(plane)) < 0)
                return false;
            for (uint32_t x = 0; x < l.width; ++x)
                for (int s = contig ? 0 : plane; s < (contig ? l.samples : plane + 1); ++s) {
                    const size_t at =
                        contig ? (size_t(x) * l.samples + s) * bytes : size_t(x) * bytes;
                    uint16_t v = Sixteen(line.data() + at, l);
                    if (s == 0 && l.photometric == PHOTOMETRIC_MINISWHITE)
                        v = uint16_t(65535 - v);
                    const bool alpha = s == l.samples - 1 && (l.samples == 2 || l.samples == 4);
                    pixels[(size_t(y) * l.width + x) * 4 + (alpha ? 3 : s)] = v;
                }
        }
    return true;
}

QImage ToImage(const Layout& l, const std::vector<uint16_t>& pixels) {
    const bool alpha = l.samples == 2 || l.samples == 4;
    const bool grey = l.samples <= 2;
    if (grey && !alpha) {
        QImage out(int(l.width), int(l.height), QImage::Format_Grayscale16);
        for (int y = 0; !out.isNull() && y < out.height(); ++y) {
            auto* row = reinterpret_cast<uint16_t*>(out.scanLine(y));
            for (int x = 0; x < out.width(); ++x) row[x] = pixels[(size_t(y) * l.width + x) * 4];
        }
        return out;
    }
    QImage out(int(l.width), int(l.height), alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
    for (int y = 0; !out.isNull() && y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgba64*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const uint16_t* p = pixels.data() + (size_t(y) * l.width + x) * 4;
            const uint16_t a = alpha ? p[3] : 0xFFFF;
            auto straight = [&](uint16_t c) {  // associated alpha: the colour was multiplied
                return l.associatedAlpha && a != 0
                           ? uint16_t(
                                 std::min<uint32_t>(0xFFFF, (uint32_t(c) * 0xFFFF + a / 2) / a))
                           : c;
            };
            const uint16_t r = straight(p[0]);
            row[x] = grey ? QRgba64::fromRgba64(r, r, r, a)
                          : QRgba64::fromRgba64(r, straight(p[1]), straight(p[2]), a);
        }
    }
    return out;
}

using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

TiffFile OpenInMemory(MemoryFile& file) {
    return TiffFile(TIFFClientOpen("memory", "rm", &file, ReadProc, WriteProc, SeekProc, CloseProc,
                                   SizeProc, MapProc, UnmapProc));
}

bool IsTiff(const QByteArray& bytes) {
    return bytes.startsWith(QByteArrayLiteral("II*\0")) ||
           bytes.startsWith(QByteArrayLiteral("MM\0*"));
}

}  // namespace

bool PrefersOwnTiffReader(const QByteArray& fileBytes) {
    if (!IsTiff(fileBytes))
        return false;
    MemoryFile file{&fileBytes, 0};
    const TiffFile tif = OpenInMemory(file);
    if (!tif || TIFFIsTiled(tif.get()))
        return false;
    const Layout l = ReadLayout(tif.get());
    if (!l.Supported())
        return false;
    // Qt reads 8- and 16-bit integer grey and colour, and 32-bit floating-point colour, well.
    if (l.samples <= 2)
        return l.samples == 2 || l.format == SAMPLEFORMAT_IEEEFP || l.bits > 16;
    return l.bits > 16 && !(l.format == SAMPLEFORMAT_IEEEFP && l.bits == 32);
}

QImage DecodeTiffSamples(const QByteArray& fileBytes, QString* error) {
    auto fail = [&](const char* reason) {
        if (error)
            *error = QString::fromLatin1(reason);
        return QImage();
    };
    MemoryFile file{&fileBytes, 0};
    const TiffFile tif = OpenInMemory(file);
    if (!tif)
        return fail("Unable to read image data");
    const Layout layout = ReadLayout(tif.get());
    if (!layout.Supported() || TIFFIsTiled(tif.get()))
        return fail("Unable to read image data: this kind of TIFF samples is not supported");
    const uint64_t pixels = uint64_t(layout.width) * layout.height;
    if (!FitsInAvailableMemory(pixels * 16))
        return fail("Not enough memory");
    std::vector<uint16_t> samples(size_t(pixels) * 4, 0xFFFF);
    if (!ReadSamples(tif.get(), layout, samples))
        return fail("Unable to read image data");
    QImage image = ToImage(layout, samples);
    if (image.isNull())
        return fail("Not enough memory");
    return image;
}

}  // namespace orm
