// The own TIFF/EXIF reader and the embedded-thumbnail path, on small structures built here and
// on real camera files.

#include "metadata/embedded_thumbnail.h"
#include "metadata/exif_locator.h"
#include "metadata/tiff_reader.h"
#include "test_support.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <cmath>

namespace orm {
namespace {

using test::TiffBuilder;

MemoryByteSource Source(const QByteArray& bytes) {
    return MemoryByteSource(
        std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
}

// An RGB picture whose pixel (x, y) is (x * 7, y * 11, x + y) for telling rows and columns apart.
QByteArray PatternRgb(int w, int h) {
    QByteArray rgb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            rgb.append(char(x * 7));
            rgb.append(char(y * 11));
            rgb.append(char(x + y));
        }
    return rgb;
}

// An EXIF block with an uncompressed thumbnail in the second directory; SHORT or LONG tags.
QByteArray UncompressedExif(bool big, int w, int h, bool shortTags, int byteCountDelta = 0) {
    TiffBuilder b(big);
    const uint16_t t = shortTags ? 3 : 4;
    b.AddDirectory({{0x0100, t, 1, 3000}, {0x0101, t, 1, 2000}});
    const QByteArray rgb = PatternRgb(w, h);
    b.AddDirectory({{0x0100, t, 1, uint32_t(w)},
                    {0x0101, t, 1, uint32_t(h)},
                    {0x0103, 3, 1, 1},
                    {0x0111, t, 1, 0},  // patched below
                    {0x0117, t, 1, uint32_t(rgb.size() + byteCountDelta)}});
    // Rebuild with the real strip offset now that the layout is known.
    TiffBuilder real(big);
    real.AddDirectory({{0x0100, t, 1, 3000}, {0x0101, t, 1, 2000}});
    real.AddDirectory({{0x0100, t, 1, uint32_t(w)},
                       {0x0101, t, 1, uint32_t(h)},
                       {0x0103, 3, 1, 1},
                       {0x0111, t, 1, b.BlobOffset()},
                       {0x0117, t, 1, uint32_t(rgb.size() + byteCountDelta)}});
    real.SetBlob(rgb);
    return real.Build();
}

TEST(TiffReader, ReadsShortAndLongByTypeInBothByteOrders) {
    for (bool big : {false, true}) {
        TiffBuilder b(big);
        b.AddDirectory({{0x0100, 3, 1, 3008}, {0x0101, 4, 1, 2000}, {0x0102, 1, 1, 8}});
        const QByteArray bytes = b.Build();
        const MemoryByteSource src = Source(bytes);
        TiffReader tiff(src);
        ASSERT_TRUE(tiff.ReadHeader());
        EXPECT_EQ(tiff.Order(), big ? TiffByteOrder::kBig : TiffByteOrder::kLittle);
        const auto dir = tiff.ReadDirectory(tiff.FirstDirectoryOffset());
        ASSERT_TRUE(dir);
        EXPECT_EQ(tiff.Number(*dir, 0x0100), 3008u);  // not 3008 x 65536 in "MM" files
        EXPECT_EQ(tiff.Number(*dir, 0x0101), 2000u);
        EXPECT_EQ(tiff.Number(*dir, 0x0102), 8u);
        EXPECT_FALSE(tiff.Number(*dir, 0x0103));
        EXPECT_EQ(dir->nextOffset, 0u);
    }
}

TEST(TiffReader, RefusesStructuresOutsideTheData) {
    TiffBuilder b(false);
    b.AddDirectory({{0x0100, 4, 1, 7}, {0x011A, 5, 1, 0xFFFFFFF0u}, {0x0111, 4, 4, 0xFFFFFFFFu}});
    const QByteArray bytes = b.Build();
    const MemoryByteSource src = Source(bytes);
    TiffReader tiff(src);
    ASSERT_TRUE(tiff.ReadHeader());
    EXPECT_FALSE(tiff.ReadDirectory(uint32_t(bytes.size()) - 3));  // entry count past the end
    EXPECT_FALSE(tiff.ReadDirectory(0xFFFFFFFFu));
    const auto dir = tiff.ReadDirectory(8);
    ASSERT_TRUE(dir);
    EXPECT_FALSE(tiff.ReadRational(dir->entries[1]));  // offset points outside
    EXPECT_FALSE(tiff.ReadNumber(dir->entries[2]));    // 4 LONGs at a bad offset

    // A directory that claims more entries than the data holds.
    QByteArray cut = bytes.left(8 + 2 + 12);
    const MemoryByteSource cutSrc = Source(cut);
    TiffReader cutTiff(cutSrc);
    ASSERT_TRUE(cutTiff.ReadHeader());
    EXPECT_FALSE(cutTiff.ReadDirectory(8));

    const QByteArray notTiff("XX\0*\0\0\0\x08", 8);
    const MemoryByteSource bad = Source(notTiff);
    EXPECT_FALSE(TiffReader(bad).ReadHeader());
}

TEST(EmbeddedThumbnail, FitIntoBox) {
    auto fit = [](uint32_t bw, uint32_t bh, uint32_t w, uint32_t h) {
        const FittedSize f = FitIntoBox(bw, bh, w, h);
        return std::pair(f.width, f.height);
    };
    EXPECT_EQ(fit(100, 100, 160, 120), std::pair(100u, 75u));
    EXPECT_EQ(fit(100, 100, 120, 160), std::pair(75u, 100u));
    EXPECT_EQ(fit(100, 100, 133, 200), std::pair(66u, 100u));
    EXPECT_EQ(fit(100, 100, 49, 70), std::pair(70u, 100u));
    EXPECT_EQ(fit(100, 100, 160, 104), std::pair(100u, 65u));
    EXPECT_EQ(fit(100, 100, 160, 114), std::pair(100u, 71u));
    EXPECT_EQ(fit(220, 165, 4000000000u, 1), std::pair(220u, 1u));  // no overflow, never 0
    EXPECT_EQ(fit(100, 100, 0, 10), std::pair(0u, 0u));
}

TEST(EmbeddedThumbnail, DibLayoutIsBottomUpBgrWithPaddedRows) {
    const QByteArray jpeg = test::JpegWithExif(UncompressedExif(false, 3, 2, false));
    const MemoryByteSource src = Source(jpeg);
    const EmbeddedThumbnail t = ReadJpegExifThumbnail(src, 3, 2);
    ASSERT_TRUE(t.HasPicture());
    ASSERT_EQ(t.width, 3u);
    ASSERT_EQ(t.height, 2u);
    const std::vector<uint8_t> header(t.dib.begin(), t.dib.begin() + 40);
    const std::vector<uint8_t> expectHeader = {
        40, 0, 0, 0, 3,    0,    0, 0, 2,    0,    0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
        24, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0};
    EXPECT_EQ(header, expectHeader);
    ASSERT_EQ(t.dib.size(), 40u + 2 * 12);
    // First row in memory is the bottom row (y = 1): pixels (x*7, 11, x+1) stored B, G, R.
    const std::vector<uint8_t> rows(t.dib.begin() + 40, t.dib.end());
    const std::vector<uint8_t> expectRows = {1, 11, 0, 2, 11, 7, 3, 11, 14, 0, 0, 0,
                                             0, 0,  0, 1, 0,  7, 2, 0,  14, 0, 0, 0};
    EXPECT_EQ(rows, expectRows);
}

TEST(EmbeddedThumbnail, BigEndianGivesTheSameThumbnailAsLittleEndian) {
    for (bool shortTags : {false, true}) {
        const QByteArray le = test::JpegWithExif(UncompressedExif(false, 40, 30, shortTags));
        const QByteArray be = test::JpegWithExif(UncompressedExif(true, 40, 30, shortTags));
        const MemoryByteSource a = Source(le), b = Source(be);
        const EmbeddedThumbnail ta = ReadJpegExifThumbnail(a, 100, 100);
        const EmbeddedThumbnail tb = ReadJpegExifThumbnail(b, 100, 100);
        ASSERT_TRUE(ta.HasPicture()) << shortTags;
        EXPECT_EQ(ta.dib, tb.dib);
        EXPECT_EQ(tb.fullWidth, 3000u);
        EXPECT_EQ(tb.fullHeight, 2000u);
    }
}

TEST(EmbeddedThumbnail, UncompressedFitsAndScalesByNearestNeighbour) {
    for (auto [w, h, fw, fh] : {std::tuple{160, 120, 100u, 75u}, std::tuple{120, 160, 75u, 100u}}) {
        const QByteArray jpeg = test::JpegWithExif(UncompressedExif(true, w, h, false));
        const MemoryByteSource src = Source(jpeg);
        const EmbeddedThumbnail t = ReadJpegExifThumbnail(src, 100, 100);
        ASSERT_TRUE(t.HasPicture());
        EXPECT_EQ(t.width, fw);
        EXPECT_EQ(t.height, fh);
        // Output (x, y) shows source (x * w / fw, y * h / fh).
        for (auto [x, y] :
             {std::pair{0, 0}, std::pair{int(fw) - 1, int(fh) - 1}, std::pair{37, 51}}) {
            const int sx = int(uint64_t(x) * w / fw), sy = int(uint64_t(y) * h / fh);
            const uint8_t* p = test::DibPixel(t.dib, x, y);
            EXPECT_EQ(p[2], uint8_t(sx * 7));
            EXPECT_EQ(p[1], uint8_t(sy * 11));
            EXPECT_EQ(p[0], uint8_t(sx + sy));
        }
    }
}

TEST(EmbeddedThumbnail, UncompressedWithWrongByteCountGivesNothing) {
    for (int delta : {-1, 1, -4800}) {
        const QByteArray jpeg = test::JpegWithExif(UncompressedExif(false, 40, 40, false, delta));
        const MemoryByteSource src = Source(jpeg);
        EXPECT_FALSE(ReadJpegExifThumbnail(src, 100, 100).HasPicture()) << delta;
    }
}

TEST(EmbeddedThumbnail, MarkerBytesInsideAnEarlierSegmentAreNotTakenForApp1) {
    // A comment holding FF E1 "Exif" before the real EXIF segment.
    const QByteArray comment = QByteArray(
        "x\xFF\xE1\x00\x08"
        "Exif\0\0",
        12);
    const QByteArray jpeg = test::JpegWithExif(UncompressedExif(false, 20, 10, false), comment);
    const MemoryByteSource src = Source(jpeg);
    EXPECT_EQ(FindExifSegment(src), uint64_t(2 + 2 + 2 + comment.size() + 2));
    EXPECT_TRUE(ReadJpegExifThumbnail(src, 100, 100).HasPicture());
}

TEST(EmbeddedThumbnail, GreyJpegThumbnailIsExpandedToThreeChannels) {
    QImage grey(32, 16, QImage::Format_Grayscale8);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) grey.scanLine(y)[x] = uchar(x * 8);
    QByteArray jpegThumb;
    QBuffer buffer(&jpegThumb);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    ASSERT_TRUE(writer.write(grey));

