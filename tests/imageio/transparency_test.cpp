// Sources with transparent pixels: found at load and shown over white, kept by a same-size copy
// to PNG, laid over white in a BMP. WebP outputs: lossless at 100, the format's size limit.

#include "imageio/transparency.h"
#include "imageio/image_loader.h"
#include "imageio/image_saver.h"
#include "test_support.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

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

// A same-size copy keeps the alpha in PNG and shows the pixels over white in a BMP, exactly.
// (Resized outputs: tests/batch/cli_alpha_webp_test.cpp.)
TEST_F(Transparency, TheSameSizeCopyKeepsItOrShowsItOverWhite) {
    const SourceImage source = LoadWritten(RedOverHiddenGreen(), "alpha.png");
    ASSERT_TRUE(SaveImage(source.image, Path("same.png"), source, SaveOptions{96, 75}));
    EXPECT_EQ(ReadBack(Path("same.png")), RedOverHiddenGreen());
    ASSERT_TRUE(SaveImage(source.image, Path("same.bmp"), source, SaveOptions{96, 75}));
    EXPECT_EQ(QImage(Path("same.bmp")).convertToFormat(QImage::Format_BGR888), source.image);
}

// Quality 100 is lossless; the format's size limit is named. (Quality and metadata:
// tests/batch/cli_alpha_webp_test.cpp.)
TEST_F(Transparency, WebpLosslessAndItsLimit) {
    QImage photo(160, 120, QImage::Format_BGR888);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            photo.setPixel(x, y, qRgb((x * 37 + y * 11) & 255, (x * y) & 255, (x ^ y) * 2 & 255));
    const SaveSource none{photo.size(), {}};
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
