// Photos held sideways: made files in each of the eight EXIF orientations load upright (pixels,
// sizes, resolution, items), and what is saved from them is upright with Orientation 1 and an
// upright thumbnail (checked with exiftool and Qt's reader). The orientation is found in JPEG,
// TIFF, PNG and WebP files.

#include "imageio/file_metadata.h"
#include "imageio/image_info_reader.h"
#include "imageio/image_loader.h"
#include "imageio/image_saver.h"
#include "imageio/upright_image.h"
#include "metadata/byte_source.h"
#include "metadata/exif_orientation.h"
#include "metadata/exif_properties.h"
#include "metadata/output_metadata.h"
#include "oriented_files.h"
#include "test_support.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>

namespace orm {
namespace {

using test::MakeOrientedJpeg;
using test::ShowsUprightPattern;

int OrientationOf(const QByteArray& bytes) {
    const MemoryByteSource source(
        std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
    return ReadExifOrientation(source);
}

QImage Decoded(const QByteArray& bytes, bool autoTransform) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(autoTransform);
    return reader.read();
}

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

QImage ThumbnailOf(const PropertyItems& items) {
    const PropertyItem* data = FindItem(items, kPropThumbnailData);
    return data ? QImage::fromData(data->value, "JPEG") : QImage();
}

std::optional<uint32_t> OrientationItem(const PropertyItems& items) {
    uint32_t value = 0;
    const PropertyItem* item = FindItem(items, 0x0112);
    return item && ItemNumber(*item, value) ? std::optional(value) : std::nullopt;
}

class UprightPhotos : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        test::WriteAll(path, bytes);
        return path;
    }
    QTemporaryDir dir_;
};

TEST_F(UprightPhotos, EveryOrientationLoadsUprightWithItsSizesAndResolution) {
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE("orientation " + std::to_string(o));
        const QByteArray bytes = MakeOrientedJpeg({QSize(64, 48), o});
        // The made file is what it claims: Qt's reader turns it to the pattern as well.
        ASSERT_TRUE(ShowsUprightPattern(Decoded(bytes, true)));
        ASSERT_EQ(OrientationOf(bytes), o);
        const QString path = Write(QStringLiteral("o%1.jpg").arg(o), bytes);

        QString error;
        const auto source = LoadSourceImage(path, &error);
        ASSERT_TRUE(source) << error.toStdString();
        EXPECT_EQ(source->image.size(), QSize(64, 48));
        EXPECT_EQ(source->FileSize(), QSize(64, 48));
        EXPECT_TRUE(ShowsUprightPattern(source->image));
        EXPECT_DOUBLE_EQ(source->dpiX, 100);
        EXPECT_DOUBLE_EQ(source->dpiY, 200);
        EXPECT_EQ(OrientationItem(source->properties), 1u);
        EXPECT_TRUE(ShowsUprightPattern(ThumbnailOf(source->properties)));
        EXPECT_EQ(ThumbnailOf(source->properties).size(), QSize(40, 30));

        // Sizes read without decoding the pixels are the upright ones too.
        const auto header = ReadImageHeader(bytes);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->size, QSize(64, 48));
        const auto info = ReadImageInfo(path);
        ASSERT_TRUE(info);
        EXPECT_EQ(QSize(info->width, info->height), QSize(64, 48));
        EXPECT_DOUBLE_EQ(ReadUprightResolution(bytes).dpiX, 100);
    }
}

TEST_F(UprightPhotos, AReducedDecodeKeepsTheUprightMinimum) {
    // 640 x 480 upright, stored 480 x 640: a minimum of 160 x 120 allows a quarter of each side.
    for (int o : {1, 6}) {
        const QByteArray bytes = MakeOrientedJpeg({QSize(640, 480), o, false});
        const auto source = DecodeSourceImage(bytes, nullptr, DecodeLimit{160, 120});
        ASSERT_TRUE(source);
        EXPECT_EQ(source->image.size(), QSize(160, 120)) << "orientation " << o;
        EXPECT_EQ(source->FileSize(), QSize(640, 480)) << "orientation " << o;
        EXPECT_TRUE(ShowsUprightPattern(source->image)) << "orientation " << o;
    }
}

TEST_F(UprightPhotos, OutputsAreUprightWithOrientationOneAndAnUprightThumbnail) {
    ORM_REQUIRE_EXIFTOOL();
    // 64 x 48 keeps the source's thumbnail (turned at load); 320 x 240 gets a new one.
    QStringList outputs;
    for (const QSize size : {QSize(64, 48), QSize(320, 240)}) {
        for (int o = 1; o <= 8; ++o) {
            SCOPED_TRACE("orientation " + std::to_string(o) + ", " + std::to_string(size.width()) +
                         " wide");
            const QString name = QStringLiteral("%1w%2").arg(o).arg(size.width());
            const auto source = LoadSourceImage(Write(name + ".jpg", MakeOrientedJpeg({size, o})));
            ASSERT_TRUE(source);
            const QImage half = source->image.scaled(size / 2);
            for (const char* ext : {".jpg", ".tif"}) {
                outputs << dir_.filePath("out" + name + ext);
                ASSERT_TRUE(SaveImage(half, outputs.back(), *source, SaveOptions{72, 90}));
                EXPECT_TRUE(ShowsUprightPattern(Decoded(test::ReadAll(outputs.back()), false)));
            }
        }
    }
    // exiftool once over all outputs: each one's Orientation, and the thumbnails into files.
    QProcess exiftool;
    exiftool.start("exiftool", QStringList{"-n", "-T", "-FileName", "-Orientation"} + outputs);
    ASSERT_TRUE(exiftool.waitForFinished(60000));
    const QStringList lines =
        QString::fromUtf8(exiftool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), outputs.size());
    for (const QString& line : lines) EXPECT_TRUE(line.endsWith("\t1")) << line.toStdString();
    const QStringList jpegs = outputs.filter(".jpg");
    exiftool.start("exiftool",
                   QStringList{"-q", "-b", "-ThumbnailImage", "-w", "%d%f.thumb"} + jpegs);
    ASSERT_TRUE(exiftool.waitForFinished(60000));
    for (QString jpeg : jpegs) {
        const QImage thumb =
            QImage::fromData(test::ReadAll(jpeg.replace(".jpg", ".thumb")), "JPEG");
        EXPECT_TRUE(ShowsUprightPattern(thumb)) << jpeg.toStdString();
    }
}

