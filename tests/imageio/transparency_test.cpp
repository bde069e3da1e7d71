// Sources with transparent pixels: found at load and shown over white, resized with their alpha
// into PNG, TIFF and WebP (no hidden colour at the edges), laid over white in JPEG, BMP and GIF.
// WebP outputs: quality, lossless at 100, the format's size limit.

#include "imageio/transparency.h"
#include "imageio/image_loader.h"
#include "imageio/image_saver.h"
#include "test_support.h"

#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <string>

namespace orm {
namespace {

constexpr QRgb kRed = qRgba(255, 0, 0, 255);
constexpr QRgb kHiddenGreen = qRgba(0, 255, 0, 0);
constexpr QRgb kHalfBlue = qRgba(0, 0, 255, 128);

class Transparency : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const QString& name) const { return dir_.filePath(name); }

    // Opaque red on the left half, a column of half-transparent blue, and green hidden under
    // alpha 0 on the right.
    static QImage RedOverHiddenGreen(int w = 24, int h = 18) {
        QImage image(w, h, QImage::Format_ARGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, x < w / 2 ? kRed : x == w / 2 ? kHalfBlue : kHiddenGreen);
        return image;
    }

    SourceImage LoadWritten(const QImage& image, const QString& name) {
        EXPECT_TRUE(image.save(Path(name)));
        QString error;
        auto source = LoadSourceImage(Path(name), &error);
        EXPECT_TRUE(source) << error.toStdString();
        return source ? *source : SourceImage{};
    }

    static QImage ReadBack(const QString& path) {
        QImageReader reader(path);
        return reader.read().convertToFormat(QImage::Format_ARGB32);
    }

    QTemporaryDir dir_;
};

TEST_F(Transparency, IsFoundAtLoadAndShownOverWhite) {
    const SourceImage source = LoadWritten(RedOverHiddenGreen(), "alpha.png");
    EXPECT_TRUE(source.transparent);
    ASSERT_EQ(source.image.format(), QImage::Format_BGR888);
    EXPECT_EQ(source.image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(source.image.pixel(12, 5), qRgb(127, 127, 255));   // half blue over white
    EXPECT_EQ(source.image.pixel(23, 17), qRgb(255, 255, 255));  // the green stays hidden
    EXPECT_EQ(source.original.pixel(23, 17), kHiddenGreen);      // ... and kept with its alpha
    EXPECT_TRUE(ResizesWithAlpha(source, "out.png"));
    EXPECT_TRUE(ResizesWithAlpha(source, "out.TIFF"));
    EXPECT_TRUE(ResizesWithAlpha(source, "out.webp"));
    for (const char* flat : {"out.jpg", "out.bmp", "out.gif"})
        EXPECT_FALSE(ResizesWithAlpha(source, flat)) << flat;

    // Alpha 255 everywhere is no transparency: the pixels are those of the opaque image.
    QImage opaque = RedOverHiddenGreen();
    opaque.fill(qRgba(10, 200, 30, 255));
    opaque.setPixel(3, 4, qRgba(90, 80, 70, 255));
    const SourceImage full = LoadWritten(opaque, "full.png");
    EXPECT_FALSE(full.transparent);
    EXPECT_FALSE(ResizesWithAlpha(full, "out.png"));
    EXPECT_EQ(full.image,
              LoadWritten(opaque.convertToFormat(QImage::Format_RGB888), "rgb.png").image);
}

TEST_F(Transparency, IsFoundInRealFiles) {
    ORM_REQUIRE_CORPUS();
    const std::pair<const char*, bool> files[] = {
        {"pngsuite-basn6a08.png", true}, {"pngsuite-basn6a16.png", true},
        {"pngsuite-basn4a16.png", true}, {"pngsuite-tbbn3p08.png", true},  // palette, tRNS
        {"pngsuite-tbrn2c08.png", true}, {"transparent.gif", true},
        {"bmpsuite-g-rgb32.bmp", false}, {"pngsuite-basn2c08.png", false},
        {"Canon_40D.jpg", false},
    };
    for (const auto& [name, transparent] : files) {
        const auto source = LoadSourceImage(test::CorpusFile(name));
        ASSERT_TRUE(source) << name;
        EXPECT_EQ(source->transparent, transparent) << name;
        if (transparent)
            EXPECT_EQ(source->original.size(), source->image.size()) << name;
    }
}

// Algorithms 0, 4, 5, 6 and 7 into the formats that keep alpha, read back by Qt's readers: every
// visible pixel pure red (weighted by alpha, the hidden green has no say), the alpha kept.
TEST_F(Transparency, ResizedOutputsKeepAlphaWithoutBleeding) {
    const SourceImage source = LoadWritten(RedOverHiddenGreen(), "alpha.png");
    const bool identify = !QStandardPaths::findExecutable("identify").isEmpty();
    for (int algorithm : {0, 4, 5, 6, 7})
        for (const char* ext : {"png", "tif", "webp"}) {
            SCOPED_TRACE(std::to_string(algorithm) + " " + ext);
            const AlphaResizeResult resized = ResizeSourceWithAlpha(
                source, 61, 40, *engine::AlgorithmFromIndex(algorithm), false, nullptr);
            ASSERT_EQ(resized.status, engine::ResizeStatus::Ok);
            const QString out = Path(QString("out%1.%2").arg(algorithm).arg(ext));
            // Quality 100: WebP without loss.
            ASSERT_TRUE(SaveImage(resized.image, out, source, SaveOptions{96, 100}));
            const QImage back = ReadBack(out);
            ASSERT_EQ(back.size(), QSize(61, 40));
            int translucent = 0;
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 61; ++x) {
                    const QRgb p = back.pixel(x, y);
                    if (qAlpha(p) == 0)
                        continue;
                    translucent += qAlpha(p) < 255;
                    ASSERT_EQ(qGreen(p), 0) << x << "," << y;
                    if (x < 22)  // the blue column's reach ends before
                        ASSERT_EQ(p, kRed) << x << "," << y;
                }
            EXPECT_EQ(qAlpha(back.pixel(0, 20)), 255);
            EXPECT_EQ(qAlpha(back.pixel(60, 20)), 0);
            EXPECT_GT(translucent, 0);  // the half-transparent column at least
            if (identify) {
                QProcess p;
                p.start("identify", {"-format", "%A", out});
                p.waitForFinished(30000);
                EXPECT_NE(QString::fromUtf8(p.readAllStandardOutput()).toLower(), "undefined");
                EXPECT_TRUE(p.readAllStandardError().isEmpty());
            }
        }
}