    TiffBuilder probe(false);
    probe.AddDirectory({{0x0100, 4, 1, 640}});
    probe.AddDirectory({{0x0103, 3, 1, 6}, {0x0201, 4, 1, 0}, {0x0202, 4, 1, 0}});
    TiffBuilder b(false);
    b.AddDirectory({{0x0100, 4, 1, 640}});
    b.AddDirectory({{0x0103, 3, 1, 6},
                    {0x0201, 4, 1, probe.BlobOffset()},
                    {0x0202, 4, 1, uint32_t(jpegThumb.size())}});
    b.SetBlob(jpegThumb);
    const QByteArray jpeg = test::JpegWithExif(b.Build());
    const MemoryByteSource src = Source(jpeg);
    const EmbeddedThumbnail t = ReadJpegExifThumbnail(src, 32, 32);
    ASSERT_TRUE(t.HasPicture());
    EXPECT_EQ(t.width, 32u);
    EXPECT_EQ(t.height, 16u);
    const uint8_t* p = test::DibPixel(t.dib, 20, 5);
    EXPECT_EQ(p[0], p[1]);
    EXPECT_EQ(p[1], p[2]);
    EXPECT_NEAR(p[0], 160, 4);
}

TEST(EmbeddedThumbnail, DamagedStructuresGiveNothingAndNeverReadOutside) {
    const QByteArray good = test::JpegWithExif(UncompressedExif(true, 16, 12, true));
    // Every truncation and every single-byte change of the EXIF block must be handled.
    for (int len = 0; len < good.size(); ++len) {
        const QByteArray cut = good.left(len);
        const MemoryByteSource src = Source(cut);
        (void)ReadJpegExifThumbnail(src, 100, 100);
    }
    for (int at = 0; at < 120 && at < good.size(); ++at)
        for (uint8_t v : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x7F)}) {
            QByteArray bad = good;
            bad[at] = char(v);
            const MemoryByteSource src = Source(bad);
            (void)ReadJpegExifThumbnail(src, 100, 100);
            (void)ReadTiffThumbnail(src, 100, 100);
        }
    SUCCEED();
}

