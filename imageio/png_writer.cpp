#include "imageio/png_writer.h"

#include "engine/parallel.h"
#include "engine/pixel_view.h"
#include "engine/simd.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

// The kernels below pass GCC vectors by value; they are always inlined into the build that calls
// them, so the calling convention such a vector would have (the warning) never applies.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace orm {

namespace {

constexpr int kLevel = 4;                    // libdeflate's levels run 1..12
constexpr std::size_t kIdatBytes = 1 << 20;  // the data is split into chunks of 1 MiB

void Put32(QByteArray& out, std::uint32_t v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

// A chunk: length, type, data, CRC of type and data.
void AppendChunk(QByteArray& out, const char type[4], const unsigned char* data, std::size_t n) {
    Put32(out, std::uint32_t(n));
    const qsizetype at = out.size();
    out.append(type, 4);
    if (n > 0)
        out.append(reinterpret_cast<const char*>(data), qsizetype(n));
    const std::uint32_t crc =
        libdeflate_crc32(0, out.constData() + at, std::size_t(out.size() - at));
    Put32(out, crc);
}

void PutBe32(unsigned char* p, std::uint32_t v) {
    p[0] = v >> 24, p[1] = v >> 16, p[2] = v >> 8, p[3] = v;
}

// The five candidates of the bytes [bpp, n) of a row (a, b and c are the left, upper and upper
// left neighbours; the first bpp bytes have no left ones and are done apart): written side by
// side, their costs (each byte as a signed value, made positive) added up. Every byte is
// independent of the others: sixteen at a time in GCC's vectors, Paeth's distances in 16 bits
// and its choice made without branches, the costs summed in 16-bit lanes that are emptied into
// the 32-bit sums before they can overflow (at most 128 per step, 256 steps).
typedef std::uint8_t Bytes16 __attribute__((vector_size(16)));
typedef std::int16_t Shorts16 __attribute__((vector_size(32)));
typedef std::uint16_t Counts16 __attribute__((vector_size(32)));

ORM_KERNEL Bytes16 Load16(const unsigned char* p) {
    Bytes16 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
ORM_KERNEL Shorts16 Abs(Shorts16 v) {
    return v < 0 ? -v : v;
}
// A filtered byte's cost: as a signed byte made positive, min(v, 256 - v).
ORM_KERNEL Counts16 CostOf(Bytes16 v) {
    const Bytes16 neg = -v;
    return __builtin_convertvector(v < neg ? v : neg, Counts16);
}

ORM_KERNEL void CandidatesBody(const unsigned char* row, const unsigned char* above, int bpp, int n,
                               unsigned char* sub, unsigned char* up, unsigned char* avg,
                               unsigned char* paeth, std::uint32_t* sums) {
    Counts16 acc[5] = {};
    int steps = 0;
    auto flush = [&] {
        for (int k = 0; k < 5; ++k) {
            for (int l = 0; l < 16; ++l) sums[k] += acc[k][l];
            acc[k] = Counts16{};
        }
        steps = 0;
    };
    int i = bpp;
    for (; i + 16 <= n; i += 16) {
        const Bytes16 a = Load16(row + i - bpp), b = Load16(above + i), c = Load16(above + i - bpp);
        const Bytes16 x = Load16(row + i);
        const Bytes16 fs = x - a, fu = x - b;
        const Bytes16 fa = x - Bytes16((a & b) + ((a ^ b) >> 1));  // (a + b) >> 1 in 8 bits
        const Shorts16 a16 = __builtin_convertvector(a, Shorts16);
        const Shorts16 b16 = __builtin_convertvector(b, Shorts16);
        const Shorts16 c16 = __builtin_convertvector(c, Shorts16);
        const Shorts16 pa = Abs(b16 - c16), pb = Abs(a16 - c16), pc = Abs(a16 + b16 - c16 - c16);
        const Shorts16 predicted = (pa <= pb) & (pa <= pc) ? a16 : (pb <= pc ? b16 : c16);
        const Bytes16 fp = x - __builtin_convertvector(predicted, Bytes16);
        std::memcpy(sub + i, &fs, 16);
        std::memcpy(up + i, &fu, 16);
        std::memcpy(avg + i, &fa, 16);
        std::memcpy(paeth + i, &fp, 16);
        acc[0] += CostOf(x);
        acc[1] += CostOf(fs);
        acc[2] += CostOf(fu);
        acc[3] += CostOf(fa);
        acc[4] += CostOf(fp);
        if (++steps == 256)
            flush();
    }
    flush();
    for (; i < n; ++i) {
        const int a = row[i - bpp], b = above[i], c = above[i - bpp], x = row[i];
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        const int predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        const unsigned char v[5] = {
            static_cast<unsigned char>(x), static_cast<unsigned char>(x - a),
            static_cast<unsigned char>(x - b), static_cast<unsigned char>(x - ((a + b) >> 1)),
            static_cast<unsigned char>(x - predicted)};
        sub[i] = v[1], up[i] = v[2], avg[i] = v[3], paeth[i] = v[4];
        for (int k = 0; k < 5; ++k) sums[k] += v[k] < 128 ? v[k] : 256 - v[k];
    }
}
ORM_DISPATCH3(Candidates, CandidatesBody)

// One row of the image as RGB (or, with alpha, RGBA) bytes.
void RgbRow(const QImage& image, int y, unsigned char* out) {
    const int w = image.width();
    const uchar* s = image.constScanLine(y);
    switch (image.format()) {
        case QImage::Format_RGBA8888:
            std::memcpy(out, s, std::size_t(w) * 4);
            break;
        case QImage::Format_BGR888:
            for (int x = 0; x < w; ++x) {
                out[3 * x] = s[3 * x + 2];
                out[3 * x + 1] = s[3 * x + 1];
                out[3 * x + 2] = s[3 * x];
            }
            break;
        case QImage::Format_RGB888:
            std::memcpy(out, s, std::size_t(w) * 3);
            break;
        default: {  // 32-bit 0xffRRGGBB
            const auto* p = reinterpret_cast<const QRgb*>(s);
            for (int x = 0; x < w; ++x) {
                out[3 * x] = uchar(qRed(p[x]));
                out[3 * x + 1] = uchar(qGreen(p[x]));
                out[3 * x + 2] = uchar(qBlue(p[x]));
            }
        }
    }
}

}  // namespace

void FilterPngRow(const unsigned char* row, const unsigned char* above, int n, int bpp,
                  unsigned char* out) {
    // The five candidates side by side, with the sums of their costs (below 2^32: at most 128 per
    // byte of a row of at most 300000 x 8 bytes).
    std::unique_ptr<unsigned char[]> scratch(
        new unsigned char[std::size_t(n) * 4 + (above ? 0 : n)]);
    unsigned char* sub = scratch.get();
    unsigned char* up = sub + n;
    unsigned char* avg = up + n;
    unsigned char* paeth = avg + n;
    if (!above) {  // the first row: the row above counts as zeros
        unsigned char* zeros = paeth + n;
        std::memset(zeros, 0, std::size_t(n));
        above = zeros;
    }
    std::uint32_t sums[5] = {};
    const int lead = std::min(bpp, n);
    for (int i = 0; i < lead; ++i) {  // no left neighbours: a = c = 0
        const int b = above[i], x = row[i];
        sub[i] = static_cast<unsigned char>(x);
        up[i] = static_cast<unsigned char>(x - b);
        avg[i] = static_cast<unsigned char>(x - (b >> 1));
        paeth[i] = static_cast<unsigned char>(x - b);  // Paeth of (0, b, 0) is b
        const unsigned char v[5] = {static_cast<unsigned char>(x), sub[i], up[i], avg[i], paeth[i]};
        for (int k = 0; k < 5; ++k) sums[k] += v[k] < 128 ? v[k] : 256 - v[k];
    }
    Candidates(row, above, bpp, n, sub, up, avg, paeth, static_cast<std::uint32_t*>(sums));
    int best = 0;
    for (int k = 1; k < 5; ++k)
        if (sums[k] < sums[best])
            best = k;
    out[0] = static_cast<unsigned char>(best);
    const unsigned char* chosen = best == 0 ? row : scratch.get() + std::size_t(best - 1) * n;
    std::memcpy(out + 1, chosen, std::size_t(n));
}

bool FastPngWriterTakes(QImage::Format format) {
    return format == QImage::Format_BGR888 || format == QImage::Format_RGB888 ||
           format == QImage::Format_RGB32 || format == QImage::Format_RGBA8888;
}

QByteArray EncodePng24(const QImage& image, QString* reason) {
    const int w = image.width(), h = image.height();
    const bool alpha = image.format() == QImage::Format_RGBA8888;
    const int bpp = alpha ? 4 : 3;
    const std::size_t rowBytes = std::size_t(w) * bpp;
    const std::size_t filteredBytes = (rowBytes + 1) * std::size_t(h);
    try {
        // Filtered rows, made in bands over the engine's threads (each row depends only on the
        // image's own rows).
        std::vector<unsigned char, engine::UninitAllocator<unsigned char>> filtered(filteredBytes);
        auto band = [&](int y0, int y1) {
            std::vector<unsigned char> rows(2 * rowBytes);
            unsigned char* above = rows.data();
            unsigned char* current = above + rowBytes;
            if (y0 > 0)
                RgbRow(image, y0 - 1, above);
            for (int y = y0; y < y1; ++y) {
                RgbRow(image, y, current);
                FilterPngRow(current, y > 0 ? above : nullptr, int(rowBytes), bpp,
                             filtered.data() + (rowBytes + 1) * std::size_t(y));
                std::swap(above, current);
            }
        };
        engine::ParallelFor(h, 64, band);

        libdeflate_compressor* compressor = libdeflate_alloc_compressor(kLevel);
        if (!compressor)
            throw std::bad_alloc();
        std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> owner(
            compressor, libdeflate_free_compressor);
        std::vector<unsigned char, engine::UninitAllocator<unsigned char>> compressed(
            libdeflate_zlib_compress_bound(compressor, filteredBytes));
        const std::size_t n = libdeflate_zlib_compress(compressor, filtered.data(), filteredBytes,
                                                       compressed.data(), compressed.size());
        filtered = {};
        if (n == 0)
            throw std::bad_alloc();  // the bound always holds the data

        QByteArray out;
        out.reserve(qsizetype(n + n / kIdatBytes * 12 + 128));
        out.append("\x89PNG\r\n\x1a\n", 8);
        unsigned char ihdr[13];
        PutBe32(ihdr, std::uint32_t(w));
        PutBe32(ihdr + 4, std::uint32_t(h));
        ihdr[8] = 8;              // bits per sample
        ihdr[9] = alpha ? 6 : 2;  // colour: RGB with alpha, RGB
        ihdr[10] = 0;             // deflate
        ihdr[11] = 0;             // adaptive filtering
        ihdr[12] = 0;             // no interlace
        AppendChunk(out, "IHDR", ihdr, sizeof ihdr);
        if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
            unsigned char phys[9];
            PutBe32(phys, std::uint32_t(image.dotsPerMeterX()));
            PutBe32(phys + 4, std::uint32_t(image.dotsPerMeterY()));
            phys[8] = 1;  // per metre
            AppendChunk(out, "pHYs", phys, sizeof phys);
        }
        for (std::size_t at = 0; at < n; at += kIdatBytes)
            AppendChunk(out, "IDAT", compressed.data() + at, std::min(kIdatBytes, n - at));
        AppendChunk(out, "IEND", nullptr, 0);
        return out;
    } catch (const std::bad_alloc&) {
        if (reason)
            *reason = QStringLiteral("Not enough memory.");
        return {};
    }
}

}  // namespace orm
