// Making one thumbnail: the fitting arithmetic, the embedded thumbnail first, the decoded image
// otherwise, the width rule, bits per pixel, sound companions.

#include "oriented_files.h"
#include "test_support.h"
#include "thumbnail_test_support.h"

#include "imageio/file_look.h"
#include "imageio/image_file_types.h"
#include "imageio/native_path.h"
#include "thumbnails/thumbnail_codec.h"
#include "thumbnails/thumbnail_loader.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace orm {
namespace {

class ThumbnailLoaderTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QString Write(const QString& name, const QImage& image) {
        test::WriteImage(Path(name), image);
        return Path(name);
    }
    QString WriteBytes(const QString& name, const QByteArray& bytes) {
        test::WriteAll(Path(name), bytes);
        return Path(name);
    }
    // A fresh thumbnail loaded from the file, or nothing.
    static std::optional<CPaletteItemImg> Load(const QString& path,
                                               ThumbnailLoadMode mode = ThumbnailLoadMode::Quick) {
        CPaletteItemImg item;
        if (!LoadThumbnail(item, path, mode))
            return std::nullopt;
        return item;
    }
    // Qt's smooth reduction of the whole file to the thumbnail's size.
    static QImage Reference(const QString& path, QSize size) {
        QImageReader reader(path);
        reader.setAutoTransform(false);
        return reader.read().scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }

    QTemporaryDir dir;
};

TEST(ThumbnailFit, FitsIntoTheBoxInIntegers) {
    EXPECT_EQ(FitThumbnail(220, 165, 160, 120), QSize(220, 165));  // enlarged to touch the box
    EXPECT_EQ(FitThumbnail(220, 165, 1000, 100), QSize(220, 22));
    EXPECT_EQ(FitThumbnail(220, 165, 100, 1000), QSize(16, 165));
    EXPECT_EQ(FitThumbnail(220, 165, 5472, 3648), QSize(220, 146));
    EXPECT_EQ(FitThumbnail(220, 165, 0, 100), QSize(10, 10));
    EXPECT_EQ(FitThumbnail(220, 165, 100, 0), QSize(10, 10));
    EXPECT_EQ(FitThumbnail(220, 165, 1000000, 1), QSize(220, 1));  // never a side of 0
    EXPECT_EQ(FitThumbnail(220, 165, int64_t(1) << 40, int64_t(1) << 39), QSize(220, 110));
}

TEST(ThumbnailFit, JpegsDecodeAtTheSmallestEighthThatKeepsTheThumbnail) {
    EXPECT_EQ(ScaledJpegDecodeSize({5472, 3648}, {220, 146}), QSize(684, 456));
    EXPECT_EQ(ScaledJpegDecodeSize({5473, 3649}, {220, 146}), QSize(684, 456));
    EXPECT_EQ(ScaledJpegDecodeSize({2400, 1800}, {220, 165}), QSize(300, 225));
    EXPECT_EQ(ScaledJpegDecodeSize({1000, 100}, {220, 22}), QSize(250, 25));
    EXPECT_EQ(ScaledJpegDecodeSize({1759, 1320}, {220, 165}), QSize(439, 330));  // not 219 wide
    EXPECT_FALSE(
        ScaledJpegDecodeSize({250, 170}, {220, 146}).isValid());  // only the full size serves
}

TEST_F(ThumbnailLoaderTest, ImageWithoutEmbeddedThumbnailIsFinalAtOnce) {
    const QImage image = test::TestPattern(160, 120);
    const auto item = Load(Write(QStringLiteral("small.png"), image));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->isFinal, 1);
    EXPECT_EQ(item->imageWidth, 160);
    EXPECT_EQ(item->imageHeight, 120);
    EXPECT_EQ(item->thumbWidth, 220);
    EXPECT_EQ(item->thumbHeight, 165);
    EXPECT_EQ(item->bitsPerPixel, 24);
    EXPECT_EQ(item->picture.format(), QImage::Format_BGR888);
    EXPECT_EQ(item->picture.dotsPerMeterX(), kThumbDotsPerMeter);
    ASSERT_FALSE(item->jpegData.isEmpty());
    const QImage reference =
        image.scaled(220, 165, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(test::MeanDifference(item->picture, reference), 4.0);
    EXPECT_LT(test::MeanDifference(DecompressPicture(item->jpegData, 220, 165), reference), 5.0);
}

