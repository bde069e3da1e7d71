// Damaged and hostile streams: every one is refused with Error, none crashes or hangs.
// (Run under AddressSanitizer by scripts/test; the fuzz target goes further.)

#include "jpeg_test_util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

using namespace MiniJpeg;

namespace {

std::vector<uint8_t> SmallStream() {
    return jpegtest::Encode(jpegtest::MakePattern(17, 9, 3), {});
}

// Decodes fully; true on success, false on Error. Anything else escapes and fails the test.
bool Decodes(const std::vector<uint8_t>& bytes) {
    try {
        jpegtest::Decode(bytes);
        return true;
    } catch (const Error&) {
        return false;
    }
}

void Replace(jpegtest::SplitStream& s, uint8_t marker, std::vector<uint8_t> payload) {
    s.segments[size_t(s.indexOf(marker))].payload = std::move(payload);
}

}  // namespace

TEST(JpegHostile, EveryTruncationIsRefused) {
    const std::vector<uint8_t> jpeg = SmallStream();
    // Without its end-of-image marker the stream is still whole.
    EXPECT_TRUE(Decodes({jpeg.begin(), jpeg.end() - 2}));
    for (size_t n = 0; n + 2 < jpeg.size(); ++n)
        EXPECT_FALSE(Decodes({jpeg.begin(), jpeg.begin() + long(n)})) << "length " << n;
}

