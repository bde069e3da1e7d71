// The cache's byte formats: records, folder files and the index byte for byte against hand-made
// bytes; the archive's times and object references; refusal of damaged and hostile bytes.

#include "thumbnail_test_support.h"

#include "thumbnails/thumbnail_cache_files.h"
#include "thumbnails/thumbnail_codec.h"

#include <QImage>

#include <gtest/gtest.h>

namespace orm {
namespace {

// Bytes written as hex pairs ("0A 00 ff"); text in quotes is taken as 8-bit characters and text
// in <angle brackets> as UTF-16LE characters.
QByteArray Bytes(const char* text) {
    QByteArray out;
    for (const char* p = text; *p;) {
        if (*p == '"' || *p == '<') {
            const char close = *p == '"' ? '"' : '>';
            for (++p; *p && *p != close; ++p) {
                out.append(*p);
                if (close == '>')
                    out.append('\0');
            }
            if (*p)
                ++p;
        } else if (std::isxdigit(uchar(*p))) {
            out.append(char(std::stoi(std::string(p, 2), nullptr, 16)));
            p += 2;
        } else {
            ++p;
        }
    }
    return out;
}

std::span<const uint8_t> Span(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size())};
}

std::shared_ptr<CPaletteItemImg> HandItem() {
    auto item = std::make_shared<CPaletteItemImg>();
    item->fileTime = 0x0102030405060708;
    item->thumbWidth = 220;
    item->thumbHeight = 146;
    item->jpegData = QByteArray("ABC");
    item->imageWidth = 2400;
    item->imageHeight = 1800;
    item->bitsPerPixel = 24;
    item->isFinal = 1;
    item->caption2 = QStringLiteral("Hi");
    return item;
}

// The record of HandItem(), worked out by hand from the format.
const char* const kHandRecord =
    "0A 00 00 80  08 07 06 05 04 03 02 01"  // fileTime: 64-bit time marker, then the time
    "DC 00 00 00  92 00 00 00"              // thumbnail 220 x 146
    "01 00 00 00  03 00 00 00 'ABC'"        // has jpegData, its length and bytes
    "60 09 00 00  08 07 00 00  18 00 00 00  00 00 00 00  00 00 00 00  01 00 00 00"
    "FF FE FF 00"                           // caption1: UTF-16 marker, length 0
    "FF FE FF 02 <Hi>"                      // caption2
    "0A 00 00 80  00 00 00 00 00 00 00 00"  // ageTime 0
    "FF FF FF FF  FF FF FF FF  FF FF FF FF  FF FF FF FF  FF FF FF FF  FF FF FF FF"  // reserved1-6
    "00 00 00 00"                                                                   // reserved0
    "00"                                                                            // reservedByte
    "00 00";                                                                        // no rectangles

QByteArray HandRecord() {
    QByteArray text(kHandRecord);
    text.replace('\'', '"');
    return Bytes(text.constData());
}

TEST(ThumbnailCacheFiles, RecordFolderFileAndIndexAreByteExact) {
    ArchiveWriter w;
    WriteThumbnailRecord(w, *HandItem());
    EXPECT_EQ(w.bytes().toHex(' '), HandRecord().toHex(' '));

    const QByteArray folder = EncodeFolderFile(
        {{QStringLiteral("/p/a.jpg"), HandItem()}, {QStringLiteral("/p/b.jpg"), HandItem()}});
    const QByteArray expected = Bytes("02 00") + Bytes("FF FE FF 08 </p/a.jpg>") +
                                Bytes("FF FF 01 00 0F 00 \"CPaletteItemImg\"") + HandRecord() +
                                Bytes("FF FE FF 08 </p/b.jpg>") + Bytes("01 80") + HandRecord();
    EXPECT_EQ(folder.toHex(' '), expected.toHex(' '));

    const QByteArray index =
        EncodeIndexFile({{QStringLiteral("/p/"), QStringLiteral("/c/FLD1.tmp")}});
    EXPECT_EQ(index.toHex(' '),
              Bytes("01 00 FF FE FF 03 </p/> FF FE FF 0B </c/FLD1.tmp>").toHex(' '));
}

