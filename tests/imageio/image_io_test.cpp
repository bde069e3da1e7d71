// Loading and saving image files: decoding from memory, resolution as stated, EXIF items,
// encoders by extension, copied and regenerated metadata (checked with exiftool), safe writing.

#include "imageio/image_loader.h"
#include "imageio/image_saver.h"
#include "imageio/safe_file_writer.h"
#include "metadata/embedded_thumbnail.h"
#include "metadata/exif_properties.h"
#include "metadata/image_depth.h"
#include "metadata/output_metadata.h"
#include "test_support.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

namespace orm {
namespace {

class ImageIo : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QStringList Files() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden); }

    static QImage Gradient(int w, int h) {
        QImage img(w, h, QImage::Format_BGR888);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 128));
        return img;
    }

    QTemporaryDir dir_;
};

TEST_F(ImageIo, LoadsCameraJpegWithItsFacts) {
    ORM_REQUIRE_CORPUS();
    QString error;
    const auto img = LoadSourceImage(test::CorpusFile("Canon_40D.jpg"), &error);
    ASSERT_TRUE(img) << error.toStdString();
    EXPECT_EQ(img->image.format(), QImage::Format_BGR888);
    EXPECT_EQ(img->width(), 100);
    EXPECT_EQ(img->height(), 68);
    EXPECT_EQ(img->bitsPerPixel, 24);
    EXPECT_DOUBLE_EQ(img->dpiX, 72.0);
    const PropertyItem* make = FindItem(img->properties, 0x010F);
    ASSERT_TRUE(make);
    EXPECT_EQ(make->value.left(5), "Canon");
    EXPECT_TRUE(FindItem(img->properties, kPropThumbnailData));
    // Directory order: all IFD0 items come before the EXIF directory's.
    bool seenPhoto = false;
    for (const PropertyItem& item : img->properties) {
        if (item.group == ExifGroup::kPhoto)
            seenPhoto = true;
        EXPECT_FALSE(seenPhoto && item.group == ExifGroup::kImage);
    }
}

TEST_F(ImageIo, FileCanBeDeletedAfterLoading) {
    ORM_REQUIRE_CORPUS();
    const QString copy = Path("gone.jpg");
    ASSERT_TRUE(QFile::copy(test::CorpusFile("exiforg-nikon-e950.jpg"), copy));
    const auto img = LoadSourceImage(copy);
    ASSERT_TRUE(img);
    ASSERT_TRUE(QFile::remove(copy));
    EXPECT_EQ(img->width(), 800);
    EXPECT_FALSE(img->image.copy(0, 0, 10, 10).isNull());
}

TEST_F(ImageIo, ResolutionAsTheFileStatesIt) {
    ORM_REQUIRE_CORPUS();
    // PNG and BMP hold whole dots per metre: 100 dpi is stored as 3937 (99.9998 dpi) and 300 dpi
    // as 11811 (299.9994). A value that a writer of a resolution with at most two decimals
    // stores as this number is that resolution; others keep two decimals.
    const std::pair<int, double> cases[] = {{3937, 100},
                                            {11811, 300},
                                            {2835, 72},
                                            {3780, 96},
                                            {2854, 72.5},
                                            {3000, 76.2},
                                            // Below 1 dpi: no usable resolution, as absent.
                                            {1, 96}};
    for (const auto& [dotsPerMetre, dpi] : cases) {
        QImage img = Gradient(8, 8);
        img.setDotsPerMeterX(dotsPerMetre);
        img.setDotsPerMeterY(dotsPerMetre);
        for (const char* name : {"a.png", "a.bmp"}) {
            ASSERT_TRUE(img.save(Path(name)));
            const auto loaded = LoadSourceImage(Path(name));
            ASSERT_TRUE(loaded) << name;
            EXPECT_DOUBLE_EQ(loaded->dpiX, dpi) << name << " " << dotsPerMetre;
            EXPECT_DOUBLE_EQ(loaded->dpiY, dpi) << name << " " << dotsPerMetre;
        }
    }
    // What the saver writes reads back as it was given.
    for (double dpi : {100.0, 300.0, 72.5, 600.0, 2400.0}) {
        ASSERT_TRUE(SaveImage(Gradient(8, 8), Path("s.png"), SaveSource{}, SaveOptions{dpi, 75}));
        ASSERT_TRUE(SaveImage(Gradient(8, 8), Path("s.bmp"), SaveSource{}, SaveOptions{dpi, 75}));
        EXPECT_DOUBLE_EQ(LoadSourceImage(Path("s.png"))->dpiX, dpi);
        EXPECT_DOUBLE_EQ(LoadSourceImage(Path("s.bmp"))->dpiX, dpi);
    }
    const auto tiff = LoadSourceImage(test::CorpusFile("rgb-3c-8b.tiff"));
    ASSERT_TRUE(tiff);
    const auto gif = LoadSourceImage(test::CorpusFile("hopper.gif"));
    ASSERT_TRUE(gif);
    EXPECT_DOUBLE_EQ(gif->dpiX, 96.0);
    EXPECT_EQ(gif->bitsPerPixel, 8);
}

