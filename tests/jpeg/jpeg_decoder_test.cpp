// Decoder behaviour on streams made by the own encoder and edited segment by segment.

#include "jpeg_test_util.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace MiniJpeg;
using jpegtest::Image;

namespace {

std::vector<uint8_t> ColourStream(int w = 40, int h = 24) {
    CoderParams p;
    p.quality = 95;
    return jpegtest::Encode(jpegtest::MakePattern(w, h, 3), p);
}

// Converts raw Y, Cb, Cr samples with the real-valued JFIF formulas.
Image YccToRgb(const Image& ycc) {
    Image out = ycc;
    for (size_t i = 0; i < ycc.pixels.size(); i += 3) {
        const double y = ycc.pixels[i], cb = ycc.pixels[i + 1] - 128.0,
                     cr = ycc.pixels[i + 2] - 128.0;
        const double rgb[3] = {y + 1.402 * cr, y - 0.344136 * cb - 0.714136 * cr, y + 1.772 * cb};
        for (int c = 0; c < 3; ++c)
            out.pixels[i + c] = uint8_t(std::clamp(std::lround(rgb[c]), 0L, 255L));
    }
    return out;
}

void SetComponentIds(jpegtest::SplitStream& s, uint8_t a, uint8_t b, uint8_t c) {
    for (auto& seg : s.segments) {
        if (seg.marker == 0xC0) {
            seg.payload[6] = a;
            seg.payload[9] = b;
            seg.payload[12] = c;
        }
        if (seg.marker == 0xDA) {
            seg.payload[1] = a;
            seg.payload[3] = b;
            seg.payload[5] = c;
        }
    }
}

void RemoveJfif(jpegtest::SplitStream& s) {
    s.segments.erase(s.segments.begin() + s.indexOf(0xE0));
}

void AddAdobe(jpegtest::SplitStream& s, uint8_t transform) {
    s.segments.insert(s.segments.begin(), {0xEE, jpegtest::AdobePayload(transform)});
}

}  // namespace

TEST(JpegDecoder, OddSized420ImageGivesExactlyItsLines) {
    const Image src = jpegtest::MakePattern(17, 9, 3);
    const std::vector<uint8_t> jpeg = jpegtest::Encode(src, {});
    MemorySource in(jpeg.data(), jpeg.size());
    uint16_t w = 0, h = 0;
    uint8_t colour = 9;
    auto dec = CreateDecoder(in, &w, &h, &colour);
    EXPECT_EQ(w, 17);
    EXPECT_EQ(h, 9);
    EXPECT_EQ(colour, 1);
    Image out{17, 9, 3, {}};
    for (int y = 0; y < 9; ++y) {
        const uint8_t* line = dec->ReadLine();
        out.pixels.insert(out.pixels.end(), line, line + 17 * 3);
    }
    EXPECT_THROW(dec->ReadLine(), Error);
    EXPECT_GT(jpegtest::Psnr(src, out), 30.0);
}

TEST(JpegDecoder, AfterAnErrorEveryReadFails) {
    auto split = jpegtest::Split(ColourStream(64, 64));
    split.tail.resize(split.tail.size() / 2);  // data ends inside the scan
    const std::vector<uint8_t> jpeg = jpegtest::Join(split);
    MemorySource in(jpeg.data(), jpeg.size());
    auto dec = CreateDecoder(in);
    int lines = 0;
    EXPECT_THROW(
        {
            for (;; ++lines) dec->ReadLine();
        },
        Error);
    EXPECT_LT(lines, 64);
    EXPECT_THROW(dec->ReadLine(), Error);
}

TEST(JpegDecoder, ColourInterpretation) {
    const std::vector<uint8_t> jpeg = ColourStream();
    const Image normal = jpegtest::Decode(jpeg);
    const jpegtest::SplitStream base = jpegtest::Split(jpeg);

    // Adobe transform 0 passes the samples through: here they are Y, Cb, Cr, which the
    // real-valued conversion then turns into the normal decode.
    {
        auto s = base;
        AddAdobe(s, 0);
        const Image raw = jpegtest::Decode(jpegtest::Join(s));
        EXPECT_LT(jpegtest::Psnr(raw, normal), 20.0);
        EXPECT_GT(jpegtest::Psnr(YccToRgb(raw), normal), 40.0);
    }
    // Adobe transform 0 without JFIF (how RGB JPEGs are written) is RGB as well.
    {
        auto s = base;
        RemoveJfif(s);
        AddAdobe(s, 0);
        const Image raw = jpegtest::Decode(jpegtest::Join(s));
        EXPECT_GT(jpegtest::Psnr(YccToRgb(raw), normal), 40.0);
    }
    // Adobe transform 1, with or without JFIF and whatever the identifiers: YCbCr.
    for (bool jfif : {true, false}) {
        auto s = base;
        if (!jfif)
            RemoveJfif(s);
        AddAdobe(s, 1);
        SetComponentIds(s, 'R', 'G', 'B');
        EXPECT_EQ(jpegtest::Decode(jpegtest::Join(s)).pixels, normal.pixels) << jfif;
    }
    // JFIF without Adobe: identifiers R, G, B mean RGB.
    {
        auto s = base;
        SetComponentIds(s, 'R', 'G', 'B');
        EXPECT_GT(jpegtest::Psnr(YccToRgb(jpegtest::Decode(jpegtest::Join(s))), normal), 40.0);
        SetComponentIds(s, 7, 8, 9);
        EXPECT_EQ(jpegtest::Decode(jpegtest::Join(s)).pixels, normal.pixels);
    }
    // Neither JFIF nor Adobe: YCbCr, even with the identifiers R, G, B.
    {
        auto s = base;
        RemoveJfif(s);
        SetComponentIds(s, 'R', 'G', 'B');
        EXPECT_EQ(jpegtest::Decode(jpegtest::Join(s)).pixels, normal.pixels);
    }
}