// Real camera files ----------------------------------------------------------------------------

struct CameraCase {
    const char* file;
    uint32_t fitW, fitH;  // into a 100 x 100 box; 0 x 0: no thumbnail
    uint32_t fullW, fullH;
};

TEST(EmbeddedThumbnailCorpus, CameraFiles) {
    ORM_REQUIRE_CORPUS();
    const CameraCase cases[] = {
        {"Canon_40D.jpg", 100, 67, 100, 68},
        {"exiforg-fujifilm-finepix40i.jpg", 100, 75, 2400, 1800},  // MM
        {"exiforg-nikon-e950.jpg", 100, 75, 1600, 1200},           // II
        {"Reagan.jpg", 100, 65, 200, 130},                         // MM, restart intervals
        {"exiv2-gc.jpg", 66, 100, 1600, 2400},                     // portrait, EXIF IFD after data
        {"Konica_Minolta_DiMAGE_Z3.jpg", 70, 100, 70, 100},
        {"iptc-psAPP13-noIPTC.jpg", 100, 71, 420, 300},
        {"exiforg-sony-d700.jpg", 100, 75, 1344, 1024},  // uncompressed, LONG tags
        {"exiforg-kodak-dc210.jpg", 100, 75, 0, 0},      // uncompressed, SHORT tags, MM
        {"exiv2-nikon-d70.jpg", 100, 75, 3008, 2000},    // SHORT PixelX/YDimension, MM
        {"exiv2-bug1026.jpg", 100, 66, 0, 0},            // progressive main image
        {"olympus_truncated.jpg", 100, 75, 3648, 2736},
        {"Olympus_C8080WZ.jpg", 0, 0, 100, 72},     // no compression tag
        {"Ricoh_Caplio_RR330.jpg", 0, 0, 100, 75},  // "uncompressed" JPEG bytes
        {"exiv2-bug1231b.jpg", 0, 0, 2816, 2112},   // no offset or length
        {"FurnaceCreekInn.jpg", 0, 0, 0, 0},        // no second directory
        {"xmp_no_exif.jpg", 0, 0, 0, 0},            // XMP is the first APP1
        {"exif-ifd-offset.jpg", 0, 0, 200, 200},
    };
    for (const CameraCase& c : cases) {
        SCOPED_TRACE(c.file);
        const EmbeddedThumbnail t = ReadJpegExifThumbnail(
            std::filesystem::path(test::CorpusFile(c.file).toStdString()), 100, 100);
        EXPECT_EQ(t.HasPicture(), c.fitW != 0);
        EXPECT_EQ(t.width, c.fitW);
        EXPECT_EQ(t.height, c.fitH);
        if (c.fullW != 0) {
            EXPECT_EQ(t.fullWidth.value_or(0), c.fullW);
            EXPECT_EQ(t.fullHeight.value_or(0), c.fullH);
        }
    }
}

