// Headers that claim more pixels than their file can hold are refused before any decoder
// allocates; files of a large flat picture at each format's best compression still open.

#include "engine/memory_budget.h"
#include "imageio/claimed_size_check.h"
#include "imageio/image_loader.h"
#include "test_support.h"

#include <QDir>

#include <cstdint>

namespace orm {
namespace {

class AvailableMemory {
  public:
    explicit AvailableMemory(std::uint64_t bytes) { engine::SetAvailableMemoryOverride(bytes); }
    ~AvailableMemory() { engine::SetAvailableMemoryOverride(0); }
};

void Put(QByteArray& out, std::initializer_list<int> bytes) {
    for (const int b : bytes) out.append(char(b));
}
void PutBe16(QByteArray& out, int v) {
    Put(out, {v >> 8 & 0xFF, v & 0xFF});
}
void PutLe16(QByteArray& out, int v) {
    Put(out, {v & 0xFF, v >> 8 & 0xFF});
}
void PutBe32(QByteArray& out, std::uint32_t v) {
    PutBe16(out, int(v >> 16));
    PutBe16(out, int(v & 0xFFFF));
}
void PutLe32(QByteArray& out, std::uint32_t v) {
    PutLe16(out, int(v & 0xFFFF));
    PutLe16(out, int(v >> 16));
}

std::uint32_t Crc32(const QByteArray& bytes) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (const char c : bytes) {
        crc ^= std::uint8_t(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutChunk(QByteArray& png, const char* type, const QByteArray& data,
              std::int64_t statedLength = -1) {
    PutBe32(png, std::uint32_t(statedLength >= 0 ? statedLength : data.size()));
    const QByteArray body = QByteArray(type) + data;
    png += body;
    PutBe32(png, Crc32(body));
}

// A PNG of w x h grey pixels at `depth` bits, every pixel 0, deflated as hard as zlib goes.
QByteArray FlatPng(int w, int h, int depth = 1) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr;
    PutBe32(ihdr, std::uint32_t(w));
    PutBe32(ihdr, std::uint32_t(h));
    Put(ihdr, {depth, 0, 0, 0, 0});
    PutChunk(png, "IHDR", ihdr);
    const QByteArray rows(qsizetype(h) * (1 + (qsizetype(w) * depth + 7) / 8), '\0');
    PutChunk(png, "IDAT", qCompress(rows, 9).mid(4));  // qCompress prefixes the length
    PutChunk(png, "IEND", {});
    return png;
}

// A grey baseline JPEG of w x h, every block flat, with Huffman tables of one 1-bit code each
// (DC difference 0, end of block): two bits a block, the least a sequential Huffman file takes.
QByteArray FlatJpeg(int w, int h) {
    QByteArray jpeg;
    Put(jpeg, {0xFF, 0xD8, 0xFF, 0xDB, 0, 67, 0});
    jpeg += QByteArray(64, '\1');
    Put(jpeg, {0xFF, 0xC0, 0, 11, 8});
    PutBe16(jpeg, h);
    PutBe16(jpeg, w);
    Put(jpeg, {1, 1, 0x11, 0});
    for (const int tableClass : {0x00, 0x10}) {
        Put(jpeg, {0xFF, 0xC4, 0, 20, tableClass, 1});
        jpeg += QByteArray(15, '\0');
        Put(jpeg, {0});  // the one symbol: category 0 (DC), end of block (AC)
    }
    Put(jpeg, {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 63, 0});
    const qsizetype blocks = qsizetype((w + 7) / 8) * ((h + 7) / 8);
    jpeg += QByteArray((blocks * 2 + 7) / 8, '\0');
    Put(jpeg, {0xFF, 0xD9});
    return jpeg;
}

QByteArray GifClaiming(int w, int h) {  // 26 bytes: one picture of w x h with one data byte
    QByteArray gif("GIF89a");
    PutLe16(gif, w);
    PutLe16(gif, h);
    Put(gif, {0, 0, 0, 0x2C, 0, 0, 0, 0});
    PutLe16(gif, w);
    PutLe16(gif, h);
    Put(gif, {0, 2, 1, 0x44});
    return gif;
}

QByteArray WebpClaiming(int w, int h, std::uint32_t statedLength = 10) {  // a lossy key frame
    QByteArray frame;
    Put(frame, {0x10, 0, 0, 0x9D, 0x01, 0x2A});
    PutLe16(frame, w);
    PutLe16(frame, h);
    QByteArray webp("RIFF");
    PutLe32(webp, 4 + 8 + 10);
    webp += "WEBPVP8 ";
    PutLe32(webp, statedLength);
    return webp + frame;
}

QByteArray TiffClaiming(int w, int h) {  // uncompressed 8-bit RGB, little-endian
    QByteArray tiff("II*\0", 4);
    PutLe32(tiff, 8);
    const int entries[][2] = {{256, w}, {257, h}, {259, 1}, {277, 3}};
    PutLe16(tiff, 4);
    for (const auto& e : entries) {
        PutLe16(tiff, e[0]);
        PutLe16(tiff, 4);  // LONG
        PutLe32(tiff, 1);
        PutLe32(tiff, std::uint32_t(e[1]));
    }
    PutLe32(tiff, 0);
    return tiff;
}

TEST(ClaimedSize, HostileHeadersAreRefusedBeforeTheMemoryCheck) {
    // Memory enough for every claim: the refusal is the claim's, not the budget's.
    const AvailableMemory plenty(std::uint64_t(64) << 30);
    QByteArray png = FlatPng(16, 16);
    png[16] = 0, png[17] = 0, png[18] = char(0x75), png[19] = char(0x30);  // width 30000
    png[20] = 0, png[21] = 0, png[22] = char(0x75), png[23] = char(0x30);  // height 30000
    png.replace(29, 4, [&] {
        QByteArray crc;
        PutBe32(crc, Crc32(png.mid(12, 17)));
        return crc;
    }());
    const struct {
        QByteArray bytes;
        int w, h;
    } cases[] = {{FlatJpeg(8, 8).replace(76, 4, QByteArray("\x75\x30\x75\x30")), 30000, 30000},
                 {png, 30000, 30000},
                 {GifClaiming(11390, 13680), 11390, 13680},
                 {WebpClaiming(16383, 16383), 16383, 16383},
                 {TiffClaiming(30000, 30000), 30000, 30000}};
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(DecodeSourceImage(c.bytes, &error));
        EXPECT_EQ(error, ClaimedSizeText(c.w, c.h, c.bytes.size()));
        EXPECT_TRUE(ImplausibleSizeReason(c.bytes));
    }
    EXPECT_EQ(ClaimedSizeText(11390, 13680, 26),
              "The file claims 11390 x 13680 pixels but holds only 26 bytes");
    EXPECT_EQ(GifClaiming(1, 1).size(), 26);
}

TEST(ClaimedSize, ChunksLongerThanTheFileAreRefusedButACutOffPictureIsNot) {
    const QString chunk = "The file is damaged: a chunk is longer than the whole file";
    QByteArray png = FlatPng(64, 64);
    png.chop(12);  // IEND
    PutChunk(png, "tEXt", "Comment", 0x7FFFFFF0);
    EXPECT_EQ(ImplausibleSizeReason(png).value_or(""), chunk);
    QString error;
    EXPECT_FALSE(DecodeSourceImage(png, &error));
    EXPECT_EQ(error, chunk);
    EXPECT_EQ(ImplausibleSizeReason(WebpClaiming(16, 16, 1u << 30)).value_or(""), chunk);
    // A PNG cut off inside its pixel data has an IDAT that runs past the end: a damaged but
    // useful picture, left to the decoder.
    const QByteArray whole = FlatPng(2000, 20, 8);
    EXPECT_FALSE(ImplausibleSizeReason(whole.left(whole.size() - 20)));
}

TEST(ClaimedSize, FlatPicturesAtTheBestCompressionOpen) {
    // 20000 x 20000 pixels in about 48 KB (PNG) and 1.5 MB (JPEG): plausible, and the JPEG
    // opens at a reduced scale when a target allows it.
    const QByteArray png = FlatPng(20000, 20000);
    EXPECT_LT(png.size(), 60000);
    EXPECT_FALSE(ImplausibleSizeReason(png)) << ImplausibleSizeReason(png)->toStdString();
    const QByteArray jpeg = FlatJpeg(20000, 20000);
    EXPECT_FALSE(ImplausibleSizeReason(jpeg)) << ImplausibleSizeReason(jpeg)->toStdString();
    QString error;
    const auto shrunk = DecodeSourceImage(jpeg, &error, DecodeLimit{2500, 2500});
    ASSERT_TRUE(shrunk) << error.toStdString();
    EXPECT_EQ(shrunk->image.size(), QSize(2500, 2500));
    EXPECT_EQ(shrunk->fileSize, QSize(20000, 20000));
    EXPECT_TRUE(shrunk->damage.isEmpty());
    // Smaller ones decode in full, and flat.
    for (const QByteArray& bytes : {FlatPng(3000, 2000), FlatJpeg(3000, 2000)}) {
        const auto full = DecodeSourceImage(bytes, &error);
        ASSERT_TRUE(full) << error.toStdString();
        EXPECT_EQ(full->image.size(), QSize(3000, 2000));
        EXPECT_EQ(full->image.pixel(2999, 1999), full->image.pixel(0, 0));
    }
}

TEST(ClaimedSize, EveryWholeCorpusFileIsPlausible) {
    ORM_REQUIRE_CORPUS();
    int checked = 0;
    for (const QString& dir : {test::CorpusDir(), test::CorpusDir() + "/../realworld"}) {
        for (const QString& name : QDir(dir).entryList(QDir::Files)) {
            if (name.contains("truncated") || name.contains("crashers") || name.endsWith(".md") ||
                name.endsWith(".ppm"))
                continue;
            const QByteArray bytes = test::ReadAll(dir + "/" + name);
            EXPECT_FALSE(ImplausibleSizeReason(bytes)) << name.toStdString();
            checked += ReadSizeClaim(bytes) ? 1 : 0;
        }
    }
    EXPECT_GT(checked, 150);
}

}  // namespace
}  // namespace orm
