// The encoder's stream layout, its tables and round trips through the own decoder.

#include "jpeg_test_util.h"

#include <gtest/gtest.h>

using namespace MiniJpeg;
using jpegtest::Image;

namespace {

constexpr uint8_t kDqt = 0xDB, kDht = 0xC4, kSof0 = 0xC0, kSos = 0xDA, kApp0 = 0xE0, kCom = 0xFE;

// Natural position of zigzag index k, for reading DQT payloads.
constexpr uint8_t kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

constexpr uint8_t kLuminance[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
};

// Table number -> natural-order entries, from all DQT segments of a stream.
std::map<int, std::array<int, 64>> QuantTables(const jpegtest::SplitStream& s) {
    std::map<int, std::array<int, 64>> tables;
    for (const auto* seg : s.find(kDqt)) {
        size_t pos = 0;
        while (pos < seg->payload.size()) {
            const int number = seg->payload[pos] & 15;
            EXPECT_EQ(seg->payload[pos] >> 4, 0) << "8-bit entries";
            std::array<int, 64> t{};
            for (int k = 0; k < 64; ++k) t[kZigzag[k]] = seg->payload[pos + 1 + size_t(k)];
            tables[number] = t;
            pos += 65;
        }
    }
    return tables;
}

std::vector<uint8_t> EncodePattern(int w, int h, int channels, CoderParams p = {}) {
    return jpegtest::Encode(jpegtest::MakePattern(w, h, channels), p);
}

}  // namespace