// Mean absolute difference between the DIB and the reference picture sampled the same way.
double MeanDifference(const EmbeddedThumbnail& t, const test::RgbPicture& ref) {
    double sum = 0;
    for (uint32_t y = 0; y < t.height; ++y)
        for (uint32_t x = 0; x < t.width; ++x) {
            const uint8_t* p = test::DibPixel(t.dib, int(x), int(y));
            const size_t sx = size_t(x) * ref.width / t.width,
                         sy = size_t(y) * ref.height / t.height;
            const uint8_t* r = &ref.rgb[(sy * ref.width + sx) * 3];
            sum += std::abs(p[2] - r[0]) + std::abs(p[1] - r[1]) + std::abs(p[0] - r[2]);
        }
    return sum / (3.0 * t.width * t.height);
}

TEST(EmbeddedThumbnailCorpus, PixelsMatchReferenceDecodes) {
    ORM_REQUIRE_CORPUS();
    // Uncompressed thumbnails are exact; JPEG ones differ by the decoders' rounding only.
    const std::pair<const char*, double> cases[] = {
        {"exiforg-sony-d700", 0.0},
        {"exiforg-kodak-dc210", 0.0},
        {"Reagan", 2.0},
        {"exiforg-nikon-e950", 2.0},
        {"exiv2-gc", 2.0},
        {"iptc-psAPP13-noIPTC", 2.0},
        {"Konica_Minolta_DiMAGE_Z3", 2.0},
    };
    for (const auto& [name, tolerance] : cases) {
        SCOPED_TRACE(name);
        const auto ref = test::ReadPpm(test::CorpusDir() + "/" + name + ".thumb.ref.ppm");
        ASSERT_TRUE(ref);
        const std::string jpg = (test::CorpusDir() + "/" + name + ".jpg").toStdString();
        // Asking for the thumbnail's own size gives every pixel once.
        const EmbeddedThumbnail t = ReadJpegExifThumbnail(
            std::filesystem::path(jpg), uint32_t(ref->width), uint32_t(ref->height));
        ASSERT_TRUE(t.HasPicture());
        ASSERT_EQ(t.width, uint32_t(ref->width));
        ASSERT_EQ(t.height, uint32_t(ref->height));
        EXPECT_LE(MeanDifference(t, *ref), tolerance);
    }
}