// JPEG, BMP and GIF have no alpha: resized and same-size outputs show the pixels over white.
TEST_F(Transparency, OutputsWithoutAlphaShowItOverWhite) {
    const SourceImage source = LoadWritten(RedOverHiddenGreen(), "alpha.png");
    const AlphaResizeResult resized = ResizeSourceWithAlpha(
        source, 48, 36, engine::ResizeAlgorithm::HighQualityBicubic, false, nullptr);
    ASSERT_EQ(resized.status, engine::ResizeStatus::Ok);
    for (const char* ext : {"bmp", "gif", "jpg"}) {
        SCOPED_TRACE(ext);
        const bool exact = QLatin1String(ext) == QLatin1String("bmp");
        const int tolerance = exact ? 0 : 12;
        for (const QImage& output : {resized.image, source.image}) {
            const QString out = Path(QString("flat.%1").arg(ext));
            ASSERT_TRUE(SaveImage(output, out, source, SaveOptions{96, 95}));
            const QImage back = ReadBack(out);
            ASSERT_EQ(back.size(), output.size());
            EXPECT_FALSE(back.hasAlphaChannel() && qAlpha(back.pixel(0, 0)) != 255);
            const int w = back.width();
            for (int y = 0; y < back.height(); ++y) {
                const QRgb right = back.pixel(w - 1, y);
                EXPECT_GE(qMin(qRed(right), qMin(qGreen(right), qBlue(right))), 255 - tolerance);
                // Red over white: green and blue alike (no green shows through) left of the
                // blue column's reach.
                for (int x = 0; x < w * 9 / 24; ++x) {
                    const QRgb p = back.pixel(x, y);
                    ASSERT_LE(std::abs(qGreen(p) - qBlue(p)), tolerance) << x << "," << y;
                    ASSERT_GE(qRed(p), 255 - tolerance) << x << "," << y;
                }
            }
        }
    }
    // The BMP of the same-size copy is exactly the source over white.
    ASSERT_TRUE(SaveImage(source.image, Path("same.bmp"), source, SaveOptions{96, 75}));
    EXPECT_EQ(QImage(Path("same.bmp")).convertToFormat(QImage::Format_BGR888), source.image);
}

TEST_F(Transparency, WebpQualityLosslessAndLimit) {
    QImage photo(160, 120, QImage::Format_BGR888);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            photo.setPixel(x, y, qRgb((x * 37 + y * 11) & 255, (x * y) & 255, (x ^ y) * 2 & 255));
    const SaveSource none{photo.size(), {}};
    QByteArray sizes[2];
    int i = 0;
    for (int quality : {30, 90}) {
        QString error;
        sizes[i] = EncodeImageFile(photo, "a.webp", none, SaveOptions{96, quality}, &error);
        ASSERT_FALSE(sizes[i].isEmpty()) << error.toStdString();
        ++i;
    }
    EXPECT_LT(sizes[0].size(), sizes[1].size());
    ASSERT_TRUE(SaveImage(photo, Path("lossless.webp"), none, SaveOptions{96, 100}));
    EXPECT_EQ(QImage(Path("lossless.webp")).convertToFormat(QImage::Format_BGR888), photo);

    QString error;
    const QImage wide(16384, 2, QImage::Format_BGR888);
    EXPECT_FALSE(SaveImage(wide, Path("wide.webp"), none, SaveOptions{}, &error));
    EXPECT_TRUE(error.contains("16383")) << error.toStdString();
    EXPECT_FALSE(QFile::exists(Path("wide.webp")));
}

}  // namespace
}  // namespace orm