TEST_F(ThumbnailLoaderTest, CameraJpegGetsItsExifThumbnailFirstAndTheFullImageLater) {
    ORM_REQUIRE_CORPUS();
    const QString path = Path(QStringLiteral("camera.jpg"));
    ASSERT_TRUE(QFile::copy(test::CorpusFile("exiforg-fujifilm-finepix40i.jpg"), path));
    std::optional<CPaletteItemImg> item = Load(path);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->isFinal, 0);
    EXPECT_EQ(item->imageWidth, 2400);
    EXPECT_EQ(item->imageHeight, 1800);
    EXPECT_EQ(QSize(item->thumbWidth, item->thumbHeight), QSize(220, 165));
    EXPECT_EQ(item->bitsPerPixel, 24);
    const QImage reference = Reference(path, {220, 165});
    const double preliminary = test::MeanDifference(Decompress(*item), reference);

    CPaletteItemImg final = *item;
    ASSERT_TRUE(LoadThumbnail(final, path, ThumbnailLoadMode::Full));
    EXPECT_EQ(final.isFinal, 1);
    EXPECT_EQ(QSize(final.thumbWidth, final.thumbHeight), QSize(220, 165));
    const double full =
        test::MeanDifference(DecompressPicture(final.jpegData, 220, 165), reference);
    EXPECT_LT(full, 4.0);
    EXPECT_LT(full, preliminary);  // sharper than the camera's small thumbnail
    EXPECT_LT(preliminary, 25.0);  // and yet the same picture, upright and in its colours
}

TEST_F(ThumbnailLoaderTest, PhotosHeldSidewaysShowUprightFromTheEmbeddedThumbnailAndTheImage) {
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE("orientation " + std::to_string(o));
        const QString path = WriteBytes(QStringLiteral("o%1.jpg").arg(o),
                                        test::MakeOrientedJpeg({QSize(640, 480), o}));
        std::optional<CPaletteItemImg> item = Load(path);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->isFinal, 0);  // from the embedded thumbnail
        EXPECT_EQ(QSize(item->imageWidth, item->imageHeight), QSize(640, 480));
        EXPECT_EQ(QSize(item->thumbWidth, item->thumbHeight), QSize(220, 165));
        EXPECT_TRUE(test::ShowsUprightPattern(Decompress(*item)));

        CPaletteItemImg final = *item;
        ASSERT_TRUE(LoadThumbnail(final, path, ThumbnailLoadMode::Full));
        EXPECT_EQ(final.isFinal, 1);
        EXPECT_EQ(QSize(final.thumbWidth, final.thumbHeight), QSize(220, 165));
        EXPECT_TRUE(test::ShowsUprightPattern(DecompressPicture(final.jpegData, 220, 165)));
        // Without the embedded thumbnail's sizes, from the image alone.
        const auto direct = Load(WriteBytes(QStringLiteral("bare%1.jpg").arg(o),
                                            test::MakeOrientedJpeg({QSize(640, 480), o, false})));
        ASSERT_TRUE(direct);
        EXPECT_EQ(direct->isFinal, 1);
        EXPECT_EQ(QSize(direct->imageWidth, direct->imageHeight), QSize(640, 480));
        EXPECT_TRUE(test::ShowsUprightPattern(Decompress(*direct)));
    }
}