TEST(JpegHostile, HugeDeclaredSizeCostsNothingUntilLinesAreRead) {
    auto s = jpegtest::Split(SmallStream());
    auto& sof = s.segments[size_t(s.indexOf(0xC0))].payload;
    sof[1] = sof[2] = sof[3] = sof[4] = 0xFF;  // 65535 x 65535
    s.tail.resize(40);                         // a few bytes of scan data
    const std::vector<uint8_t> bytes = jpegtest::Join(s);
    MemorySource in(bytes.data(), bytes.size());
    uint16_t w = 0, h = 0;
    auto dec = CreateDecoder(in, &w, &h);
    EXPECT_EQ(w, 65535);
    EXPECT_EQ(h, 65535);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(dec->ReadLine(), Error);  // the first row of MCUs runs out of data
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(JpegHostile, BadFrameHeaders) {
    const auto base = jpegtest::Split(SmallStream());
    const auto& sof = base.segments[size_t(base.indexOf(0xC0))].payload;
    auto refuse = [&](auto edit) {
        auto s = base;
        edit(s.segments[size_t(s.indexOf(0xC0))].payload);
        EXPECT_FALSE(Decodes(jpegtest::Join(s)));
    };
    refuse([](auto& p) { p[0] = 12; });        // 12-bit samples
    refuse([](auto& p) { p[1] = p[2] = 0; });  // height 0
    refuse([](auto& p) { p[3] = p[4] = 0; });  // width 0
    refuse([](auto& p) { p[7] = 0x52; });      // sampling factor 5
    refuse([](auto& p) { p[7] = 0x20; });      // sampling factor 0
    refuse([](auto& p) { p[8] = 4; });         // quantisation table 4
    refuse([](auto& p) { p[9] = p[6]; });      // two components share an identifier
    refuse([](auto& p) { p.pop_back(); });     // length does not match the count
    refuse([&](auto& p) {
        p[5] = 2;
        p.resize(6 + 6);
    });                    // two components
    refuse([&](auto& p) {  // four components (CMYK)
        p[5] = 4;
        p.insert(p.end(), {4, 0x11, 1});
    });
    (void)sof;
    // A second frame header, and a frame of a refused kind.
    auto s = base;
    s.segments.insert(s.segments.begin() + s.indexOf(0xC0), *s.find(0xC0)[0]);
    EXPECT_FALSE(Decodes(jpegtest::Join(s)));
    for (uint8_t kind : {0xC2, 0xC3, 0xC5, 0xC9, 0xCA, 0xCB, 0xCD, 0xCF}) {
        s = base;
        s.segments[size_t(s.indexOf(0xC0))].marker = kind;
        EXPECT_FALSE(Decodes(jpegtest::Join(s))) << std::hex << int(kind);
    }
    // No frame header at all.
    s = base;
    s.segments.erase(s.segments.begin() + s.indexOf(0xC0));
    EXPECT_FALSE(Decodes(jpegtest::Join(s)));
}

TEST(JpegHostile, BadTables) {
    const auto base = jpegtest::Split(SmallStream());
    auto s = base;
    // Three codes of one bit.
    std::vector<uint8_t> dht = {0x00, 3};
    dht.resize(17, 0);
    dht.insert(dht.end(), {0, 1, 2});
    s.segments.insert(s.segments.begin(), {0xC4, dht});
    EXPECT_FALSE(Decodes(jpegtest::Join(s)));
    // More than 255 symbols.
    s = base;
    dht = {0x10};
    for (int i = 0; i < 16; ++i) dht.push_back(i < 8 ? 0 : 32);
    dht.resize(dht.size() + 256, 1);
    s.segments.insert(s.segments.begin(), {0xC4, dht});
    EXPECT_FALSE(Decodes(jpegtest::Join(s)));
    // Table class 2, table number 4, a segment shorter than its counts say.
    for (uint8_t head : {0x20, 0x04}) {
        s = base;
        s.segments[size_t(s.indexOf(0xC4))].payload[0] = head;
        EXPECT_FALSE(Decodes(jpegtest::Join(s)));
    }
    s = base;
    s.segments[size_t(s.indexOf(0xC4))].payload.resize(10);
    EXPECT_FALSE(Decodes(jpegtest::Join(s)));
    // Quantisation: table number 4, truncated table.
    s = base;
    s.segments[size_t(s.indexOf(0xDB))].payload[0] = 4;
    EXPECT_FALSE(Decodes(jpegtest::Join(s)));
    s = base;
    s.segments[size_t(s.indexOf(0xDB))].payload.resize(40);
    EXPECT_FALSE(Decodes(jpegtest::Join(s)));
}

TEST(JpegHostile, ScanThatReferencesMissingThingsIsRefused) {
    const auto base = jpegtest::Split(SmallStream());
    auto refuse = [&](std::vector<uint8_t> sos) {
        auto s = base;
        Replace(s, 0xDA, std::move(sos));
        EXPECT_FALSE(Decodes(jpegtest::Join(s)));
    };
    // The encoder's scan: 3 components 1/0x00, 2/0x11, 3/0x11, then 0, 63, 0.
    refuse({3, 1, 0x00, 2, 0x22, 3, 0x11, 0, 63, 0});  // Huffman tables 2 do not exist
    refuse({3, 1, 0x00, 2, 0x14, 3, 0x11, 0, 63, 0});  // AC table 4
    refuse({3, 1, 0x00, 9, 0x11, 3, 0x11, 0, 63, 0});  // no component 9
    refuse({3, 1, 0x00, 1, 0x11, 3, 0x11, 0, 63, 0});  // component 1 twice
    refuse({1, 1, 0x00, 0, 63, 0});                    // one component of three
    refuse({3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63});     // length off by one
    refuse({0, 0, 63, 0});                             // no component
    // Quantisation table 1 missing.
    auto s = base;
    auto dqt = s.find(0xDB);
    s.segments.erase(s.segments.begin() + s.indexOf(0xDB) + 1);
    EXPECT_FALSE(Decodes(jpegtest::Join(s)));
    (void)dqt;
}

TEST(JpegHostile, MarkersInTheWrongPlace) {
    const std::vector<uint8_t> jpeg = SmallStream();
    const auto base = jpegtest::Split(jpeg);
    // Not starting with SOI.
    std::vector<uint8_t> b = jpeg;
    b[1] = 0xD9;
    EXPECT_FALSE(Decodes(b));
    // Restart marker, end of image, DNL, TEM among the headers.
    for (uint8_t m : {0xD0, 0xDC, 0xDE, 0xDF, 0x01, 0xF0}) {
        auto s = base;
        s.segments.insert(s.segments.begin() + 1, {m, {}});
        EXPECT_FALSE(Decodes(jpegtest::Join(s))) << std::hex << int(m);
    }
    // End of image before the scan.
    b = {0xFF, 0xD8};
    for (size_t i = 0; i + 1 < base.segments.size(); ++i) {
        auto one = base;
        one.segments = {base.segments[i]};
        one.tail.clear();
        const auto bytes = jpegtest::Join(one);
        b.insert(b.end(), bytes.begin() + 2, bytes.end());
    }
    b.insert(b.end(), {0xFF, 0xD9});
    EXPECT_FALSE(Decodes(b));
    // A marker inside the scan data.
    auto s = base;
    s.tail.insert(s.tail.begin() + 10, {0xFF, 0xC4});
    EXPECT_FALSE(Decodes(jpegtest::Join(s)));
    // A segment length below 2.
    b = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01, 0xFF, 0xD9};
    EXPECT_FALSE(Decodes(b));
}

TEST(JpegHostile, RandomDamageNeverCrashes) {
    const std::vector<uint8_t> jpeg = SmallStream();
    std::mt19937 rng(1234);
    int refused = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<uint8_t> b = jpeg;
        const int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const size_t at = rng() % b.size();
            switch (rng() % 3) {
                case 0:
                    b[at] = uint8_t(rng());
                    break;
                case 1:
                    b[at] ^= uint8_t(1u << (rng() % 8));
                    break;
                default:
                    b.erase(b.begin() + long(at));
                    break;
            }
        }
        refused += !Decodes(b);
    }
    EXPECT_GT(refused, 100);  // damage is noticed, not silently decoded every time
}
