// HEIC and AVIF files, made by heif-enc from files with EXIF and a colour profile: they open with
// their items and profile, upright as libheif decodes them (the Exif Orientation is not applied
// again), save into our formats with Orientation 1, and damaged ones are refused with a reason.

#include "imageio/file_metadata.h"
#include "imageio/heif_reader.h"
#include "imageio/image_file_types.h"
#include "imageio/image_info_reader.h"
#include "imageio/image_loader.h"
#include "imageio/image_saver.h"
#include "metadata/exif_properties.h"
#include "oriented_files.h"
#include "test_support.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <random>

namespace orm {
namespace {

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(95);
    writer.write(image);
    return bytes;
}

class HeifFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        if (QStandardPaths::findExecutable("heif-enc").isEmpty())
            GTEST_SKIP() << "heif-enc (libheif-examples) missing";
    }

    // The input file encoded by heif-enc as HEIC or AVIF; empty when this heif-enc cannot make
    // that format (its encoder plug-ins vary between systems).
    QByteArray HeifOf(const QByteArray& input, const char* inputExt, bool avif) {
        const QString in = dir_.filePath(QStringLiteral("input.") + inputExt);
        const QString out = dir_.filePath(avif ? "out.avif" : "out.heic");
        test::WriteAll(in, input);
        // Debian 12's AV1 encoder stops on some subsampling choices; try 4:2:2 first.
        const QList<QStringList> attempts =
            avif ? QList<QStringList>{{"-A", "-p", "chroma=422"}, {"-A"}} : QList<QStringList>{{}};
        for (const QStringList& extra : attempts) {
            QFile::remove(out);
            QProcess enc;
            enc.start("heif-enc", extra + QStringList{"-q", "90", in, "-o", out});
            if (enc.waitForFinished(60000) && enc.exitStatus() == QProcess::NormalExit &&
                enc.exitCode() == 0 && QFile::exists(out))
                return test::ReadAll(out);
        }
        return {};
    }

    QTemporaryDir dir_;
};

#define ORM_REQUIRE_ENCODED(bytes, what)                                    \
    do {                                                                    \
        if ((bytes).isEmpty())                                              \
            GTEST_SKIP() << "heif-enc cannot encode " << (what) << " here"; \
    } while (0)

TEST_F(HeifFiles, OpenWithTheirExifAndProfileAndSaveUpright) {
    // A photo whose Exif says "turn a quarter" although its pixels are upright: in a HEIF file
    // only the file's own transformations count (heif-enc adds none).
    const QByteArray profile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    ASSERT_FALSE(profile.isEmpty());
    QByteArray jpeg = Encoded(test::UprightPattern(QSize(64, 48)), "jpeg");
    PropertyItem icc{kPropIccProfile, 7, uint32_t(profile.size()), profile, ExifGroup::kImage, {}};
    ASSERT_TRUE(WritePropertyItems(
        jpeg, {MakeAsciiItem(0x010F, "Heif Test"), MakeShortItem(0x0112, 6),
               MakeRationalItem(0x011A, 300, 1), MakeRationalItem(0x011B, 300, 1),
               MakeShortItem(0x0128, 2), icc}));
    for (const bool avif : {false, true}) {
        SCOPED_TRACE(avif ? "AVIF" : "HEIC");
        const QByteArray heif = HeifOf(jpeg, "jpg", avif);
        ORM_REQUIRE_ENCODED(heif, avif ? "AVIF" : "HEIC");
        ASSERT_TRUE(IsHeifFile(heif));
        const QString path = dir_.filePath(avif ? "photo.avif" : "photo.HEIC");
        test::WriteAll(path, heif);
        EXPECT_TRUE(IsSupportedImage(path));

        QString error;
        const auto source = LoadSourceImage(path, &error);
        ASSERT_TRUE(source) << error.toStdString();
        EXPECT_EQ(source->image.size(), QSize(64, 48));
        EXPECT_TRUE(test::ShowsUprightPattern(source->image));
        EXPECT_EQ(source->bitsPerPixel, 24);
        EXPECT_DOUBLE_EQ(source->dpiX, 300);
        const PropertyItem* make = FindItem(source->properties, 0x010F);
        ASSERT_TRUE(make);
        EXPECT_EQ(make->value.left(9), "Heif Test");
        const PropertyItem* carried = FindItem(source->properties, kPropIccProfile);
        ASSERT_TRUE(carried);
        EXPECT_EQ(carried->value, profile);

        const auto header = ReadImageHeader(heif);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->size, QSize(64, 48));
        const auto info = ReadImageInfo(path);
        ASSERT_TRUE(info);
        EXPECT_EQ(QSize(info->width, info->height), QSize(64, 48));
        EXPECT_NE(std::find(info->properties.begin(), info->properties.end(),
                            InfoProperty{"Manufacturer", "Heif Test"}),
                  info->properties.end());

        if (!test::HaveExiftool())
            continue;
        const QString out = dir_.filePath(avif ? "from_avif.jpg" : "from_heic.png");
        ASSERT_TRUE(SaveImage(source->image.scaled(32, 24), out, *source, SaveOptions{}));
        EXPECT_EQ(test::Exiftool(out, "Make"), QString("Heif Test"));
        EXPECT_EQ(test::Exiftool(out, "Orientation"), QString("1"));
        EXPECT_EQ(test::ExiftoolBinary(out, "ICC_Profile"), profile);
    }
}