TEST_F(UprightPhotos, TiffSourcesTurnToo) {
    const QImage upright = test::UprightPattern(QSize(64, 48));
    QByteArray tiff = Encoded(test::StoredPicture(upright, 6), "tiff");
    ASSERT_TRUE(WritePropertyItems(tiff, {MakeShortItem(0x0112, 6)}));
    const auto source = DecodeSourceImage(tiff);
    ASSERT_TRUE(source);
    EXPECT_TRUE(ShowsUprightPattern(source->image));
}

TEST_F(UprightPhotos, TurnedCopiesKeepEveryPixelFormat) {
    // 1-bit (Qt's turns), 16-bit grey and 64-bit colour pictures (kept for same-size copies)
    // turn exactly, colour tables with them; Qt's turn of their 64-bit colours is the reference.
    QImage mono(5, 3, QImage::Format_Mono);
    mono.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50)});
    QImage grey(5, 3, QImage::Format_Grayscale16);
    QImage deep(5, 3, QImage::Format_RGBA64);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            mono.setPixel(x, y, (x * 3 + y) % 2);
            reinterpret_cast<uint16_t*>(grey.scanLine(y))[x] = uint16_t(x * 1000 + y * 7 + 1);
            deep.setPixelColor(x, y, QColor::fromRgba64(x * 999, y * 777, x * y * 55 + 3));
        }
    const int inverse[9] = {0, 1, 2, 3, 4, 5, 8, 7, 6};
    for (const QImage& stored : {mono, grey, deep})
        for (int o = 2; o <= 8; ++o) {
            const QImage turned = UprightImage(stored, o);
            ASSERT_EQ(turned.format(), stored.format()) << "orientation " << o;
            EXPECT_EQ(turned.colorTable(), stored.colorTable());
            EXPECT_EQ(
                turned.convertToFormat(QImage::Format_RGBA64),
                test::StoredPicture(stored.convertToFormat(QImage::Format_RGBA64), inverse[o]))
                << "orientation " << o << ", format " << stored.format();
        }
}

TEST(ExifOrientation, OutputItemsSayUprightWhateverTheSourceSaid) {
    // Items of a source given to the saver without the load's turn (a caller's own items).
    const PropertyItems source = {MakeShortItem(0x0112, 6),
                                  MakeShortItem(0x0112, 8, ExifGroup::kMakerNote)};
    const PropertyItems out = BuildOutputProperties(source, QSize(10, 10), 72).items;
    EXPECT_EQ(OrientationItem(out), 1u);
    // A maker note's tag of the same number is another tag and stays.
    ASSERT_EQ(out.size(), 3u);  // with Software
    EXPECT_EQ(out[1], source[1]);
}

TEST(ExifOrientation, FoundWhereEachFormatKeepsIt) {
    test::TiffBuilder little(false);
    little.AddDirectory({{0x0112, 3, 1, 6}});
    const QByteArray tiff = little.Build();
    EXPECT_EQ(OrientationOf(test::JpegWithExif(tiff)), 6);
    // A JPEG whose first APP1 segment is XMP: the Exif segment after it counts.
    QByteArray xmpFirst = test::JpegWithExif(tiff);
    const QByteArray xmp = QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 33);
    QByteArray segment("\xFF\xE1");
    segment += char((xmp.size() + 2) >> 8), segment += char((xmp.size() + 2) & 0xFF);
    xmpFirst.insert(2, segment + xmp);
    EXPECT_EQ(OrientationOf(xmpFirst), 6);
    // Big-endian, in a TIFF file.
    test::TiffBuilder big(true);
    big.AddDirectory({{0x0100, 3, 1, 10}, {0x0112, 3, 1, 3}});
    EXPECT_EQ(OrientationOf(big.Build()), 3);
    // WebP: an EXIF chunk among the RIFF chunks, here with the identifier some writers add.
    const QByteArray exifChunk = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray webp = QByteArray("RIFF\0\0\0\0WEBPVP8X\x0a\0\0\0", 20) + QByteArray(10, '\0');
    webp += QByteArray("EXIF") + char(exifChunk.size()) + QByteArray(3, '\0') + exifChunk;
    EXPECT_EQ(OrientationOf(webp), 6);
    // PNG: an eXIf chunk (its CRC is not the reader's business).
    QByteArray png = Encoded(QImage(2, 2, QImage::Format_RGB32), "png");
    png.insert(33, QByteArray("\0\0\0", 3) + char(tiff.size()) + "eXIf" + tiff + "CRC!");
    EXPECT_EQ(OrientationOf(png), 6);
}

TEST(ExifOrientation, BadOrMissingValuesMeanAsStored) {
    for (uint32_t value : {0u, 9u, 65535u}) {
        test::TiffBuilder b(false);
        b.AddDirectory({{0x0112, 3, 1, value}});
        EXPECT_EQ(OrientationOf(test::JpegWithExif(b.Build())), 1) << value;
    }
    EXPECT_EQ(OrientationOf(QByteArray("not an image")), 1);
}

}  // namespace
}  // namespace orm