TEST(ThumbnailCacheFiles, RoundTripKeepsEveryStoredField) {
    const auto item = test::SampleThumbnail(-5, QByteArray(3000, 'j'));
    const QByteArray bytes = EncodeFolderFile({{QStringLiteral("/x/\u00e9t\u00e9.jpg"), item}});
    const auto read = DecodeFolderFile(Span(bytes));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 1u);
    const CPaletteItemImg& r = *read->front().second;
    EXPECT_EQ(read->front().first, QStringLiteral("/x/\u00e9t\u00e9.jpg"));
    EXPECT_EQ(r.fileTime, -5);
    EXPECT_EQ(r.thumbWidth, item->thumbWidth);
    EXPECT_EQ(r.thumbHeight, item->thumbHeight);
    EXPECT_EQ(r.jpegData, item->jpegData);
    EXPECT_EQ(r.imageWidth, 5472);
    EXPECT_EQ(r.imageHeight, 3648);
    EXPECT_EQ(r.bitsPerPixel, 24);
    EXPECT_EQ(r.spare1, 7);
    EXPECT_EQ(r.spare2, 8);
    EXPECT_EQ(r.isFinal, 1);
    EXPECT_EQ(r.caption1, item->caption1);
    EXPECT_EQ(r.caption2, item->caption2);
    EXPECT_EQ(r.ageTime, item->ageTime);
    EXPECT_EQ(r.rects, item->rects);
    EXPECT_TRUE(r.picture.isNull());
}

TEST(ThumbnailCacheFiles, PictureWithoutDataIsWrittenCompressed) {
    auto item = std::make_shared<CPaletteItemImg>();
    item->thumbWidth = 220;
    item->thumbHeight = 100;
    item->picture = test::TestPattern(220, 100, QImage::Format_BGR888);
    const auto read = DecodeFolderFile(Span(EncodeFolderFile({{QStringLiteral("/a.png"), item}})));
    ASSERT_TRUE(read);
    const QImage back = Decompress(*read->front().second);
    EXPECT_LT(test::MeanDifference(back, item->picture), 3.0);
}

TEST(ThumbnailCacheFiles, ArchiveTimesAndObjectReferences) {
    // A time without the 64-bit marker is an older 32-bit one, signed.
    const QByteArray oldTime = Bytes("FE FF FF FF");
    ArchiveReader old(Span(oldTime));
    int64_t t = 0;
    ASSERT_TRUE(old.ReadTime(t));
    EXPECT_EQ(t, -2);

    // Entry 2 refers back to the object of entry 1 (object number 2: the class took number 1);
    // entry 3 is no object at all and is left out.
    const QByteArray shared = Bytes("03 00") +
                              Bytes("01 \"a\" FF FF 01 00 0F 00 \"CPaletteItemImg\"") +
                              HandRecord() + Bytes("01 \"b\" 02 00") + Bytes("01 \"c\" 00 00");
    auto read = DecodeFolderFile(Span(shared));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 2u);
    EXPECT_EQ(read->at(1).first, QStringLiteral("b"));
    EXPECT_EQ(read->at(0).second, read->at(1).second);

    // The long form of a class tag (0x7FFF and a DWORD with bit 31) reads like the short one.
    const QByteArray longTag = Bytes("02 00") +
                               Bytes("01 \"a\" FF FF 01 00 0F 00 \"CPaletteItemImg\"") +
                               HandRecord() + Bytes("01 \"b\" FF 7F 01 00 00 80") + HandRecord();
    read = DecodeFolderFile(Span(longTag));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size(), 2u);

    // Referring to a class as an object, to an object as a class, or to numbers not given out
    // yet, and a class of another name or schema: damaged.
    const QByteArray head =
        Bytes("02 00 01 \"a\" FF FF 01 00 0F 00 \"CPaletteItemImg\"") + HandRecord();
    for (const char* second :
         {"01 \"b\" 01 00", "01 \"b\" 02 80", "01 \"b\" 07 00", "01 \"b\" 05 80"})
        EXPECT_FALSE(DecodeFolderFile(Span(head + Bytes(second)))) << second;
    EXPECT_FALSE(DecodeFolderFile(
        Span(Bytes("01 00 01 \"a\" FF FF 01 00 0C 00 \"CPaletteItem\"") + HandRecord())));
    EXPECT_FALSE(DecodeFolderFile(
        Span(Bytes("01 00 01 \"a\" FF FF 02 00 0F 00 \"CPaletteItemImg\"") + HandRecord())));
}