TEST_F(ThumbnailLoaderTest, LargePhotosAreUprightAndCloseToTheFullDecodeFromTheirEighth) {
    // Large enough for the decode at 1/8 (240 x 180 covers the 220 x 165 box).
    for (int o : {1, 3, 6, 8}) {
        SCOPED_TRACE("orientation " + std::to_string(o));
        const QString path = WriteBytes(QStringLiteral("big%1.jpg").arg(o),
                                        test::MakeOrientedJpeg({QSize(1920, 1440), o, false}));
        const auto item = Load(path);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->isFinal, 1);
        EXPECT_EQ(QSize(item->imageWidth, item->imageHeight), QSize(1920, 1440));
        EXPECT_EQ(QSize(item->thumbWidth, item->thumbHeight), QSize(220, 165));
        EXPECT_EQ(item->bitsPerPixel, 24);
        EXPECT_TRUE(test::ShowsUprightPattern(Decompress(*item)));
    }
    const QImage photo = test::TestPattern(2000, 1500);
    const QString path = Write(QStringLiteral("pattern.jpg"), photo);
    const auto item = Load(path);
    ASSERT_TRUE(item);
    EXPECT_LT(test::MeanDifference(item->picture, Reference(path, {220, 165})), 3.0);
}

TEST_F(ThumbnailLoaderTest, ACutOffPhotoGetsTheOrdinaryDecodesThumbnail) {
    // The 1/8 decode gives up on the scan (after rewriting its bytes in memory); the ordinary
    // decode reads the file again and shows what it holds, the rest grey.
    const QString whole = Write(QStringLiteral("whole.jpg"), test::TestPattern(2000, 1500));
    const QByteArray bytes = test::ReadAll(whole);
    const QString cut = WriteBytes(QStringLiteral("cut.jpg"), bytes.left(bytes.size() * 3 / 4));
    const auto item = Load(cut);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->isFinal, 1);
    EXPECT_EQ(QSize(item->thumbWidth, item->thumbHeight), QSize(220, 165));
    const auto full = Load(whole);
    ASSERT_TRUE(full);
    const QRect top(0, 0, 220, 60);
    EXPECT_LT(test::MeanDifference(item->picture.copy(top), full->picture.copy(top)), 3.0);
}

TEST_F(ThumbnailLoaderTest, HeifFilesShowTheirOwnThumbnailFirst) {
#if defined(__SANITIZE_THREAD__)
    // The system's libheif and its decoders are not built for ThreadSanitizer, which then loses
    // track of the engine's own locks in the rest of the run.
    GTEST_SKIP() << "HEIF decoding is left out of ThreadSanitizer runs";
#endif
    if (QStandardPaths::findExecutable("heif-enc").isEmpty())
        GTEST_SKIP() << "heif-enc (libheif-examples) missing";
    const QString png = Write(QStringLiteral("pattern.png"), test::UprightPattern(QSize(640, 480)));
    const QString heic = Path(QStringLiteral("photo.heic"));
    QProcess enc;
    enc.start("heif-enc", {"-q", "90", "-t", "160", png, "-o", heic});
    ASSERT_TRUE(enc.waitForFinished(60000));
    if (enc.exitCode() != 0 || !QFile::exists(heic))
        GTEST_SKIP() << "heif-enc cannot encode HEIC here";
    std::optional<CPaletteItemImg> item = Load(heic);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->isFinal, 0);
    EXPECT_EQ(QSize(item->imageWidth, item->imageHeight), QSize(640, 480));
    EXPECT_TRUE(test::ShowsUprightPattern(Decompress(*item)));
    CPaletteItemImg final = *item;
    ASSERT_TRUE(LoadThumbnail(final, heic, ThumbnailLoadMode::Full));
    EXPECT_EQ(final.isFinal, 1);
    EXPECT_EQ(QSize(final.thumbWidth, final.thumbHeight), QSize(220, 165));
    EXPECT_TRUE(test::ShowsUprightPattern(DecompressPicture(final.jpegData, 220, 165)));
}