TEST_F(ImageIo, BitsPerPixelAreTheFilesOwn) {
    ORM_REQUIRE_CORPUS();
    // The depth the file stores, whatever format the decoder hands the pixels out in.
    const std::pair<const char*, int> cases[] = {
        {"palette-1c-4b.tiff", 4},
        {"palette-1c-8b.tiff", 8},
        {"miniswhite-1c-1b.tiff", 1},
        {"minisblack-1c-16b.tiff", 16},
        {"rgb-3c-16b.tiff", 48},
        {"rgb-3c-8b.tiff", 24},
        {"minisblack-2c-8b-alpha.tiff", 16},
        {"bmpsuite-g-rgb16-565.bmp", 16},
        {"bmpsuite-g-rgb16.bmp", 16},
        {"bmpsuite-g-pal4.bmp", 4},
        {"bmpsuite-g-pal1.bmp", 1},
        {"bmpsuite-g-rgb32.bmp", 32},
        {"bmpsuite-g-pal8os2.bmp", 8},
        {"pngsuite-basn3p04.png", 4},
        {"pngsuite-basn0g16.png", 16},
        {"pngsuite-basn6a16.png", 64},
        {"pngsuite-basn2c08.png", 24},
        {"pngsuite-basn4a08.png", 16},
        {"testimggray.jpg", 8},
        {"pil_sample_cmyk.jpg", 32},
        {"testimgp.jpg", 24},
        {"hopper.gif", 8},
    };
    for (const auto& [name, bits] : cases) {
        const auto img = LoadSourceImage(test::CorpusFile(name));
        ASSERT_TRUE(img) << name;
        EXPECT_EQ(img->bitsPerPixel, bits) << name;
    }
    // Headers that end early or hold no usable depth give nothing (the decoded format counts).
    auto bitsOf = [](const QByteArray& bytes) {
        return ReadStoredBitsPerPixel(MemoryByteSource(
            std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()))));
    };
    EXPECT_EQ(bitsOf(QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF", 11)), std::nullopt);
    EXPECT_EQ(bitsOf(QByteArray("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x10\x00\x10\x03", 12)), 24);
    EXPECT_EQ(bitsOf(QByteArray("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x10", 9)), std::nullopt);
    EXPECT_EQ(bitsOf(QByteArray("\xFF\xD8\xFF\xDA\x00\x08", 6)), std::nullopt);
    QByteArray bmp = test::ReadAll(test::CorpusFile("bmpsuite-g-rgb24.bmp"));
    bmp[28] = 0;
    EXPECT_EQ(bitsOf(bmp), std::nullopt);
    EXPECT_EQ(bitsOf(bmp.left(30)), std::nullopt);
    QByteArray png = test::ReadAll(test::CorpusFile("pngsuite-basn2c08.png"));
    png[25] = 5;  // no such colour type
    EXPECT_EQ(bitsOf(png), std::nullopt);
}

TEST_F(ImageIo, TheSameSizeCopyKeepsTheSourcesPixelFormat) {
    ORM_REQUIRE_CORPUS();
    auto storedBits = [](const QString& path) {
        const QByteArray bytes = test::ReadAll(path);
        return ReadStoredBitsPerPixel(MemoryByteSource(
            std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()))));
    };
    // (source, output, the depth the output keeps)
    const std::tuple<const char*, const char*, int> cases[] = {
        {"pngsuite-basn3p04.png", "p4.png", 8},    {"pngsuite-basn0g16.png", "g16.png", 16},
        {"pngsuite-basn2c16.png", "c16.png", 48},  {"rgb-3c-16b.tiff", "c16.tif", 48},
        {"minisblack-1c-16b.tiff", "g16.tif", 16}, {"miniswhite-1c-1b.tiff", "b1.tif", 1},
        {"palette-1c-8b.tiff", "p8.tif", 8},       {"bmpsuite-g-pal1.bmp", "b1.bmp", 1},
        {"bmpsuite-g-pal8.bmp", "p8.bmp", 8},      {"bmpsuite-g-pal4.bmp", "p4.png", 8},
        {"pngsuite-basn3p01.png", "p1.tif", 8},  // two colours, not black and white
    };
    for (const auto& [name, out, bits] : cases) {
        const auto src = LoadSourceImage(test::CorpusFile(name));
        ASSERT_TRUE(src) << name;
        ASSERT_TRUE(SaveImage(src->image, Path(out), *src, SaveOptions{72, 90})) << name;
        EXPECT_EQ(storedBits(Path(out)), bits) << name << " as " << out;
        // Every sample as it was, at the file's own precision.
        QImage original(test::CorpusFile(name)), back(Path(out));
        const QImage::Format wide =
            original.depth() > 32 || original.format() == QImage::Format_Grayscale16
                ? QImage::Format_RGBX64
                : QImage::Format_RGB32;
        // (Images compare equal only with the same colour space; the samples are what counts.)
        auto samples = [wide](const QImage& i) {
            QImage s = i.convertToFormat(wide);
            s.setColorSpace(QColorSpace());
            return s;
        };
        EXPECT_EQ(samples(back), samples(original)) << name << " as " << out;
    }
    // A grey source handed over as 8-bit grey (the window's same-size copy) keeps its 16 bits.
    const auto grey = LoadSourceImage(test::CorpusFile("pngsuite-basn0g16.png"));
    ASSERT_TRUE(grey);
    ASSERT_TRUE(SaveImage(grey->image.convertToFormat(QImage::Format_Grayscale8), Path("grey.png"),
                          *grey, SaveOptions{72, 90}));
    EXPECT_EQ(storedBits(Path("grey.png")), 16);

    // A GIF of a palette source keeps its colours exactly.
    const auto pal = LoadSourceImage(test::CorpusFile("bmpsuite-g-pal4.bmp"));
    ASSERT_TRUE(pal);
    ASSERT_TRUE(SaveImage(pal->image, Path("p4.gif"), *pal, SaveOptions{72, 90}));
    EXPECT_EQ(
        QImage(Path("p4.gif")).convertToFormat(QImage::Format_RGB32),
        QImage(test::CorpusFile("bmpsuite-g-pal4.bmp")).convertToFormat(QImage::Format_RGB32));

    // Other pixels than the source's are written as 24-bit colour.
    QImage changed = pal->image.copy();
    changed.setPixel(0, 0, qRgb(1, 2, 3));
    ASSERT_TRUE(SaveImage(changed, Path("changed.png"), *pal, SaveOptions{72, 90}));
    EXPECT_EQ(storedBits(Path("changed.png")), 24);
}

