// Decoding untrusted files: decompression bombs are refused before decoding (and the info
// record never decodes them), cut-off JPEG and GIF files are loaded but marked damaged, and the
// JPEG path that decodes straight to BGR gives Qt's pixels.

#include "engine/memory_budget.h"
#include "engine/resize_image.h"
#include "imageio/damage_check.h"
#include "imageio/image_info_reader.h"
#include "imageio/image_loader.h"
#include "test_support.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace orm {
namespace {

// Pretends the system has `bytes` of memory for the life of the object.
class AvailableMemory {
  public:
    explicit AvailableMemory(std::uint64_t bytes) { engine::SetAvailableMemoryOverride(bytes); }
    ~AvailableMemory() { engine::SetAvailableMemoryOverride(0); }
};

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage Pattern(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 5 % 256, (x * y) % 256));
    return image;
}

// A small JPEG whose frame header claims w x h: a few hundred bytes that decode to gigabytes.
QByteArray JpegClaiming(int w, int h) {
    QByteArray jpeg = Encoded(Pattern(16, 16), "jpg");
    const qsizetype sof = jpeg.indexOf("\xff\xc0");
    jpeg[sof + 5] = char(h >> 8), jpeg[sof + 6] = char(h);
    jpeg[sof + 7] = char(w >> 8), jpeg[sof + 8] = char(w);
    return jpeg;
}

