// Files of kinds other programs write and Qt's readers get wrong, made here byte by byte: a
// 16-bit PNG with a transparent key colour, PNG chunks claiming more than the file holds, and a
// GIF without image data.

#include "imageio/gif_writer.h"
#include "imageio/image_loader.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace orm {
namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (const int v : values) out += char(v & 0xFF);
    return out;
}

std::uint32_t Crc32(const QByteArray& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= std::uint8_t(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray BigEndian32(std::uint32_t v) {
    return Bytes({int(v >> 24), int(v >> 16), int(v >> 8), int(v)});
}

// A chunk with its length and CRC.
QByteArray Chunk(const char* type, const QByteArray& data) {
    const QByteArray body = QByteArray(type) + data;
    return BigEndian32(std::uint32_t(data.size())) + body + BigEndian32(Crc32(body));
}

QByteArray Png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "PNG"));
    return bytes;
}

// The PNG with a tRNS chunk of 16-bit samples right after its IHDR (8 + 25 bytes in).
QByteArray WithKey(QByteArray png, std::initializer_list<std::uint16_t> key) {
    QByteArray data;
    for (const std::uint16_t v : key) data += Bytes({v >> 8, v});
    return png.insert(33, Chunk("tRNS", data));
}

// Samples that agree with the key in their high byte but not the low one must stay opaque: only
// the exact 16-bit key is transparent, in RGB and in grey files.
TEST(ForeignFiles, SixteenBitPngKeyIsMatchedAtSixteenBits) {
    QImage rgb(7, 3, QImage::Format_RGBX64);
    QImage grey(7, 3, QImage::Format_Grayscale16);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) {
            const std::uint16_t low = std::uint16_t(x == y ? 0 : x + 1);  // the diagonal: the key
            rgb.setPixelColor(x, y, QColor::fromRgba64(0x1200 + low, 0x5600 + low, 0x9A00 + low));
            reinterpret_cast<std::uint16_t*>(grey.scanLine(y))[x] = std::uint16_t(0x8000 + low);
        }
    const QByteArray files[] = {WithKey(Png(rgb), {0x1200, 0x5600, 0x9A00}),
                                WithKey(Png(grey), {0x8000})};
    for (const QByteArray& file : files) {
        QString error;
        const std::optional<SourceImage> source = DecodeSourceImage(file, &error);
        ASSERT_TRUE(source) << error.toStdString();
        ASSERT_TRUE(source->transparent);
        const QImage original = source->original.convertToFormat(QImage::Format_RGBA64);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x) {
                const QRgba64 p = reinterpret_cast<const QRgba64*>(original.constScanLine(y))[x];
                EXPECT_EQ(p.alpha(), x == y ? 0 : 0xFFFF) << x << "," << y;
                // The samples themselves as the file has them.
                EXPECT_EQ(p.red() & 0xFF, x == y ? 0 : x + 1) << x << "," << y;
            }
        // Over white where the output has no alpha.
        EXPECT_EQ(source->image.pixel(1, 1), qRgb(255, 255, 255));
    }
}

// A metadata chunk ahead of the pixels that claims 2 GB in a 57-byte file is refused at once, by
// the header reader and the decoder; the same chunk with its true length opens.
TEST(ForeignFiles, PngChunkLongerThanTheFileIsRefused) {
    QImage one(1, 1, QImage::Format_Grayscale8);
    one.fill(0);
    const QByteArray png = Png(one);
    QByteArray text = Chunk("tEXt", "Title\0x");
    QByteArray bomb = text;
    bomb.replace(0, 4, BigEndian32(0x7FFFFF00u));
    for (const auto& [chunk, refused] : {std::pair{text, false}, {bomb, true}}) {
        const QByteArray file = QByteArray(png).insert(33, chunk);
        QString error;
        EXPECT_EQ(!ReadImageHeader(file, &error), refused);
        EXPECT_EQ(!DecodeImageBytes(file, &error), refused);
        if (refused) {
            EXPECT_TRUE(error.contains("chunk runs past the end")) << error.toStdString();
        }
    }
}

// A GIF whose image data is absent (a header claiming 11390 x 13680, then nothing, or an empty
// first block) is refused instead of opened blank; a whole GIF opens.
TEST(ForeignFiles, GifWithoutImageDataIsRefused) {
    QByteArray header("GIF89a");
    header += Bytes({11390 & 255, 11390 >> 8, 13680 & 255, 13680 >> 8, 0, 0, 0});
    const QByteArray descriptor =
        Bytes({0x2C, 0, 0, 0, 0, 11390 & 255, 11390 >> 8, 13680 & 255, 13680 >> 8, 0});
    const QByteArray noData[] = {header, header + ";", header + descriptor,
                                 header + descriptor + QByteArray("\x08\x00;", 3)};
    for (const QByteArray& file : noData) {
        QString error;
        EXPECT_FALSE(DecodeImageBytes(file, &error)) << file.size();
        EXPECT_FALSE(error.isEmpty());
    }
    QImage small(5, 4, QImage::Format_RGB32);
    small.fill(qRgb(10, 200, 30));
    const std::optional<DecodedImage> whole = DecodeImageBytes(EncodeGif(small));
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->image.size(), QSize(5, 4));
}