TEST_F(ImageIo, BrokenFilesAreRefusedWithAReason) {
    ORM_REQUIRE_CORPUS();
    for (const char* name : {"zero_width.gif", "bmpsuite-b-shortfile.bmp", "pngsuite-xs1n0g01.png",
                             "pngsuite-xd0n2c08.png", "pngsuite-xdtn0g01.png",
                             "pngsuite-xhdn0g08.png", "pngsuite-xcrn0g04.png"}) {
        QString error;
        EXPECT_FALSE(LoadSourceImage(test::CorpusFile(name), &error)) << name;
        EXPECT_FALSE(error.isEmpty()) << name;
    }
    QString error;
    EXPECT_FALSE(LoadSourceImage(Path("missing.jpg"), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(ImageIo, ExtensionsChooseTheEncoder) {
    const QImage img = Gradient(40, 30);
    QString error;
    EXPECT_FALSE(SaveImage(img, Path("photo.pcx"), SaveSource{}, SaveOptions{}, &error));
    EXPECT_TRUE(error.isEmpty());  // silent refusal
    EXPECT_FALSE(QFile::exists(Path("photo.pcx")));
    const std::pair<const char*, const char*> cases[] = {
        {"a.JPG", "jpeg"},  {"b.jpg", "jpeg"}, {"c.bmp", "bmp"},
        {"d.GIF", "gif"},   {"e.tif", "tiff"}, {"f.png", "png"},
        {"g.jpeg", "jpeg"}, {"h.JPE", "jpeg"}, {"i.tiff", "tiff"}};
    for (const auto& [name, format] : cases) {
        ASSERT_TRUE(SaveImage(img, Path(name), SaveSource{}, SaveOptions{}, &error)) << name;
        QImageReader reader(Path(name));
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format(), QByteArray(format)) << name;
        EXPECT_EQ(reader.size(), QSize(40, 30)) << name;
    }
    // Nothing else was left in the folder.
    EXPECT_EQ(Files().size(), 9);
}

TEST_F(ImageIo, GifIsQuantisedToAPalette) {
    const QImage img = Gradient(64, 48);
    ASSERT_TRUE(SaveImage(img, Path("g.gif"), SaveSource{}, SaveOptions{}));
    const QImage back(Path("g.gif"));
    ASSERT_FALSE(back.isNull());
    QSet<QRgb> colours;
    for (int y = 0; y < back.height(); ++y)
        for (int x = 0; x < back.width(); ++x) colours.insert(back.pixel(x, y));
    EXPECT_LE(colours.size(), 256);
    const QRgb a = img.pixel(30, 20), b = back.pixel(30, 20);
    EXPECT_NEAR(qRed(a), qRed(b), 24);
    EXPECT_NEAR(qGreen(a), qGreen(b), 24);
}

TEST_F(ImageIo, SourceWithoutMetadataGetsNoSoftwareItem) {
    ORM_REQUIRE_EXIFTOOL();
    ASSERT_TRUE(SaveImage(Gradient(50, 50), Path("plain.jpg"), SaveSource{QSize(50, 50), {}},
                          SaveOptions{72, 90}));
    EXPECT_EQ(test::Exiftool(Path("plain.jpg"), "Software"), std::nullopt);
    EXPECT_EQ(test::Exiftool(Path("plain.jpg"), "JFIF:XResolution"), "72");
}

TEST_F(ImageIo, CameraMetadataIsCopiedWithNewResolutionSizeAndSoftware) {
    ORM_REQUIRE_CORPUS();
    ORM_REQUIRE_EXIFTOOL();
    const auto src = LoadSourceImage(test::CorpusFile("exiv2-nikon-d70.jpg"));
    ASSERT_TRUE(src);
    const QImage out = Gradient(120, 80);
    const QString path = Path("out.jpg");
    ASSERT_TRUE(
        SaveImage(out, path, SaveSource{QSize(3008, 2000), src->properties}, SaveOptions{72, 85}));
    EXPECT_EQ(test::Exiftool(path, "Software"), "ORVEN Imaging  Resizer");
    EXPECT_EQ(test::Exiftool(path, "Make"), "NIKON CORPORATION");
    EXPECT_EQ(test::Exiftool(path, "DateTimeOriginal", false), "2004:03:30 10:43:46");
    EXPECT_EQ(test::Exiftool(path, "IFD0:XResolution"), "72");
    EXPECT_EQ(test::Exiftool(path, "IFD0:YResolution"), "72");
    EXPECT_EQ(test::Exiftool(path, "IFD0:ResolutionUnit"), "2");
    EXPECT_EQ(test::Exiftool(path, "JFIF:XResolution"), "72");
    // The stated pixel size is the output's, not the camera's 3008 x 2000.
    EXPECT_EQ(test::Exiftool(path, "ExifImageWidth"), "120");
    EXPECT_EQ(test::Exiftool(path, "ExifImageHeight"), "80");
    // A source above 200 x 200 with a thumbnail gets a new one, a twentieth of its size.
    ASSERT_TRUE(test::Exiftool(path, "ThumbnailLength"));
    const QImage thumb = test::ExiftoolThumbnail(path);
    EXPECT_EQ(thumb.size(), QSize(150, 100));

    // PNG and WebP carry the items too; BMP and GIF carry none.
    for (const char* name : {"out.png", "out.webp"}) {
        ASSERT_TRUE(SaveImage(out, Path(name), SaveSource{QSize(3008, 2000), src->properties},
                              SaveOptions{72, 85}));
        EXPECT_EQ(test::Exiftool(Path(name), "Make"), "NIKON CORPORATION") << name;
        EXPECT_EQ(test::Exiftool(Path(name), "Software"), "ORVEN Imaging  Resizer") << name;
        EXPECT_EQ(test::Exiftool(Path(name), "ExifImageWidth"), "120") << name;
    }
    ASSERT_TRUE(SaveImage(out, Path("out.bmp"), SaveSource{QSize(3008, 2000), src->properties},
                          SaveOptions{72, 85}));
    EXPECT_EQ(test::Exiftool(Path("out.bmp"), "Make"), std::nullopt);
}

TEST_F(ImageIo, TheColourProfileIsCarriedIntoEveryFormatThatHoldsOne) {
    ORM_REQUIRE_CORPUS();
    ORM_REQUIRE_EXIFTOOL();
    // A camera JPEG with an embedded profile (3144 bytes), and a TIFF with one in tag 34675.
    for (const char* name : {"Canon_40D.jpg", "exifsamples-Tless0.tiff"}) {
        const QString source = test::CorpusFile(name);
        const QByteArray profile = test::ExiftoolBinary(source, "ICC_Profile");
        ASSERT_GT(profile.size(), 500) << name;
        const auto src = LoadSourceImage(source);
        ASSERT_TRUE(src) << name;
        const PropertyItem* item = FindItem(src->properties, kPropIccProfile);
        ASSERT_TRUE(item) << name;
        EXPECT_EQ(item->value, profile) << name;
        for (const char* ext : {"jpg", "png", "tif", "webp"}) {
            const QString out = Path(QString("out.%1").arg(ext));
            // Resized (new pixels) and at the source's own size.
            ASSERT_TRUE(SaveImage(Gradient(40, 30), out, *src, SaveOptions{72, 85})) << ext;
            EXPECT_EQ(test::ExiftoolBinary(out, "ICC_Profile"), profile) << name << " as " << ext;
            if (QLatin1String(ext) == QLatin1String("png"))  // a profile chunk names its profile
                EXPECT_EQ(test::Exiftool(out, "ProfileName"), "ICC Profile") << name;
            ASSERT_TRUE(SaveImage(src->image, out, *src, SaveOptions{72, 85})) << ext;
            EXPECT_EQ(test::ExiftoolBinary(out, "ICC_Profile"), profile) << name << " as " << ext;
            // Pixels are not converted: the same-size PNG holds the decoded pixels exactly.
            if (QLatin1String(ext) == QLatin1String("png")) {
                QImage back = QImage(out).convertToFormat(QImage::Format_BGR888),
                       decoded = src->image;
                back.setColorSpace(QColorSpace());
                decoded.setColorSpace(QColorSpace());
                EXPECT_EQ(back, decoded) << name;
            }
        }
    }
}

TEST_F(ImageIo, MakerNotesAreLaidOutAnewOrLeftOut) {
    ORM_REQUIRE_CORPUS();
    ORM_REQUIRE_EXIFTOOL();
    // Maker notes hold offsets from their own place in the file: copied as bytes into a new
    // layout they point at the wrong data. The ones exiv2 understands are written anew with
    // every value as it was; one it cannot lay out is left out.
    auto makerNotes = [](const QString& file) {
        QProcess p;
        p.start("exiftool",
                {"-a", "-G1", "-s", "-MakerNotes:all", "-x", "PreviewImageStart", file});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    for (const char* name :
         {"exiforg-nikon-e950.jpg", "exiv2-canon-eos-d30.jpg", "exiv2-nikon-d70.jpg"}) {
        const QString source = test::CorpusFile(name);
        const auto src = LoadSourceImage(source);
        ASSERT_TRUE(src) << name;
        const QString expected = makerNotes(source);
        ASSERT_GT(expected.count('\n'), 5) << name;
        for (const char* ext : {"jpg", "tif"}) {
            const QString out = Path(QString("out.%1").arg(ext));
            ASSERT_TRUE(SaveImage(Gradient(60, 40), out, *src, SaveOptions{72, 85}));
            EXPECT_EQ(makerNotes(out), expected) << name << " as " << ext;
            EXPECT_EQ(test::Exiftool(out, "Warning"), std::nullopt) << name << " as " << ext;
        }
    }
    // A maker note exiv2 does not know (Kodak DC210) cannot be laid out anew: it is left out.
    const auto kodak = LoadSourceImage(test::CorpusFile("exiforg-kodak-dc210.jpg"));
    ASSERT_TRUE(kodak);
    ASSERT_TRUE(FindItem(kodak->properties, 0x927C));
    ASSERT_TRUE(SaveImage(Gradient(60, 40), Path("kodak.jpg"), *kodak, SaveOptions{72, 85}));
    EXPECT_EQ(test::Exiftool(Path("kodak.jpg"), "MakerNoteUnknownBinary"), std::nullopt);
    EXPECT_FALSE(FindItem(ReadPropertyItems(test::ReadAll(Path("kodak.jpg"))), 0x927C));
    EXPECT_EQ(test::Exiftool(Path("kodak.jpg"), "Make"), "Eastman Kodak Company");
}

TEST_F(ImageIo, AMakerNoteThatDoesNotReadBackIsLeftOutAndTheLogSaysSo) {
    ORM_REQUIRE_CORPUS();
    ORM_REQUIRE_EXIFTOOL();
    auto makerEntries = [](const QByteArray& file) {
        int n = 0;
        for (const PropertyItem& item : ReadPropertyItems(file))
            n += item.group == ExifGroup::kMakerNote;
        return n;
    };
    const auto d70 = LoadSourceImage(test::CorpusFile("exiv2-nikon-d70.jpg"));
    ASSERT_TRUE(d70);
    const int entries = makerEntries(test::ReadAll(test::CorpusFile("exiv2-nikon-d70.jpg")));
    ASSERT_GT(entries, 50);
    // Its preview sub-directory moves with the new layout: the note reads back and is kept.
    QString error, note;
    const QByteArray kept = EncodeImageFile(Gradient(60, 40), Path("d70.jpg"),
                                            SaveSource{d70->image.size(), d70->properties},
                                            SaveOptions{72, 85}, &error, &note);
    ASSERT_FALSE(kept.isEmpty()) << error.toStdString();
    EXPECT_TRUE(note.isEmpty()) << note.toStdString();
    EXPECT_EQ(makerEntries(kept), entries);

    // An offset exiv2 keeps as a plain number (a scanner's sub-directory) would still point into
    // the source's layout, where readers find no directory: the note is left out, the rest kept.
    PropertyItem scan = MakeLongItem(0x0E10, 1400);
    scan.group = ExifGroup::kMakerNote;
    scan.makerDirectory = "Nikon3";
    PropertyItems stale = d70->properties;
    stale.push_back(scan);
    QByteArray jpeg =
        EncodeImageFile(Gradient(60, 40), Path("plain.jpg"), SaveSource{}, SaveOptions{72, 85});
    ASSERT_TRUE(WritePropertyItems(jpeg, stale, nullptr, &note));
    EXPECT_FALSE(note.isEmpty());
    EXPECT_EQ(makerEntries(jpeg), 0);
    const QString staleFile = Path("stale.jpg");
    ASSERT_TRUE(WriteFileSafely(staleFile, jpeg));
    EXPECT_EQ(test::Exiftool(staleFile, "Make"), "NIKON CORPORATION");
    EXPECT_EQ(test::Exiftool(staleFile, "Warning"), std::nullopt);

    // A truncated Olympus note: written, but its header does not read back.
    const auto olympus = LoadSourceImage(test::CorpusFile("olympus_truncated.jpg"));
    ASSERT_TRUE(olympus);
    note.clear();
    const QByteArray dropped = EncodeImageFile(
        Gradient(60, 40), Path("olympus.jpg"),
        SaveSource{olympus->image.size(), olympus->properties}, SaveOptions{72, 85}, &error, &note);
    ASSERT_FALSE(dropped.isEmpty()) << error.toStdString();
    EXPECT_EQ(note, QStringLiteral(
                        "the camera's maker note did not read back as written and was left out"));
    EXPECT_EQ(makerEntries(dropped), 0);
}

TEST_F(ImageIo, ThumbnailRules) {
    ORM_REQUIRE_CORPUS();
    ORM_REQUIRE_EXIFTOOL();
    const auto src = LoadSourceImage(test::CorpusFile("exiforg-nikon-e950.jpg"));
    ASSERT_TRUE(src);
    const PropertyItem* original = FindItem(src->properties, kPropThumbnailData);
    ASSERT_TRUE(original);

    // 1000 x 800 camera picture: a new 50 x 40 thumbnail made from the resized image.
    ASSERT_TRUE(SaveImage(Gradient(500, 400), Path("big.jpg"),
                          SaveSource{QSize(1000, 800), src->properties}, SaveOptions{}));
    const QImage thumb = test::ExiftoolThumbnail(Path("big.jpg"));
    EXPECT_EQ(thumb.size(), QSize(50, 40));
    EXPECT_LT(qRed(thumb.pixel(2, 20)), qRed(thumb.pixel(47, 20)));  // made from the output
    EXPECT_EQ(test::Exiftool(Path("big.jpg"), "IFD1:Compression"), "6");

    // 150 x 1000: not above 200 in both directions, the copied thumbnail stays as it was.
    ASSERT_TRUE(SaveImage(Gradient(75, 500), Path("tall.jpg"),
                          SaveSource{QSize(150, 1000), src->properties}, SaveOptions{}));
    const PropertyItems written = ReadPropertyItems(test::ReadAll(Path("tall.jpg")));
    const PropertyItem* kept = FindItem(written, kPropThumbnailData);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->value, original->value);
}

TEST_F(ImageIo, ATiffCarriesItsThumbnailAsAPageReadersTake) {
    ORM_REQUIRE_CORPUS();
    // A TIFF's second directory is a page to TIFF readers: the thumbnail is written there as an
    // uncompressed RGB reduced-resolution page, never as an EXIF-style JPEG directory without
    // pixel format (which readers warn about or refuse).
    const auto src = LoadSourceImage(test::CorpusFile("exiforg-nikon-e950.jpg"));
    ASSERT_TRUE(src);
    const PropertyItem* original = FindItem(src->properties, kPropThumbnailData);
    ASSERT_TRUE(original);
    const QImage thumb =
        QImage::fromData(original->value, "jpeg").convertToFormat(QImage::Format_RGB888);
    ASSERT_FALSE(thumb.isNull());

    // 150 x 1000: the copied thumbnail. The first page is the picture.
    ASSERT_TRUE(SaveImage(Gradient(75, 500), Path("tall.tif"),
                          SaveSource{QSize(150, 1000), src->properties}, SaveOptions{}));
    EXPECT_EQ(QImage(Path("tall.tif")).size(), QSize(75, 500));
    const std::string tall = Path("tall.tif").toStdString();
    const EmbeddedThumbnail page =
        ReadTiffThumbnail(tall, uint32_t(thumb.width()), uint32_t(thumb.height()));
    ASSERT_TRUE(page.HasPicture());
    ASSERT_EQ(QSize(int(page.width), int(page.height)), thumb.size());
    for (int y : {0, thumb.height() / 2, thumb.height() - 1})
        for (int x : {0, thumb.width() / 3, thumb.width() - 1}) {
            const uint8_t* bgr = test::DibPixel(page.dib, x, y);
            EXPECT_EQ(qRgb(bgr[2], bgr[1], bgr[0]), thumb.pixel(x, y)) << x << "," << y;
        }
    // No EXIF-style JPEG thumbnail directory is left in a TIFF.
    EXPECT_FALSE(FindItem(ReadPropertyItems(test::ReadAll(Path("tall.tif"))), kPropThumbnailData));

    // 1000 x 800: a new thumbnail, a twentieth of the source, made from the output.
    ASSERT_TRUE(SaveImage(Gradient(500, 400), Path("big.tif"),
                          SaveSource{QSize(1000, 800), src->properties}, SaveOptions{}));
    const EmbeddedThumbnail made = ReadTiffThumbnail(Path("big.tif").toStdString(), 50, 40);
    ASSERT_TRUE(made.HasPicture());
    EXPECT_EQ(QSize(int(made.width), int(made.height)), QSize(50, 40));
    EXPECT_LT(test::DibPixel(made.dib, 2, 20)[2], test::DibPixel(made.dib, 47, 20)[2]);

    // A JPEG output keeps the copied thumbnail as it was.
    ASSERT_TRUE(SaveImage(Gradient(75, 500), Path("tall.jpg"),
                          SaveSource{QSize(150, 1000), src->properties}, SaveOptions{}));
    const PropertyItems written = ReadPropertyItems(test::ReadAll(Path("tall.jpg")));
    const PropertyItem* kept = FindItem(written, kPropThumbnailData);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->value, original->value);
}

TEST_F(ImageIo, ResolutionIsWrittenAsGivenWhateverTheSource) {
    ORM_REQUIRE_CORPUS();
    ORM_REQUIRE_EXIFTOOL();
    const auto src = LoadSourceImage(test::CorpusFile("Reagan.tiff"));
    ASSERT_TRUE(src);
    ASSERT_TRUE(SaveImage(Gradient(60, 40), Path("r.tif"), *src, SaveOptions{72, 75}));
    EXPECT_EQ(test::Exiftool(Path("r.tif"), "IFD0:XResolution"), "72");
    EXPECT_EQ(test::Exiftool(Path("r.tif"), "IFD0:YResolution"), "72");
    EXPECT_EQ(test::Exiftool(Path("r.tif"), "ImageWidth"), "60");
    EXPECT_EQ(test::Exiftool(Path("r.tif"), "Software"), "ORVEN Imaging  Resizer");
    const QImage back(Path("r.tif"));
    EXPECT_EQ(back.size(), QSize(60, 40));

    ASSERT_TRUE(SaveImage(Gradient(60, 40), Path("p.tif"), SaveSource{}, SaveOptions{300.5, 75}));
    EXPECT_EQ(test::Exiftool(Path("p.tif"), "IFD0:XResolution"), "300.5");
    ASSERT_TRUE(SaveImage(Gradient(60, 40), Path("p.png"), SaveSource{}, SaveOptions{72, 75}));
    const auto png = LoadSourceImage(Path("p.png"));
    ASSERT_TRUE(png);
    EXPECT_NEAR(png->dpiX, 72.0, 0.01);
}

TEST_F(ImageIo, JpegDensityHoldsEveryResolution) {
    // The JFIF header holds 16-bit densities: a resolution above 65535 dpi must not wrap, and
    // whole dots per inch come back as they were written.
    for (double dpi : {72.0, 33.0, 2400.0}) {
        const QString path = Path(QString("d%1.jpg").arg(dpi));
        ASSERT_TRUE(SaveImage(Gradient(20, 20), path, SaveSource{}, SaveOptions{dpi, 75}));
        const auto back = LoadSourceImage(path);
        ASSERT_TRUE(back);
        EXPECT_DOUBLE_EQ(back->dpiX, dpi);
        EXPECT_DOUBLE_EQ(back->dpiY, dpi);
    }
    ASSERT_TRUE(
        SaveImage(Gradient(20, 20), Path("huge.jpg"), SaveSource{}, SaveOptions{100000, 75}));
    const auto huge = LoadSourceImage(Path("huge.jpg"));
    ASSERT_TRUE(huge);
    EXPECT_NEAR(huge->dpiX, 100000, 1.5);

    QByteArray notJpeg("\x89PNG\r\n\x1a\n and more bytes");
    const QByteArray before = notJpeg;
    EXPECT_FALSE(SetJfifDensity(notJpeg, 300));
    EXPECT_EQ(notJpeg, before);
}

TEST_F(ImageIo, FailedSaveLeavesTheOldFileAndNothingElse) {
    const QString target = Path("keep.jpg");
    test::WriteAll(target, "old contents");
    QString error;
    EXPECT_FALSE(SaveImage(QImage(), target, SaveSource{}, SaveOptions{}, &error));
    EXPECT_EQ(error, QString("Can't save file %1.").arg(target));
    EXPECT_EQ(test::ReadAll(target), "old contents");
    EXPECT_EQ(Files(), QStringList{"keep.jpg"});

    EXPECT_FALSE(SaveImage(Gradient(10, 10), Path("no/such/folder/x.png"), SaveSource{},
                           SaveOptions{}, &error));
    // The message names the file, then the system's reason.
    const QString head = QString("Can't save file %1.\n").arg(Path("no/such/folder/x.png"));
    EXPECT_TRUE(error.startsWith(head)) << error.toStdString();
    EXPECT_GT(error.size(), head.size());

    // The target is a folder: the finished file cannot replace it; no temporary file remains.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("taken.png"));
    EXPECT_FALSE(
        SaveImage(Gradient(10, 10), Path("taken.png"), SaveSource{}, SaveOptions{}, &error));
    EXPECT_EQ(Files(), QStringList{"keep.jpg"});
}

TEST_F(ImageIo, SafeFileWriterReplacesCompletelyOrNotAtAll) {
    const QString target = Path("data.bin");
    ASSERT_TRUE(WriteFileSafely(target, "first"));
    ASSERT_TRUE(
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ASSERT_TRUE(WriteFileSafely(target, "second"));
    EXPECT_EQ(test::ReadAll(target), "second");
    EXPECT_EQ(QFile::permissions(target) &
                  (QFile::ReadUser | QFile::WriteUser | QFile::ExeUser | QFile::ReadGroup |
                   QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
    {
        SafeFileWriter writer(target);
        ASSERT_TRUE(writer.Open());
        ASSERT_TRUE(writer.Write("abandoned"));
    }  // never committed
    EXPECT_EQ(test::ReadAll(target), "second");
    EXPECT_EQ(Files(), QStringList{"data.bin"});
    QString error;
    EXPECT_FALSE(WriteFileSafely(Path("missing/x.bin"), "x", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(OutputMetadata, ATiffKeepsWhatTiffReadersTake) {
    PropertyItem gainControl = MakeShortItem(0xA407, 1, ExifGroup::kPhoto);
    PropertyItem empty{0x920A, 5, 0, {}, ExifGroup::kPhoto};
    PropertyItem makerEntry = MakeShortItem(0x0001, 7);
    makerEntry.group = ExifGroup::kMakerNote;
    makerEntry.makerDirectory = "Canon";
    const PropertyItems source = {
        MakeAsciiItem(0x010F, "Canon"),
        MakeLongItem(0xC4A5, 1),                                      // PrintIM: private
        MakeShortItem(0x0213, 1),                                     // YCbCrPositioning: JPEG's
        MakeShortItem(kPropPixelXDimension, 640, ExifGroup::kPhoto),  // readers want LONG
        gainControl,
        empty,
        MakeAsciiItem(0xEA1C, "pad", ExifGroup::kPhoto),  // not of the standard
        MakeAsciiItem(0x0001, "R98", ExifGroup::kInterop),
        MakeAsciiItem(0x1D, QByteArray("2008:05:08 09:54:28\0", 20), ExifGroup::kGps),
        MakeAsciiItem(0x01, "N", ExifGroup::kGps),
        makerEntry,
        MakeShortItem(kPropThumbnailCompression, 6, ExifGroup::kThumbnail),
    };
    const PropertyItems expected = {
        MakeAsciiItem(0x010F, "Canon"),
        MakeLongItem(kPropPixelXDimension, 640, ExifGroup::kPhoto),
        MakeAsciiItem(0x1D, "2008:05:08", ExifGroup::kGps),
        MakeAsciiItem(0x01, "N", ExifGroup::kGps),
        makerEntry,
    };
    EXPECT_EQ(TiffOutputItems(source), expected);
}

TEST(OutputMetadata, ItemsForTheOutput) {
    const PropertyItems source = {
        MakeShortItem(0x0100, 4000),
        MakeRationalItem(kPropXResolution, 180, 1),
        MakeShortItem(0x0111, 8),
        MakeShortItem(0x0212, 2),  // the source's chroma subsampling, not the output's
        MakeShortItem(kPropResolutionUnit, 3),
        MakeAsciiItem(kPropSoftware, "Camera FW 1.0"),
        MakeShortItem(kPropPixelXDimension, 3008, ExifGroup::kPhoto),
        MakeLongItem(kPropPixelYDimension, 2000, ExifGroup::kPhoto),
    };
    const OutputProperties out = BuildOutputProperties(source, QSize(70000, 40), 72.25);
    const PropertyItems expected = {
        MakeLongItem(0x0100, 70000),
        MakeRationalItem(kPropXResolution, 289, 4),
        MakeShortItem(kPropResolutionUnit, 2),
        MakeAsciiItem(kPropSoftware, "ORVEN Imaging  Resizer"),
        MakeLongItem(kPropPixelXDimension, 70000, ExifGroup::kPhoto),
        MakeLongItem(kPropPixelYDimension, 40, ExifGroup::kPhoto),
    };
    EXPECT_EQ(out.items, expected);
    EXPECT_FALSE(out.sourceHadThumbnail);
    EXPECT_EQ(MakeAsciiItem(kPropSoftware, kSoftwareText).count, 22u);
    EXPECT_TRUE(BuildOutputProperties({}, QSize(10, 10), 96).items.empty());

    // A colour filter array pattern is copied when its cells fit in it (sizes in either byte
    // order), left out when it claims more than it holds.
    const auto cfa = [](QByteArray bytes) {
        return PropertyItem{0xA302, 7, uint32_t(bytes.size()), bytes, ExifGroup::kPhoto};
    };
    const PropertyItem little = cfa(QByteArray("\x02\x00\x02\x00\x00\x01\x01\x02", 8));
    const PropertyItem big = cfa(QByteArray("\x00\x02\x00\x02\x00\x01\x01\x02", 8));
    const PropertyItem claims = cfa(QByteArray("\x02\x00\x03\x00\x00\x01\x01\x02", 8));
    const PropertyItem tiny = cfa(QByteArray("\x01\x00", 2));
    EXPECT_EQ(BuildOutputProperties({little, big, claims, tiny}, QSize(10, 10), 96).items,
              (PropertyItems{little, big, MakeAsciiItem(kPropSoftware, kSoftwareText)}));

    EXPECT_EQ(RegeneratedThumbnailSize(QSize(1000, 800)), QSize(50, 40));
    EXPECT_EQ(RegeneratedThumbnailSize(QSize(210, 30)), QSize(10, 2));
    EXPECT_TRUE(ShouldRegenerateThumbnail(true, QSize(201, 201)));
    EXPECT_FALSE(ShouldRegenerateThumbnail(true, QSize(150, 1000)));
    EXPECT_FALSE(ShouldRegenerateThumbnail(false, QSize(1000, 1000)));
    EXPECT_EQ(DpiToRational(72).numerator, 72u);
    EXPECT_EQ(DpiToRational(72).denominator, 1u);
}

}  // namespace
}  // namespace orm