TEST(ThumbnailCacheFiles, ThumbnailMustTouchTheBoxAndStayInside) {
    auto encode = [](int w, int h) {
        auto item = HandItem();
        item->thumbWidth = w;
        item->thumbHeight = h;
        return EncodeFolderFile({{QStringLiteral("/a.jpg"), item}});
    };
    EXPECT_TRUE(DecodeFolderFile(Span(encode(220, 100))));
    EXPECT_TRUE(DecodeFolderFile(Span(encode(100, 165))));
    EXPECT_FALSE(DecodeFolderFile(Span(encode(200, 150))));  // another box: both sides differ
    EXPECT_FALSE(DecodeFolderFile(Span(encode(220, 5000))));
    EXPECT_FALSE(DecodeFolderFile(Span(encode(-3, 165))));
}

TEST(ThumbnailCacheFiles, DamagedAndHostileBytesAreRefused) {
    const QByteArray good = EncodeFolderFile(
        {{QStringLiteral("/p/a.jpg"), HandItem()}, {QStringLiteral("/p/b.jpg"), HandItem()}});
    ASSERT_TRUE(DecodeFolderFile(Span(good)));
    for (qsizetype n = 0; n < good.size(); ++n)
        ASSERT_FALSE(DecodeFolderFile(Span(good.left(n)))) << "cut at " << n;

    // Counts and lengths far beyond the bytes left fail at once, without allocating for them.
    EXPECT_FALSE(DecodeFolderFile(Span(Bytes("FF FF 00 00 00 80  01 \"a\""))));
    EXPECT_FALSE(DecodeIndexFile(Span(Bytes("FF FF FF FF FF 7F  00 00"))));
    QByteArray longJpeg = HandRecord();
    longJpeg.replace(24, 4, Bytes("FF FF FF 7F"));  // jpegData length
    EXPECT_FALSE(DecodeFolderFile(
        Span(Bytes("01 00 01 \"a\" FF FF 01 00 0F 00 \"CPaletteItemImg\"") + longJpeg)));
    QByteArray manyRects = HandRecord();
    manyRects.replace(manyRects.size() - 2, 2, Bytes("FF FF 00 00 00 10"));
    EXPECT_FALSE(DecodeFolderFile(
        Span(Bytes("01 00 01 \"a\" FF FF 01 00 0F 00 \"CPaletteItemImg\"") + manyRects)));

    const QByteArray index =
        EncodeIndexFile({{QStringLiteral("/p/"), QStringLiteral("/c/FLD1.tmp")}});
    for (qsizetype n = 0; n < index.size(); ++n)
        ASSERT_FALSE(DecodeIndexFile(Span(index.left(n)))) << "cut at " << n;
    ASSERT_TRUE(DecodeIndexFile(Span(index)));
}

TEST(ThumbnailCodec, PictureRoundTripsAndTheStreamHoldsTheBitmapRowsAsStored) {
    const QImage picture = test::TestPattern(220, 147, QImage::Format_BGR888);
    const QByteArray jpeg = CompressPicture(picture);
    ASSERT_FALSE(jpeg.isEmpty());
    const QImage back = DecompressPicture(jpeg, 220, 147);
    ASSERT_EQ(back.format(), QImage::Format_BGR888);
    EXPECT_EQ(back.dotsPerMeterX(), kThumbDotsPerMeter);
    EXPECT_LT(test::MeanDifference(back, picture), 3.0);

    // Read by another decoder, the stream is the bitmap in memory order: upside down, with blue
    // where red is, and 300 dpi.
    const QImage stream = QImage::fromData(jpeg, "JPEG");
    ASSERT_FALSE(stream.isNull());
    EXPECT_EQ(stream.dotsPerMeterX(), 11811);
    EXPECT_LT(test::MeanDifference(stream.mirrored(false, true).rgbSwapped(), picture), 3.0);

    // A stream smaller than the thumbnail fills from the bottom row up; undecodable data and
    // sizes outside the box give nothing.
    const QImage part = DecompressPicture(CompressPicture(picture.copy(0, 47, 220, 100)), 220, 147);
    ASSERT_FALSE(part.isNull());
    EXPECT_LT(test::MeanDifference(part.copy(0, 47, 220, 100), picture.copy(0, 47, 220, 100)), 3.0);
    EXPECT_EQ(part.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_TRUE(DecompressPicture(jpeg.left(100), 220, 147).isNull());
    EXPECT_TRUE(DecompressPicture(jpeg, 221, 147).isNull());
}

}  // namespace
}  // namespace orm