void PutLe(QByteArray& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char((v >> (8 * i)) & 0xFF);
}

// A BMP of w x h pixels (bottom row first) with an info header of `headerBytes` (40, 52, 56,
// 108 or 124) holding the four masks where it has room, compression 3 (bit fields).
QByteArray Bmp(int headerBytes, int bits, const std::uint32_t (&masks)[4], int w, int h,
               std::uint32_t (*pixel)(int x, int y)) {
    QByteArray rows;
    const int rowBytes = (w * bits + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y) {
        const qsizetype start = rows.size();
        for (int x = 0; x < w; ++x) PutLe(rows, pixel(x, y), bits / 8);
        rows.append(QByteArray(rowBytes - (rows.size() - start), '\0'));
    }
    QByteArray info;
    for (const std::uint64_t v : {std::uint64_t(headerBytes), std::uint64_t(w), std::uint64_t(h)})
        PutLe(info, v, 4);
    PutLe(info, 1, 2);
    PutLe(info, std::uint64_t(bits), 2);
    for (const std::uint64_t v : {std::uint64_t(3), std::uint64_t(rows.size()), std::uint64_t(2835),
                                  std::uint64_t(2835), std::uint64_t(0), std::uint64_t(0)})
        PutLe(info, v, 4);
    for (int m = 0; m < 4 && info.size() < headerBytes; ++m) PutLe(info, masks[m], 4);
    info.append(QByteArray(headerBytes - info.size(), '\0'));
    const QByteArray after = headerBytes == 40 ? [&] {
        QByteArray m;
        for (int i = 0; i < 3; ++i) PutLe(m, masks[i], 4);
        return m;
    }() : QByteArray();
    QByteArray file("BM");
    const std::uint64_t pixelsAt = 14 + info.size() + after.size();
    PutLe(file, pixelsAt + rows.size(), 4);
    PutLe(file, 0, 4);
    PutLe(file, pixelsAt, 4);
    return file + info + after + rows;
}

std::uint32_t Argb(int x, int y) {
    return std::uint32_t(x * 40) << 24 | std::uint32_t(x * 30) << 16 | std::uint32_t(y * 60) << 8 |
           std::uint32_t(x * y * 7);
}

// Bit-field BMPs with every info header other programs write: the 32-bit pixels come out exactly
// as their masks say, alpha included where the header has an alpha mask.
TEST(ForeignFiles, BitFieldBmpsWithEveryInfoHeader) {
    const std::uint32_t masks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    for (const int header : {40, 52, 56, 108, 124}) {
        SCOPED_TRACE(header);
        QString error;
        const std::optional<DecodedImage> decoded =
            DecodeImageBytes(Bmp(header, 32, masks, 6, 4, Argb), &error);
        ASSERT_TRUE(decoded) << error.toStdString();
        const bool alpha = header >= 56;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                const std::uint32_t p = Argb(x, y);
                EXPECT_EQ(decoded->image.pixel(x, y),
                          alpha ? QRgb(p) : qRgb(qRed(p), qGreen(p), qBlue(p)))
                    << x << "," << y;
            }
    }
}

// 16-bit BMPs: each 5- or 6-bit field spread over 0..255 as other readers do (31 is 255, not
// Qt's 248), a one-bit alpha opaque at 255.
TEST(ForeignFiles, SixteenBitBmpFieldsSpanTheWholeRange) {
    const auto spread = [](std::uint32_t field, int max) {
        return int((field * 255 + max / 2) / max);
    };
    const std::uint32_t rgb565[4] = {0xF800, 0x07E0, 0x001F, 0};
    const std::uint32_t argb1555[4] = {0x7C00, 0x03E0, 0x001F, 0x8000};
    const auto pixel565 = [](int x, int y) {
        return std::uint32_t((x * 6) << 11 | (y * 21) << 5 | (31 - x));
    };
    const auto pixel1555 = [](int x, int y) {
        return std::uint32_t((x % 2) << 15 | (x * 6) << 10 | (y * 10) << 5 | (31 - x));
    };
    for (const int header : {40, 56}) {
        SCOPED_TRACE(header);
        const bool alpha = header == 56;
        QString error;
        const std::optional<DecodedImage> decoded =
            DecodeImageBytes(alpha ? Bmp(header, 16, argb1555, 6, 4, pixel1555)
                                   : Bmp(header, 16, rgb565, 6, 4, pixel565),
                             &error);
        ASSERT_TRUE(decoded) << error.toStdString();
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                const QRgb got = decoded->image.pixel(x, y);
                EXPECT_EQ(qRed(got), spread(x * 6, 31)) << x << "," << y;
                EXPECT_EQ(qGreen(got), alpha ? spread(y * 10, 31) : spread(y * 21, 63));
                EXPECT_EQ(qBlue(got), spread(31 - x, 31));
                EXPECT_EQ(qAlpha(got), alpha && x % 2 == 0 ? 0 : 255) << x << "," << y;
            }
    }
}