TEST_F(ThumbnailLoaderTest, ImagesThe12001PixelsWideByTheirMetadataAreNotDecoded) {
    const QImage image = test::TestPattern(100, 80);
    auto exifWidth = [&](uint32_t width) {
        test::TiffBuilder tiff(false);
        tiff.AddDirectory({{0x0100, 4, 1, width}, {0x0101, 4, 1, 80}});  // IFD0 width, height
        return test::JpegWithExifBlock(image, tiff.Build());
    };
    EXPECT_FALSE(Load(WriteBytes(QStringLiteral("wide.jpg"), exifWidth(12001))));
    const auto narrower = Load(WriteBytes(QStringLiteral("narrower.jpg"), exifWidth(12000)));
    ASSERT_TRUE(narrower);
    EXPECT_EQ(narrower->isFinal, 1);
    EXPECT_EQ(narrower->imageWidth, 12000);  // the metadata's size is the image's size
    EXPECT_EQ(QSize(narrower->thumbWidth, narrower->thumbHeight), QSize(220, 1));

    // Without metadata the width is only known after decoding, so any width is decoded.
    const auto png = Load(Write(QStringLiteral("wide.png"), test::TestPattern(12001, 2)));
    ASSERT_TRUE(png);
    EXPECT_EQ(png->imageWidth, 12001);

    // An embedded thumbnail is used whatever the width.
    test::TiffBuilder withThumb(false);
    QByteArray thumbJpeg;
    {
        QBuffer b(&thumbJpeg);
        b.open(QIODevice::WriteOnly);
        test::TestPattern(160, 120).save(&b, "JPEG");
    }
    const uint32_t at = 8 + (2 + 12 * 3 + 4) + (2 + 12 * 3 + 4);
    withThumb.AddDirectory({{0x0100, 4, 1, 20000}, {0x0101, 4, 1, 15000}, {0x0112, 3, 1, 1}});
    withThumb.AddDirectory(
        {{0x0103, 3, 1, 6}, {0x0201, 4, 1, at}, {0x0202, 4, 1, uint32_t(thumbJpeg.size())}});
    ASSERT_EQ(withThumb.BlobOffset(), at);
    withThumb.SetBlob(thumbJpeg);
    const auto huge = Load(
        WriteBytes(QStringLiteral("huge.jpg"), test::JpegWithExifBlock(image, withThumb.Build())));
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->isFinal, 0);
    EXPECT_EQ(huge->imageWidth, 20000);
    CPaletteItemImg again = *huge;
    EXPECT_FALSE(LoadThumbnail(again, Path(QStringLiteral("huge.jpg")), ThumbnailLoadMode::Full));
}

TEST_F(ThumbnailLoaderTest, BitsPerPixelFollowTheFilesPixelFormat) {
    QImage argb = test::TestPattern(40, 30, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(255, 255, 255, 0));
    const auto alpha = Load(Write(QStringLiteral("alpha.png"), argb));
    ASSERT_TRUE(alpha);
    EXPECT_EQ(alpha->bitsPerPixel, 24);  // 32-bit with alpha counts as 24
    // Transparent pixels lie over white, as the preview shows them.
    QImage clear(40, 30, QImage::Format_ARGB32);
    clear.fill(qRgba(255, 0, 0, 0));
    const auto transparent = Load(Write(QStringLiteral("clear.png"), clear));
    ASSERT_TRUE(transparent);
    EXPECT_EQ(transparent->picture.pixel(50, 50), qRgb(255, 255, 255));

    const auto grey = Load(
        Write(QStringLiteral("grey.png"), test::TestPattern(40, 30, QImage::Format_Grayscale8)));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->bitsPerPixel, 8);
    const auto deep =
        Load(Write(QStringLiteral("deep.png"), test::TestPattern(40, 30, QImage::Format_RGBX64)));
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->bitsPerPixel, 48);

    ORM_REQUIRE_CORPUS();
    const std::pair<const char*, int> bmps[] = {
        {"bmpsuite-g-rgb32.bmp", 32},     {"bmpsuite-g-rgb24.bmp", 24},
        {"bmpsuite-g-rgb16-565.bmp", 16}, {"bmpsuite-g-pal8.bmp", 8},
        {"bmpsuite-g-pal4.bmp", 4},       {"bmpsuite-g-pal1.bmp", 1},
        {"bmpsuite-q-rgba32.bmp", 24},    {"hopper.gif", 8}};
    for (const auto& [name, bits] : bmps) {
        const QString copy = Path(QString::fromLatin1(name));
        ASSERT_TRUE(QFile::copy(test::CorpusFile(name), copy));
        const auto item = Load(copy);
        ASSERT_TRUE(item) << name;
        EXPECT_EQ(item->bitsPerPixel, bits) << name;
    }
}