uint32_t Crc32(const QByteArray& bytes) {
    uint32_t crc = 0xFFFFFFFF;
    for (const char c : bytes) {
        crc ^= uint8_t(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// A small PNG whose IHDR claims w x h (with a correct checksum, so the reader believes it).
QByteArray PngClaiming(int w, int h) {
    QByteArray png = Encoded(Pattern(16, 16), "png");
    auto put32 = [&](qsizetype at, uint32_t v) {
        for (int i = 0; i < 4; ++i) png[at + i] = char(v >> (24 - 8 * i));
    };
    const qsizetype ihdr = png.indexOf("IHDR");
    put32(ihdr + 4, uint32_t(w));
    put32(ihdr + 8, uint32_t(h));
    put32(ihdr + 4 + 13, Crc32(png.mid(ihdr, 4 + 13)));
    return png;
}

// The bytes with `extra` zero bytes after them (past a JPEG's EOI or a PNG's IEND, where the
// decoders do not look): a claim the file's size makes plausible.
QByteArray Padded(const QByteArray& bytes, qsizetype extra) {
    return bytes + QByteArray(extra, '\0');
}

TEST(DecodeGuard, BombsAreRefusedBeforeDecodingWithTheirSize) {
    const AvailableMemory available(512u << 20);
    for (const QByteArray& bomb : {Padded(JpegClaiming(30000, 30000), 2 << 20),
                                   Padded(PngClaiming(30000, 30000), 3 << 20)}) {
        QString error;
        EXPECT_FALSE(DecodeSourceImage(bomb, &error));
        EXPECT_EQ(error, "Not enough memory to open a 30000 x 30000 image");
    }
    // What fits is decoded (the JPEG's data runs out: it is damaged, not refused).
    QString error;
    const auto fits = DecodeSourceImage(Padded(JpegClaiming(2000, 1000), 4000), &error);
    ASSERT_TRUE(fits) << error.toStdString();
    EXPECT_EQ(fits->image.size(), QSize(2000, 1000));
    EXPECT_EQ(fits->damage, "the missing part is grey");
}

TEST(DecodeGuard, InfoReadsTheHeaderOnly) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bomb.jpg");
    test::WriteAll(path, Padded(JpegClaiming(30000, 30000), 2 << 20));
    const AvailableMemory available(64u << 20);  // far too little to decode
    QString error;
    const auto info = ReadImageInfo(path, &error);
    ASSERT_TRUE(info) << error.toStdString();
    EXPECT_EQ(info->width, 30000);
    EXPECT_EQ(info->height, 30000);
    EXPECT_EQ(info->bitsPerPixel, 24);
}

TEST(DecodeGuard, InfoFromTheHeaderMatchesTheDecodedImage) {
    ORM_REQUIRE_CORPUS();
    // Every corpus file the program opens: the header-only record equals the decoded facts.
    const QStringList files =
        QDir(test::CorpusDir()).entryList({"*.jpg", "*.png", "*.gif", "*.bmp", "*.tiff"});
    int compared = 0;
    for (const QString& name : files) {
        const QString path = test::CorpusDir() + "/" + name;
        const auto loaded = LoadSourceImage(path);
        const auto info = ReadImageInfo(path);
        if (!loaded)
            continue;
        ASSERT_TRUE(info) << name.toStdString();
        EXPECT_EQ(QSize(info->width, info->height), loaded->image.size()) << name.toStdString();
        EXPECT_EQ(info->bitsPerPixel, loaded->bitsPerPixel) << name.toStdString();
        ++compared;
    }
    EXPECT_GT(compared, 80);
}

TEST(DecodeGuard, JpegDecodedStraightToBgrHasQtsPixels) {
    ORM_REQUIRE_CORPUS();
    const QStringList files = QDir(test::CorpusDir()).entryList({"*.jpg"});
    int compared = 0;
    for (const QString& name : files) {
        const QString path = test::CorpusDir() + "/" + name;
        // Qt's reader applying the EXIF Orientation is the reference for the upright picture.
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage qt = reader.read();
        const auto ours = LoadSourceImage(path);
        ASSERT_EQ(qt.isNull(), !ours) << name.toStdString();
        if (qt.isNull())
            continue;
        EXPECT_EQ(ours->fileFormat, qt.format()) << name.toStdString();
        // Pixels only: Qt's image also carries the file's colour space (ICC profile).
        const QImage expected = qt.convertToFormat(QImage::Format_BGR888);
        ASSERT_EQ(ours->image.size(), expected.size()) << name.toStdString();
        for (int y = 0; y < expected.height(); ++y)
            ASSERT_EQ(std::memcmp(ours->image.constScanLine(y), expected.constScanLine(y),
                                  size_t(expected.width()) * 3),
                      0)
                << name.toStdString() << " row " << y;
        ++compared;
    }
    EXPECT_GT(compared, 40);
}

TEST(FastDecode, JpegsShrinkByTheMostThatKeepsTheMinimum) {
    const QByteArray jpeg = Encoded(Pattern(1000, 700), "jpg");
    struct Case {
        DecodeLimit limit;
        QSize decoded;
    };
    const Case cases[] = {
        {{}, {1000, 700}},         // no limit: a full decode
        {{250, 175}, {250, 175}},  // 1/4 keeps exactly the minimum
        {{251, 175}, {500, 350}},  // one pixel more: 1/2
        {{125, 88}, {125, 88}},    // 1/8 (sides rounded up)
        {{126, 10}, {250, 175}},
        {{600, 10}, {1000, 700}},        // no shrink keeps 600: full
        {{200, 200, true}, {500, 350}},  // Crop covers 200 x 200 at 10:7 (285 x 200)
        {{100, 60, true}, {125, 88}},    // covers 100 x 70: 1/8
    };
    for (const Case& c : cases) {
        const auto decoded = DecodeSourceImage(jpeg, nullptr, c.limit);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->image.size(), c.decoded)
            << c.limit.minWidth << "x" << c.limit.minHeight << (c.limit.cover ? " cover" : "");
        EXPECT_EQ(decoded->FileSize(), QSize(1000, 700));
        EXPECT_EQ(decoded->image.format(), QImage::Format_BGR888);
    }
    // Other formats decode in full.
    const auto png = DecodeSourceImage(Encoded(Pattern(400, 300), "png"), nullptr, {100, 75});
    ASSERT_TRUE(png);
    EXPECT_EQ(png->image.size(), QSize(400, 300));
}

TEST(FastDecode, NeverBelowTheTargetInEitherDirectionButNoLargerThanNeeded) {
    // Odd sizes, and a file stored on its side (orientation 6: the limit is of the upright
    // picture, the decoder shrinks the stored one).
    ORM_REQUIRE_CORPUS();
    const QByteArray files[] = {Encoded(Pattern(1001, 703), "jpg"),
                                test::ReadAll(test::CorpusFile("orientation_landscape_6.jpg"))};
    for (const QByteArray& jpeg : files) {
        const auto full = DecodeSourceImage(jpeg);
        ASSERT_TRUE(full);
        const QSize upright = full->image.size();
        for (int w = 37; w <= upright.width(); w += 53)
            for (int h : {1, 57, 113, 126, 251, upright.height()}) {
                const auto fast = DecodeSourceImage(jpeg, nullptr, {w, h});
                ASSERT_TRUE(fast);
                const QSize got = fast->image.size();
                EXPECT_TRUE(got.width() >= w && got.height() >= h) << w << "x" << h;
                // Half of it (the next stronger shrink) would fall below the target, unless 1/8
                // was reached.
                const bool eighth = got.width() * 8 < upright.width() + 8;
                EXPECT_TRUE(eighth || (got.width() + 1) / 2 < w || (got.height() + 1) / 2 < h)
                    << w << "x" << h << " gave " << got.width() << "x" << got.height();
            }
    }
}

// Peak signal-to-noise ratio of two images of the same size, in dB.
double Psnr(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width() * 3; ++x) {
            const double d = double(a.constScanLine(y)[x]) - double(b.constScanLine(y)[x]);
            sum += d * d;
        }
    const double mse = sum / (double(a.width()) * a.height() * 3);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

QImage Resized(const QImage& source, int w, int h) {
    const engine::ResizeOutcome out = engine::ResizeImage(
        {source.constBits(), source.width(), source.height(), source.bytesPerLine()}, w, h,
        engine::ResizeAlgorithm::HighQualityBicubic, false, nullptr);
    return QImage(out.image.Row(0), w, h, out.image.Stride(), QImage::Format_BGR888).copy();
}

TEST(FastDecode, AStrongReductionStaysCloseToTheFullDecodes) {
    // A real photograph reduced to an eighth: from the decoder's quarter-size picture (at least
    // twice the target) the result differs from the full decode's by little.
    ORM_REQUIRE_CORPUS();
    const QByteArray photo = test::ReadAll(test::CorpusFile("FurnaceCreekInn.jpg"));
    const auto full = DecodeSourceImage(photo);
    const auto fast = DecodeSourceImage(photo, nullptr, {100, 74});
    ASSERT_TRUE(full && fast);
    ASSERT_EQ(fast->image.size(), QSize(100, 75));
    const QImage a = Resized(full->image, 50, 37), b = Resized(fast->image, 50, 37);
    EXPECT_GT(Psnr(a, b), 40.0);  // 46.7 dB here
    EXPECT_LT(Psnr(a, b), 99.0);  // not the same pixels: the trade is real
}

TEST(DecodeGuard, CutOffFilesAreDamagedAndWholeOnesAreNot) {
    ORM_REQUIRE_CORPUS();
    for (const QString& name :
         QDir(test::CorpusDir()).entryList({"*.jpg", "*.gif", "*.png", "*.bmp"})) {
        const auto loaded = LoadSourceImage(test::CorpusDir() + "/" + name);
        if (!loaded)
            continue;
        const bool cut = name.contains("truncated");
        EXPECT_EQ(loaded->damage.isEmpty(), !cut)
            << name.toStdString() << ": " << loaded->damage.toStdString();
    }
    const QByteArray gif = test::ReadAll(test::CorpusFile("test.colors.gif"));
    const auto cutGif = DecodeSourceImage(gif.left(gif.size() / 5));
    ASSERT_TRUE(cutGif);
    EXPECT_EQ(cutGif->damage, "the missing part is blank");
    EXPECT_EQ(DamagedFileWarning("/p/a.jpg", "the missing part is grey"),
              "warning: /p/a.jpg is damaged; the missing part is grey");
}

TEST(DecodeGuard, EveryPrefixOfAFileIsCutOff) {
    // The structure walks check every length against the end: each prefix of a whole file is
    // cut off, the whole file is not (a JPEG with restart markers and a GIF with extensions).
    ORM_REQUIRE_CORPUS();
    const QByteArray jpeg = test::ReadAll(test::CorpusFile("Canon_40D.jpg"));
    const QByteArray gif = test::ReadAll(test::CorpusFile("transparent.gif"));
    ASSERT_FALSE(IsTruncatedJpeg(jpeg));
    ASSERT_FALSE(IsTruncatedGif(gif));
    for (qsizetype n = 0; n < jpeg.size() - 1; ++n)
        ASSERT_TRUE(IsTruncatedJpeg(jpeg.left(n)) || n < 2) << n;
    // A GIF is whole once its first picture's data is complete; the trailer may be missing.
    qsizetype firstWhole = gif.size();
    for (qsizetype n = 0; n < gif.size(); ++n)
        if (!IsTruncatedGif(gif.left(n)) && n >= 6) {
            firstWhole = n;
            break;
        }
    EXPECT_GE(firstWhole, gif.size() - 2);
    EXPECT_FALSE(IsTruncatedJpeg("not a jpeg"));
    EXPECT_FALSE(IsTruncatedGif("GIF89"));
}

}  // namespace
}  // namespace orm