TEST_F(HeifFiles, AlphaAndDeepSamplesDecodeToEightBits) {
    QImage rgba(64, 48, QImage::Format_RGBA8888);
    rgba.fill(qRgba(20, 200, 40, 255));
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 64; ++x) rgba.setPixelColor(x, y, QColor(20, 200, 40, 0));
    const QByteArray withAlpha = HeifOf(Encoded(rgba, "png"), "png", false);
    ORM_REQUIRE_ENCODED(withAlpha, "HEIC with alpha");
    HeifInfo info;
    const QImage decoded = DecodeHeifImage(withAlpha, nullptr, &info);
    ASSERT_FALSE(decoded.isNull());
    EXPECT_TRUE(info.hasAlpha);
    EXPECT_EQ(decoded.format(), info.format);
    EXPECT_TRUE(decoded.hasAlphaChannel());
    EXPECT_LT(qAlpha(decoded.pixel(32, 6)), 16);
    EXPECT_GT(qAlpha(decoded.pixel(32, 40)), 240);
    EXPECT_NEAR(qGreen(decoded.pixel(32, 40)), 200, 12);

    // 16 bits per sample in, 10 in the AVIF file, 8 decoded.
    const QImage deep = test::UprightPattern(QSize(64, 48)).convertToFormat(QImage::Format_RGBX64);
    const QByteArray avif = HeifOf(Encoded(deep, "png"), "png", true);
    ORM_REQUIRE_ENCODED(avif, "AVIF");
    const auto source = DecodeSourceImage(avif);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->bitsPerPixel, 48);
    EXPECT_TRUE(test::ShowsUprightPattern(source->image));
}

TEST_F(HeifFiles, DamagedFilesAreRefusedWithAReason) {
    const QByteArray heic =
        HeifOf(Encoded(test::UprightPattern(QSize(64, 48)), "png"), "png", false);
    ORM_REQUIRE_ENCODED(heic, "HEIC");
    for (const qsizetype length : {qsizetype(16), qsizetype(40), heic.size() / 3}) {
        QString error;
        EXPECT_FALSE(DecodeSourceImage(heic.left(length), &error)) << length;
        EXPECT_TRUE(error.contains("HEIF")) << error.toStdString();
    }
    EXPECT_FALSE(ReadImageHeader(heic.left(40)));
    // Bytes changed anywhere: refused with a reason or decoded at the stated size, never a crash.
    std::mt19937 rng(17);
    for (int round = 0; round < 60; ++round) {
        QByteArray damaged = heic;
        for (int k = 0; k < 4; ++k) damaged[rng() % damaged.size()] = char(rng());
        QString error;
        const auto source = DecodeSourceImage(damaged, &error);
        if (source)
            EXPECT_FALSE(source->image.isNull());
        else
            EXPECT_FALSE(error.isEmpty());
        ReadFileProperties(damaged);
    }
}

TEST(HeifReader, RecognisesHeifBrandsOnly) {
    auto ftyp = [](const char* major, const char* compatible) {
        QByteArray box(
            "\0\0\0\x18"
            "ftyp",
            8);
        return box + major + QByteArray(4, '\0') + compatible + QByteArray(64, '\0');
    };
    EXPECT_TRUE(IsHeifFile(ftyp("heic", "mif1")));
    EXPECT_TRUE(IsHeifFile(ftyp("avif", "mif1")));
    EXPECT_TRUE(IsHeifFile(ftyp("isom", "mif1")));   // a compatible brand names it
    EXPECT_FALSE(IsHeifFile(ftyp("isom", "mp41")));  // a video
    EXPECT_FALSE(IsHeifFile(QByteArray("\xFF\xD8\xFF\xE0", 4)));
    for (const char* name : {"a.heic", "b.HEIF", "c.Avif"}) EXPECT_TRUE(IsSupportedImage(name));
}

TEST(HeifReader, ExifItemsAreCheckedBeforeUse) {
    const QByteArray tiff("II*\0\x08\0\0\0\0\0", 10);
    auto item = [](uint32_t offset, const QByteArray& rest) {
        QByteArray b(4, '\0');
        for (int i = 0; i < 4; ++i) b[i] = char(offset >> (24 - 8 * i));
        return b + rest;
    };
    EXPECT_EQ(HeifExifTiffStart(item(6, QByteArray("Exif\0\0", 6) + tiff)), 10);
    EXPECT_EQ(HeifExifTiffStart(item(0, tiff)), 4);
    EXPECT_EQ(HeifExifTiffStart(item(0, QByteArray("Exif\0\0", 6) + tiff)), 10);
    EXPECT_FALSE(HeifExifTiffStart(item(7, QByteArray("Exif\0\0", 6) + tiff)));  // not a mark
    EXPECT_FALSE(HeifExifTiffStart(item(0xFFFFFFF0u, tiff)));                    // outside
    EXPECT_FALSE(HeifExifTiffStart(item(3, tiff)));  // too little left for a header
    EXPECT_FALSE(HeifExifTiffStart(QByteArray("\0\0", 2)));
}

}  // namespace
}  // namespace orm