TEST(JpegEncoder, HeaderLayoutOfAColourStream) {
    CoderParams p;
    p.densityUnit = kDotsPerInch;
    p.xDensity = 300;
    p.yDensity = 300;
    const auto s = jpegtest::Split(EncodePattern(50, 30, 3, p));
    std::vector<uint8_t> order;
    for (const auto& seg : s.segments) order.push_back(seg.marker);
    EXPECT_EQ(order,
              (std::vector<uint8_t>{kApp0, kCom, kDqt, kDqt, kSof0, kDht, kDht, kDht, kDht, kSos}));

    const auto& jfif = s.segments[0].payload;
    EXPECT_EQ(jfif,
              (std::vector<uint8_t>{'J', 'F', 'I', 'F', 0, 1, 1, 1, 0x01, 0x2C, 0x01, 0x2C, 0, 0}));
    EXPECT_FALSE(s.segments[1].payload.empty());  // the banner

    const auto& sof = s.find(kSof0)[0]->payload;
    EXPECT_EQ(sof, (std::vector<uint8_t>{8, 0, 30, 0, 50, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
    // DC tables 0 and 1, then AC tables 0 and 1.
    const auto dht = s.find(kDht);
    EXPECT_EQ(dht[0]->payload[0], 0x00);
    EXPECT_EQ(dht[1]->payload[0], 0x01);
    EXPECT_EQ(dht[2]->payload[0], 0x10);
    EXPECT_EQ(dht[3]->payload[0], 0x11);
    EXPECT_EQ(dht[0]->payload.size(), 1u + 16 + 12);
    EXPECT_EQ(dht[2]->payload.size(), 1u + 16 + 162);
    EXPECT_EQ(s.find(kSos)[0]->payload,
              (std::vector<uint8_t>{3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));
}

TEST(JpegEncoder, SubsamplingAndQuantSegmentOptions) {
    CoderParams p;
    p.subsample422 = true;
    p.singleQuantSegment = true;
    const auto s = jpegtest::Split(EncodePattern(50, 30, 3, p));
    EXPECT_EQ(s.find(kSof0)[0]->payload[7], 0x21);
    const auto dqt = s.find(kDqt);
    ASSERT_EQ(dqt.size(), 1u);
    EXPECT_EQ(dqt[0]->payload.size(), 130u);  // length 132 less the length field
    EXPECT_EQ(dqt[0]->payload[0], 0);
    EXPECT_EQ(dqt[0]->payload[65], 1);

    p.singleQuantSegment = false;
    const auto t = jpegtest::Split(EncodePattern(50, 30, 3, p));
    ASSERT_EQ(t.find(kDqt).size(), 2u);
    EXPECT_EQ(t.find(kDqt)[0]->payload.size(), 65u);
    EXPECT_EQ(QuantTables(s), QuantTables(t));
}

TEST(JpegEncoder, GreyStreamHasBothQuantTablesButOnlyHuffmanTablesZero) {
    const auto s = jpegtest::Split(EncodePattern(20, 20, 1));
    const auto& sof = s.find(kSof0)[0]->payload;
    EXPECT_EQ(sof[5], 1);
    EXPECT_EQ(sof[7], 0x11);
    EXPECT_EQ(QuantTables(s).size(), 2u);
    const auto dht = s.find(kDht);
    ASSERT_EQ(dht.size(), 2u);
    EXPECT_EQ(dht[0]->payload[0], 0x00);
    EXPECT_EQ(dht[1]->payload[0], 0x10);
    EXPECT_EQ(s.find(kSos)[0]->payload, (std::vector<uint8_t>{1, 1, 0x00, 0, 63, 0}));
}

TEST(JpegEncoder, QualityScalesTheStandardTables) {
    auto tablesAt = [](int q) {
        CoderParams p;
        p.quality = q;
        return QuantTables(jpegtest::Split(EncodePattern(8, 8, 3, p)));
    };
    const auto q90 = tablesAt(90);
    EXPECT_EQ(q90.at(0)[0], 3);    // 16 x 20 %
    EXPECT_EQ(q90.at(1)[63], 20);  // 99 x 20 %
    EXPECT_EQ(q90.at(0)[1], 2);    // (20 x 11 + 50) / 100
    const auto q50 = tablesAt(50);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(q50.at(0)[i], kLuminance[i]);
    EXPECT_EQ(q50.at(1)[0], 17);
    EXPECT_EQ(q50.at(1)[63], 99);
    const auto q100 = tablesAt(100);
    for (const auto& [number, table] : q100)
        for (int v : table) EXPECT_EQ(v, 1) << "table " << number;
    // Out of range qualities are clamped: 0 acts as 1 (entries capped at 255), 150 as 100.
    EXPECT_EQ(tablesAt(0), tablesAt(1));
    EXPECT_EQ(tablesAt(1).at(0)[0], 255);
    EXPECT_EQ(tablesAt(150), tablesAt(100));
    EXPECT_EQ(tablesAt(10).at(0)[0], 80);  // scale 500: (500 x 16 + 50) / 100
}

TEST(JpegEncoder, DensityUnitsRoundTrip) {
    struct Case {
        uint8_t code;
        uint8_t jfifUnits;
        uint8_t readBack;
    };
    for (Case c : {Case{kDotsPerInch, 1, kDotsPerInch}, Case{kDotsPerCm, 2, kDotsPerCm},
                   Case{kNoJfif, 0, kAspectOnly}, Case{kAspectOnly, 0, kAspectOnly}}) {
        CoderParams p;
        p.densityUnit = c.code;
        p.xDensity = 300;
        p.yDensity = 118;
        const auto jpeg = EncodePattern(5, 5, 3, p);
        EXPECT_EQ(jpegtest::Split(jpeg).segments[0].payload[7], c.jfifUnits);
        ImageInfo info;
        jpegtest::Decode(jpeg, &info);
        EXPECT_EQ(info.densityUnit, c.readBack);
        EXPECT_EQ(info.xDensity, 300);
        EXPECT_EQ(info.yDensity, 118);
    }
}

TEST(JpegEncoder, OnePixelImages) {
    for (int channels : {3, 1}) {
        Image src{1, 1, channels, {200, 40, 90}};
        src.pixels.resize(size_t(channels));
        const auto jpeg = jpegtest::Encode(src, {});
        const auto s = jpegtest::Split(jpeg);
        // One MCU (16 x 16 for colour) is only a handful of bytes.
        EXPECT_LT(s.tail.size(), 24u);
        ImageInfo info;
        const Image out = jpegtest::Decode(jpeg, &info);
        EXPECT_EQ(info.width, 1);
        EXPECT_EQ(info.height, 1);
        ASSERT_EQ(out.pixels.size(), size_t(channels));
        for (int c = 0; c < channels; ++c)
            EXPECT_NEAR(out.pixels[size_t(c)], src.pixels[size_t(c)], 4) << c;
    }
}

TEST(JpegEncoder, RoundTripQualityAcrossSizesAndModes) {
    for (int w = 1; w <= 47; w += 3) {
        const int h = (w * 7) % 47 + 1;
        for (int mode = 0; mode < 3; ++mode) {
            const Image src = jpegtest::MakePattern(w, h, mode == 2 ? 1 : 3);
            CoderParams p;
            p.quality = 90;
            p.subsample422 = mode == 1;
            const Image out = jpegtest::Decode(jpegtest::Encode(src, p));
            ASSERT_EQ(out.width, w);
            ASSERT_EQ(out.height, h);
            EXPECT_GT(jpegtest::Psnr(src, out), mode == 2 ? 38.0 : 30.0)
                << w << "x" << h << " mode " << mode;
        }
    }
}

TEST(JpegEncoder, FlatImagesStayFlat) {
    for (uint8_t level : {0, 1, 128, 254, 255}) {
        Image src{24, 16, 3, std::vector<uint8_t>(24 * 16 * 3, level)};
        const Image out = jpegtest::Decode(jpegtest::Encode(src, {}));
        for (uint8_t v : out.pixels) ASSERT_NEAR(v, level, 1) << int(level);
    }
}

TEST(JpegEncoder, RefusesImpossibleParameters) {
    MemorySink sink;
    CoderParams p;
    p.width = 0;
    p.height = 10;
    EXPECT_THROW(CreateCoder(sink, p), Error);
    p.width = 10;
    p.height = 0;
    EXPECT_THROW(CreateCoder(sink, p), Error);
    p.height = 70000;
    EXPECT_THROW(CreateCoder(sink, p), Error);
}