TEST(EmbeddedThumbnailCorpus, ExtensionRules) {
    ORM_REQUIRE_CORPUS();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray nikon = test::ReadAll(test::CorpusFile("exiforg-nikon-e950.jpg"));
    for (const char* name : {"photo.jpeg", "photo.JPG", "photo.Jpg"}) {
        test::WriteAll(dir.filePath(name), nikon);
        const bool expected = QString(name) != "photo.jpeg";
        EXPECT_EQ(
            ReadJpegExifThumbnail(std::filesystem::path(dir.filePath(name).toStdString()), 100, 100)
                .HasPicture(),
            expected)
            << name;
    }
    // A TIFF whose second directory is an uncompressed thumbnail, found only as ".TIF".
    TiffBuilder probe(true);
    probe.AddDirectory({{0x0100, 3, 1, 640}, {0x0101, 3, 1, 480}, {0x8769, 4, 1, 0}});
    probe.AddDirectory({{0x0100, 3, 1, 20},
                        {0x0101, 3, 1, 10},
                        {0x0103, 3, 1, 1},
                        {0x0111, 4, 1, 0},
                        {0x0117, 4, 1, 600}});
    const uint32_t exifAt = probe.BlobOffset();
    TiffBuilder b(true);
    b.AddDirectory({{0x0100, 3, 1, 640}, {0x0101, 3, 1, 480}, {0x8769, 4, 1, exifAt}});
    b.AddDirectory({{0x0100, 3, 1, 20},
                    {0x0101, 3, 1, 10},
                    {0x0103, 3, 1, 1},
                    {0x0111, 4, 1, exifAt + 6},
                    {0x0117, 4, 1, 600}});
    QByteArray blob(6, '\0');  // an empty EXIF directory
    blob += PatternRgb(20, 10);
    blob += QByteArray(200, '\0');  // a TIFF must be longer than 128 bytes
    b.SetBlob(blob);
    const QByteArray tiff = b.Build();
    for (const char* name : {"scan.tif", "scan.TIF", "scan.tiff"}) {
        test::WriteAll(dir.filePath(name), tiff);
        const EmbeddedThumbnail t =
            ReadTiffThumbnail(std::filesystem::path(dir.filePath(name).toStdString()), 100, 100);
        EXPECT_EQ(t.HasPicture(), QString(name) != "scan.tiff") << name;
        if (t.HasPicture()) {
            EXPECT_EQ(t.width, 100u);
            EXPECT_EQ(t.height, 50u);
            EXPECT_EQ(t.fullWidth, 640u);
        }
    }
    EXPECT_EQ(FindExifDirectory(std::filesystem::path(dir.filePath("scan.tif").toStdString())),
              exifAt);
}

TEST(EmbeddedThumbnailCorpus, RealTiffsWithoutSecondDirectoryGiveNothing) {
    ORM_REQUIRE_CORPUS();
    QTemporaryDir dir;
    for (const char* name :
         {"Reagan.tiff", "custom_dir_EXIF_GPS.tiff", "multipage.tiff", "rgb-3c-8b.tiff"}) {
        const QString copy = dir.filePath(QString(name).replace(".tiff", ".tif"));
        QFile::copy(test::CorpusFile(name), copy);
        EXPECT_FALSE(
            ReadTiffThumbnail(std::filesystem::path(copy.toStdString()), 100, 100).HasPicture())
            << name;
    }
    EXPECT_NE(
        FindExifDirectory(std::filesystem::path(test::CorpusFile("Reagan.tiff").toStdString())),
        0u);
    EXPECT_EQ(
        FindExifDirectory(std::filesystem::path(test::CorpusFile("rgb-3c-8b.tiff").toStdString())),
        0u);
}

}  // namespace
}  // namespace orm
