// Tag texts, the image-info list, colour counts, picture dates and the file-type rules.

#include "metadata/image_info.h"
#include "imageio/image_file_types.h"
#include "imageio/image_info_reader.h"
#include "imageio/output_formats.h"
#include "imageio/qimage_views.h"
#include "metadata/picture_date.h"
#include "metadata/tag_names.h"
#include "test_support.h"

#include <QFile>
#include <QTemporaryDir>

namespace orm {
namespace {

PropertyItem Short(uint32_t id, uint16_t v) {
    return MakeShortItem(id, v);
}

TEST(TagNames, TableAndValueTexts) {
    EXPECT_EQ(NamedTagCount(), 82);
    EXPECT_STREQ(TagName(0x8827), "ISO speed ratings");
    EXPECT_STREQ(TagName(0xa301), "Scene type");
    EXPECT_EQ(TagName(0x0001), nullptr);
    EXPECT_EQ(TagName(0x501B), nullptr);

    EXPECT_EQ(FormatTagValue(0x0106, 2), "RGB");
    EXPECT_EQ(FormatTagValue(0x0106, 6), "YCbCr");
    EXPECT_EQ(FormatTagValue(0x0112, 5), "Horzizontal flip + 90 left");
    EXPECT_EQ(FormatTagValue(0x0112, 9), "");
    EXPECT_EQ(FormatTagValue(0x0128, 3), "Centimeters");
    EXPECT_EQ(FormatTagValue(0x0128, 1), "");
    EXPECT_EQ(FormatTagValue(0x8822, 8), "Landscape");
    EXPECT_EQ(FormatTagValue(0x8822, 0), "Unknown");
    EXPECT_EQ(FormatTagValue(0x9207, 6), "Partial");
    EXPECT_EQ(FormatTagValue(0x9208, 21), "D65");
    EXPECT_EQ(FormatTagValue(0x9208, 4), "Unknown");
    EXPECT_EQ(FormatTagValue(0x9209, 0x19), "Fired");
    EXPECT_EQ(FormatTagValue(0x9209, 0x10), "No flash");
    EXPECT_EQ(FormatTagValue(0xA001, 2), "Uncalibrated");
    EXPECT_EQ(FormatTagValue(0xA001, 0xFFFF), "");
    EXPECT_EQ(FormatTagValue(0xA217, 8), "Color sequential linear");
    EXPECT_EQ(FormatTagValue(0xA217, 6), "Unknown");
    EXPECT_EQ(FormatTagValue(0x0103, 6), "");  // never shown as numbers
    EXPECT_EQ(FormatTagValue(0x011A, 72), "");
    EXPECT_EQ(FormatTagValue(0xA002, 3008), "3008");
    EXPECT_EQ(FormatTagValue(0x8827, 40000), "40000");
    EXPECT_EQ(FormatTagValue(0x1234, 5), "");
}

TEST(ImageInfoList, WhichItemsAreShown) {
    PropertyItems items = {
        MakeAsciiItem(0x010F, QByteArray("Canon\0", 6)),
        Short(0x8827, 40000),              // ISO as SHORT: unsigned
        MakeRationalItem(0x829A, 1, 250),  // rational: not shown
        Short(0x0103, 6),                  // never shown
        Short(0x0001, 3),                  // not in the table
        MakeLongItem(0xA002, 3008),
        Short(0x0112, 6),
        PropertyItem{0x0102, 3, 3, QByteArray("\x08\0\x08\0\x08\0", 6),
                     ExifGroup::kImage},           // 3 values
        MakeAsciiItem(0x0131, QByteArray("", 0)),  // empty text
        MakeAsciiItem(0x013B, QByteArray("J\xC3\xBCrgen\0", 8)),
        MakeAsciiItem(0x8298, QByteArray("\xA9 M\xFCller\0", 10)),  // not UTF-8: Latin-1
    };
    const std::vector<InfoProperty> expected = {
        {"Manufacturer", "Canon"},
        {"ISO speed ratings", "40000"},
        {"Exif image width", "3008"},
        {"Orientation", "90 left"},
        {"Artist", QString::fromUtf8("Jürgen")},
        {"Copyrights", QString::fromUtf8("© Müller")},
    };
    EXPECT_EQ(BuildPropertyList(items), expected);

    const PropertyItems rationalOnly = {MakeRationalItem(0x829A, 1, 60),
                                        MakeRationalItem(0x829D, 28, 10)};
    EXPECT_TRUE(BuildPropertyList(rationalOnly).empty());
}

TEST(ImageInfoList, ColourCountsAndDimensions) {
    EXPECT_EQ(FormatColorCount(1), "2");
    EXPECT_EQ(FormatColorCount(4), "16");
    EXPECT_EQ(FormatColorCount(8), "256");
    EXPECT_EQ(FormatColorCount(16), "65,536");
    EXPECT_EQ(FormatColorCount(24), "16,777,216");
    EXPECT_EQ(FormatColorCount(32), "16,777,216");
    EXPECT_EQ(FormatColorCount(20), "1,048,576");  // inner groups keep their zeros
    EXPECT_EQ(FormatDimensions(3008, 2000), "3008 X 2000");
}

TEST(ImageInfoList, CameraFile) {
    ORM_REQUIRE_CORPUS();
    const auto info = ReadImageInfo(test::CorpusFile("exiv2-nikon-d70.jpg"));
    ASSERT_TRUE(info);
    // Stored 150 x 91 with Orientation 6 ("90 left"): the upright picture is 91 x 150.
    EXPECT_EQ(info->width, 91);
    EXPECT_EQ(info->height, 150);
    EXPECT_EQ(FormatColorCount(info->bitsPerPixel), "16,777,216");
    auto has = [&](const char* name, const char* value) {
        return std::find(info->properties.begin(), info->properties.end(),
                         InfoProperty{name, value}) != info->properties.end();
    };
    EXPECT_TRUE(has("Manufacturer", "NIKON CORPORATION"));
    EXPECT_TRUE(has("Exif image width", "3008"));  // SHORT in a big-endian file
    EXPECT_TRUE(has("Orientation", "90 left"));
    EXPECT_TRUE(has("Date/time original", "2004:03:30 10:43:46"));
    EXPECT_FALSE(ReadImageInfo(test::CorpusFile("zero_width.gif")));
}

TEST(PictureDate, ParsesOnlyUsableDates) {
    const auto d = ParseExifDateTime("2008:05:30 15:56:01");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->date(), QDate(2008, 5, 30));
    EXPECT_EQ(d->time(), QTime(15, 56, 1));
    EXPECT_EQ(d->timeSpec(), Qt::LocalTime);
    EXPECT_FALSE(ParseExifDateTime("2010:13:01 10:00:00"));
    EXPECT_FALSE(ParseExifDateTime("1969:12:31 23:59:59"));
    EXPECT_FALSE(ParseExifDateTime("3001:01:01 00:00:00"));
    EXPECT_FALSE(ParseExifDateTime("2010:01:01 10:00"));
    EXPECT_FALSE(ParseExifDateTime("N13-String-13_ttttt"));
    EXPECT_FALSE(ParseExifDateTime("    :  :     :  :  "));
    const auto rolled = ParseExifDateTime("2010:02:28 24:00:00");  // hour 24 is accepted
    ASSERT_TRUE(rolled);
    EXPECT_EQ(rolled->date(), QDate(2010, 3, 1));
}

TEST(PictureDate, FromFiles) {
    ORM_REQUIRE_CORPUS();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto dateOf = [&](const char* corpus, const char* name) {
        const QString copy = dir.filePath(name);
        QFile::remove(copy);
        QFile::copy(test::CorpusFile(corpus), copy);
        return ReadPictureDate(copy);
    };
    const QDateTime canon(QDate(2008, 5, 30), QTime(15, 56, 1), Qt::LocalTime);
    EXPECT_EQ(dateOf("Canon_40D.jpg", "a.jpg"), canon);
    EXPECT_EQ(dateOf("Canon_40D.jpg", "a.jpeg"), std::nullopt);  // not a date extension
    EXPECT_EQ(dateOf("Canon_40D.jpg", "a.png"), std::nullopt);
    EXPECT_EQ(dateOf("Reagan.tiff", "r.tiff"),
              QDateTime(QDate(2004, 6, 21), QTime(23, 37, 53), Qt::LocalTime));
    EXPECT_EQ(dateOf("Reagan.tiff", "r.TIF"),
              QDateTime(QDate(2004, 6, 21), QTime(23, 37, 53), Qt::LocalTime));
    // Only date/time of IFD0: the third choice.
    EXPECT_EQ(dateOf("exif-ifd-offset.jpg", "o.jpg"),
              QDateTime(QDate(2017, 3, 13), QTime(23, 3, 9), Qt::LocalTime));
    // The first date that exists is not a date: no date (the others are not tried).
    EXPECT_EQ(dateOf("custom_dir_EXIF_GPS.tiff", "c.tif"), std::nullopt);
    EXPECT_EQ(dateOf("hopper_orientation_6.jpg", "h.jpg"), std::nullopt);
}

TEST(ImageFileTypes, ExtensionRules) {
    // The long spellings are image files wherever the short ones are, in any case.
    for (const char* name :
         {"/x/a.JPG", "b.gif", "c.jpeg", "c.JPE", "e.tiff", "f.Webp", "g.png", "h.bmp"})
        EXPECT_TRUE(IsSupportedImage(name)) << name;
    // Only the extension after the last dot counts, and it must match a whole extension.
    for (const char* name :
         {"d.jp", "/some.dir/noext", "x.tif;", "x.jpgx", "x.", "jpg", "a.jpg.txt", ".hidden"})
        EXPECT_FALSE(IsSupportedImage(name)) << name;

    EXPECT_TRUE(IsNavigableImage("a.Png"));
    EXPECT_TRUE(IsNavigableImage("a.tif"));
    EXPECT_TRUE(IsNavigableImage("a.jpeg"));
    EXPECT_TRUE(IsNavigableImage("a.TIFF"));
    EXPECT_TRUE(IsNavigableImage("a.webp"));
    EXPECT_FALSE(IsNavigableImage("a.gif"));
    EXPECT_FALSE(IsNavigableImage("a.GIF"));
    EXPECT_FALSE(IsNavigableImage("a.txt"));

    auto mime = [](const char* path) {
        const OutputFormat* f = OutputFormatForPath(path);
        return f ? QString::fromLatin1(f->mimeType) : QString();
    };
    EXPECT_EQ(mime("photo.jpg"), "image/jpeg");
    EXPECT_EQ(mime("photo.JPG"), "image/jpeg");
    EXPECT_EQ(mime("photo.jpeg"), "image/jpeg");
    EXPECT_EQ(mime("photo.Jpe"), "image/jpeg");
    EXPECT_EQ(mime("scan.tiff"), "image/tiff");
    EXPECT_EQ(mime("scan.TIF"), "image/tiff");
    EXPECT_EQ(mime("a.Gif"), "image/gif");
    EXPECT_EQ(mime("a.WebP"), "image/webp");
    EXPECT_EQ(mime("dir.tif/file"), "");
    EXPECT_EQ(mime("photo.heic"), "");  // read, not written

    // Every written format has its encoder here, is read back as an image, and is named by
    // the command line and the batch settings in the stored order.
    for (const OutputFormat& f : OutputFormatTable()) {
        EXPECT_TRUE(EncoderInstalled(f)) << f.name;
        EXPECT_TRUE(IsSupportedImage(QStringLiteral("a") + WrittenExtension(f))) << f.name;
        const int index = OutputFormatIndexByName(QString::fromLatin1(f.shortName));
        ASSERT_EQ(OutputFormatAtIndex(index), &f);
    }
    EXPECT_EQ(OutputFormatIndexByName("keep"), kKeepFormatIndex);
    EXPECT_EQ(OutputFormatIndexByName("JPEG"), 1);
    EXPECT_EQ(OutputFormatIndexByName("tiff"), 2);
    EXPECT_EQ(OutputFormatIndexByName("heic"), -1);
    EXPECT_EQ(OutputFormatAtIndex(0), nullptr);
    EXPECT_EQ(OutputFormatAtIndex(kOutputFormatCount + 1), nullptr);
    EXPECT_EQ(SaveDialogFilter(),
              "JPEG Files (*.jpg *.jpeg *.jpe);;TIFF Files (*.tif *.tiff);;Bitmap Files "
              "(*.bmp);;GIF Files (*.gif);;PNG Files (*.png);;WebP Files (*.webp)");
}

}  // namespace
}  // namespace orm

namespace orm {
namespace {

// The engine sees a QImage only through views that match its layout; another layout gives an
// empty view the engine refuses, never pixels read the wrong way.
TEST(QImageViews, MatchTheLayoutOrAreEmpty) {
    QImage bgr(7, 3, QImage::Format_BGR888);
    const engine::ConstBgrView view = ConstBgrViewOf(bgr);
    EXPECT_EQ(view.width, 7);
    EXPECT_EQ(view.stride, bgr.bytesPerLine());
    EXPECT_EQ(view.data, bgr.constBits());
    EXPECT_EQ(ConstBgrViewOf(QImage(7, 3, QImage::Format_RGB888)).width, 0);
    EXPECT_EQ(ConstBgrViewOf(QImage()).width, 0);
    EXPECT_EQ(ConstQuadViewOf(QImage(2, 2, QImage::Format_RGBA8888)).width, 2);
    EXPECT_EQ(ConstQuadViewOf(QImage(2, 2, QImage::Format_RGB32)).width, 0);  // no alpha byte
    EXPECT_EQ(ConstByteViewOf(QImage(2, 2, QImage::Format_Mono)).width, 0);   // not whole bytes
}

}  // namespace
}  // namespace orm