TEST(JpegDecoder, DensityOutputs) {
    CoderParams p;
    p.densityUnit = kDotsPerInch;
    p.xDensity = 300;
    p.yDensity = 300;
    std::vector<uint8_t> jpeg = jpegtest::Encode(jpegtest::MakePattern(9, 9, 3), p);
    MemorySource in(jpeg.data(), jpeg.size());
    uint8_t unit = 0;
    uint16_t xd = 0, yd = 0;
    CreateDecoder(in, nullptr, nullptr, nullptr, &unit, &xd, &yd);
    EXPECT_EQ(unit, kDotsPerInch);
    EXPECT_EQ(xd, 300);
    EXPECT_EQ(yd, 300);

    // No JFIF segment: code 0.
    auto s = jpegtest::Split(jpeg);
    RemoveJfif(s);
    ImageInfo info;
    jpegtest::Decode(jpegtest::Join(s), &info);
    EXPECT_EQ(info.densityUnit, kNoJfif);

    // A JFIF major version other than 1 and a second JFIF segment are refused.
    s = jpegtest::Split(jpeg);
    auto jfif = *s.find(0xE0)[0];
    s.segments.insert(s.segments.begin(), jfif);
    EXPECT_THROW(jpegtest::Decode(jpegtest::Join(s)), Error);
    s = jpegtest::Split(jpeg);
    s.segments[size_t(s.indexOf(0xE0))].payload[5] = 2;
    EXPECT_THROW(jpegtest::Decode(jpegtest::Join(s)), Error);
    // Short APP0 segments and other APP0 kinds (JFXX) are skipped.
    s = jpegtest::Split(jpeg);
    s.segments.insert(s.segments.begin(), {0xE0, {'J', 'F', 'I', 'F', 0, 1}});
    s.segments.insert(s.segments.begin(),
                      {0xE0, {'J', 'F', 'X', 'X', 0, 0x10, 1, 2, 3, 4, 5, 6, 7, 8}});
    EXPECT_EQ(jpegtest::Decode(jpegtest::Join(s)).pixels, jpegtest::Decode(jpeg).pixels);
}

TEST(JpegDecoder, RestartIntervalsAndMarkers) {
    // An interval longer than the image means no restart marker is ever needed.
    const std::vector<uint8_t> jpeg = ColourStream();
    auto s = jpegtest::Split(jpeg);
    s.segments.insert(s.segments.begin() + s.indexOf(0xDA), {0xDD, {0x10, 0x00}});
    EXPECT_EQ(jpegtest::Decode(jpegtest::Join(s)).pixels, jpegtest::Decode(jpeg).pixels);
    // Interval 1 without markers in the data: refused at the second MCU.
    s.segments[size_t(s.indexOf(0xDD))].payload = {0x00, 0x01};
    EXPECT_THROW(jpegtest::Decode(jpegtest::Join(s)), Error);
    // A DRI segment of the wrong length.
    s.segments[size_t(s.indexOf(0xDD))].payload = {0x00, 0x01, 0x00};
    EXPECT_THROW(jpegtest::Decode(jpegtest::Join(s)), Error);
}

TEST(JpegDecoder, SixteenBitQuantisationTablesReadLikeEightBitOnes) {
    const std::vector<uint8_t> jpeg = ColourStream();
    auto s = jpegtest::Split(jpeg);
    for (auto& seg : s.segments) {
        if (seg.marker != 0xDB)
            continue;
        std::vector<uint8_t> wide = {uint8_t(0x10 | seg.payload[0])};
        for (int k = 1; k <= 64; ++k) wide.insert(wide.end(), {0, seg.payload[size_t(k)]});
        seg.payload = wide;
    }
    EXPECT_EQ(jpegtest::Decode(jpegtest::Join(s)).pixels, jpegtest::Decode(jpeg).pixels);
}

TEST(JpegDecoder, SkipsCommentsApplicationSegmentsAndFillBytes) {
    const std::vector<uint8_t> jpeg = ColourStream();
    auto s = jpegtest::Split(jpeg);
    s.segments.insert(s.segments.begin() + 1, {0xE1, std::vector<uint8_t>(300, 0xFF)});
    s.segments.insert(s.segments.begin() + 1, {0xED, {1, 2, 3}});
    s.segments.insert(s.segments.begin() + 1, {0xEF, {}});
    s.segments.insert(s.segments.begin() + 1, {0xFE, {'h', 'i'}});
    std::vector<uint8_t> edited = jpegtest::Join(s);
    // Fill bytes before the start-of-frame marker.
    const uint8_t sofMarker[] = {0xFF, 0xC0};
    const size_t sof = size_t(
        std::search(edited.begin(), edited.end(), std::begin(sofMarker), std::end(sofMarker)) -
        edited.begin());
    edited.insert(edited.begin() + long(sof), {0xFF, 0xFF, 0xFF});
    EXPECT_EQ(jpegtest::Decode(edited).pixels, jpegtest::Decode(jpeg).pixels);
}

TEST(JpegDecoder, GreyStream) {
    const Image src = jpegtest::MakePattern(33, 21, 1);
    CoderParams p;
    p.quality = 90;
    ImageInfo info;
    const Image out = jpegtest::Decode(jpegtest::Encode(src, p), &info);
    EXPECT_EQ(info.colour, 0);
    EXPECT_EQ(out.channels, 1);
    EXPECT_GT(jpegtest::Psnr(src, out), 38.0);
}