// An uncompressed little-endian TIFF of one strip: `samples` per pixel of `bits` in `format`
// (1 unsigned, 3 IEEE floating point), `photometric` 1 (grey) or 2 (RGB); a second grey sample
// is alpha.
QByteArray Tiff(int w, int h, int samples, int bits, int format, int photometric,
                const QByteArray& data) {
    struct Entry {
        int tag, type;
        std::uint32_t value;
    };
    std::vector<Entry> entries = {{256, 4, std::uint32_t(w)},           {257, 4, std::uint32_t(h)},
                                  {258, 3, std::uint32_t(bits)},        {259, 3, 1},
                                  {262, 3, std::uint32_t(photometric)}, {273, 4, 0},
                                  {277, 3, std::uint32_t(samples)},     {278, 4, std::uint32_t(h)},
                                  {279, 4, std::uint32_t(data.size())}, {284, 3, 1},
                                  {339, 3, std::uint32_t(format)}};
    if (samples == 2)
        entries.insert(entries.begin() + 10, {338, 3, 2});  // unassociated alpha
    const std::uint32_t dataAt = 8 + 2 + 12 * std::uint32_t(entries.size()) + 4;
    QByteArray file("II*\0", 4);
    PutLe(file, 8, 4);
    PutLe(file, entries.size(), 2);
    for (Entry e : entries) {
        if (e.tag == 273)
            e.value = dataAt;
        PutLe(file, std::uint64_t(e.tag), 2);
        PutLe(file, std::uint64_t(e.type), 2);
        // Counts of 1, except BitsPerSample and SampleFormat of two samples (two shorts inline).
        const bool perSample = (e.tag == 258 || e.tag == 339) && samples == 2;
        PutLe(file, perSample ? 2 : 1, 4);
        if (e.type == 3)
            PutLe(file, perSample ? (e.value | e.value << 16) : e.value, 4);
        else
            PutLe(file, e.value, 4);
    }
    PutLe(file, 0, 4);
    return file + data;
}

// Floating-point grey of 32 and 64 bits is scaled from 0..1 and clipped; 16-bit grey with alpha
// keeps its alpha at 16 bits.
TEST(ForeignFiles, TiffSamplesQtDoesNotRead) {
    const double values[] = {-0.5, 0.0, 0.25, 0.5, 1.0, 7.0};
    for (const int bits : {32, 64}) {
        QByteArray data;
        for (const double v : values) {
            if (bits == 32) {
                const float f = float(v);
                data.append(reinterpret_cast<const char*>(&f), 4);
            } else {
                data.append(reinterpret_cast<const char*>(&v), 8);
            }
        }
        QString error;
        const std::optional<DecodedImage> grey =
            DecodeImageBytes(Tiff(6, 1, 1, bits, 3, 1, data), &error);
        ASSERT_TRUE(grey) << bits << " " << error.toStdString();
        ASSERT_EQ(grey->image.format(), QImage::Format_Grayscale16);
        const auto* row = reinterpret_cast<const std::uint16_t*>(grey->image.constScanLine(0));
        const std::uint16_t expected[] = {0, 0, 16384, 32768, 65535, 65535};
        for (int x = 0; x < 6; ++x) EXPECT_EQ(row[x], expected[x]) << bits << " " << x;
    }
    QByteArray greyAlpha;
    for (const int v : {0x1234, 0xFFFF, 0xABCD, 0x0101}) PutLe(greyAlpha, std::uint64_t(v), 2);
    const std::optional<DecodedImage> withAlpha =
        DecodeImageBytes(Tiff(2, 1, 2, 16, 1, 1, greyAlpha));
    ASSERT_TRUE(withAlpha);
    const QImage rgba = withAlpha->image.convertToFormat(QImage::Format_RGBA64);
    const auto* p = reinterpret_cast<const QRgba64*>(rgba.constScanLine(0));
    EXPECT_EQ(p[0], QRgba64::fromRgba64(0x1234, 0x1234, 0x1234, 0xFFFF));
    EXPECT_EQ(p[1], QRgba64::fromRgba64(0xABCD, 0xABCD, 0xABCD, 0x0101));
}

}  // namespace
}  // namespace orm