TEST_F(ThumbnailLoaderTest, WhatIsNoImageGetsNoThumbnail) {
    EXPECT_FALSE(Load(WriteBytes(QStringLiteral("notes.txt"), "hello")));
    EXPECT_FALSE(Load(WriteBytes(QStringLiteral("broken.jpg"), QByteArray(5000, 'x'))));
    EXPECT_FALSE(Load(WriteBytes(QStringLiteral("noext"), "hello")));
    EXPECT_FALSE(Load(Path(QStringLiteral("missing.png"))));
    ORM_REQUIRE_CORPUS();
    const QString shortBmp = Path(QStringLiteral("short.bmp"));
    ASSERT_TRUE(QFile::copy(test::CorpusFile("bmpsuite-b-shortfile.bmp"), shortBmp));
    EXPECT_FALSE(Load(shortBmp));
}

TEST_F(ThumbnailLoaderTest, NamesThatAreNotUtf8AndPipesUnderImageNames) {
    // "caf\xe9.png": Latin-1 bytes, no UTF-8; the name must survive to the system's calls.
    const QString odd = PathFromNative(NativePath(dir.path()) + QByteArray("/caf\xe9.png"));
    const QImage image = test::TestPattern(40, 30);
    QByteArray png;
    {
        QBuffer b(&png);
        b.open(QIODevice::WriteOnly);
        image.save(&b, "PNG");
    }
    FILE* f = std::fopen(NativePath(odd).constData(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(png.constData(), 1, size_t(png.size()), f);
    std::fclose(f);
    const auto item = Load(odd);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->imageWidth, 40);

    // A named pipe is no image file: refused at once, never opened to wait for a writer.
    const QString pipe = Path(QStringLiteral("pipe.jpg"));
    ASSERT_EQ(::mkfifo(NativePath(pipe).constData(), 0600), 0);
    EXPECT_FALSE(Load(pipe));
}

TEST_F(ThumbnailLoaderTest, SoundCompanionsOfJpgAndTifImages) {
    const QString jpg = Write(QStringLiteral("IMG_1.JPG"), test::TestPattern(40, 30));
    const QString png = Write(QStringLiteral("IMG_2.png"), test::TestPattern(40, 30));
    WriteBytes(QStringLiteral("IMG_1.WAV"), "RIFF");
    WriteBytes(QStringLiteral("IMG_2.wav"), "RIFF");
    EXPECT_EQ(SoundCompanion(jpg), Path(QStringLiteral("IMG_1.WAV")));
    EXPECT_TRUE(SoundCompanion(png).isEmpty());
    EXPECT_EQ(Load(jpg)->hasSound, 1);
    EXPECT_EQ(Load(png)->hasSound, 0);
    // The files that get thumbnails are those the program opens.
    EXPECT_TRUE(IsSupportedImage(QStringLiteral("/a/b.JPEG")));
    EXPECT_TRUE(IsSupportedImage(QStringLiteral("/a/b.webp")));
    EXPECT_TRUE(IsSupportedImage(QStringLiteral("/a/b.HEIC")));
    EXPECT_FALSE(IsSupportedImage(QStringLiteral("/a/b.wav")));
    EXPECT_FALSE(IsSupportedImage(QStringLiteral("/a.jpg/b")));
}

}  // namespace
}  // namespace orm
