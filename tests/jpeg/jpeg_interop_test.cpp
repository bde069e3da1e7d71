// Streams checked with libjpeg-turbo's djpeg and made by its cjpeg (skipped when absent).

#include "jpeg_test_util.h"

#include <gtest/gtest.h>

using namespace MiniJpeg;
using jpegtest::Image;

namespace {

bool HaveTools() {
    return jpegtest::HaveTool("djpeg") && jpegtest::HaveTool("cjpeg");
}

// djpeg with replicated chroma and the accurate inverse DCT.
std::optional<Image> Djpeg(const jpegtest::TempDir& tmp, const std::vector<uint8_t>& jpeg) {
    const std::string in = tmp.path("in.jpg"), out = tmp.path("out.pnm");
    if (!jpegtest::WriteFile(in, jpeg) ||
        !jpegtest::Run("djpeg -dct int -nosmooth -pnm -outfile '" + out + "' '" + in + "'"))
        return std::nullopt;
    return jpegtest::ReadPnm(out);
}

std::vector<uint8_t> Cjpeg(const jpegtest::TempDir& tmp, const Image& src,
                           const std::string& options) {
    const std::string in = tmp.path("src.pnm"), out = tmp.path("cj.jpg");
    if (!jpegtest::WritePnm(in, src) ||
        !jpegtest::Run("cjpeg " + options + " -outfile '" + out + "' '" + in + "'"))
        return {};
    return jpegtest::ReadFile(out);
}

Image NaturalImage() {
    const std::string dir = jpegtest::CorpusDir();
    if (!dir.empty())
        if (auto img = jpegtest::ReadPnm(dir + "/testorig.ref.ppm"))
            return *img;
    return jpegtest::MakePattern(227, 149, 3);
}

}  // namespace

TEST(JpegInterop, EncoderOutputDecodesWithDjpegLikeWithOurDecoder) {
    if (!HaveTools())
        GTEST_SKIP() << "djpeg/cjpeg not installed";
    jpegtest::TempDir tmp;
    for (int w : {1, 2, 7, 8, 9, 15, 16, 17, 31, 33, 47}) {
        const int h = (w * 5) % 47 + 1;
        for (int mode = 0; mode < 3; ++mode) {
            const Image src = jpegtest::MakeNoise(w, h, mode == 2 ? 1 : 3, uint32_t(w * 3 + mode));
            CoderParams p;
            p.subsample422 = mode == 1;
            p.singleQuantSegment = (w & 1) != 0;
            const auto jpeg = jpegtest::Encode(src, p);
            const auto theirs = Djpeg(tmp, jpeg);
            ASSERT_TRUE(theirs) << "djpeg refused " << w << "x" << h << " mode " << mode;
            const Image ours = jpegtest::Decode(jpeg);
            ASSERT_EQ(theirs->width, w);
            ASSERT_EQ(theirs->height, h);
            ASSERT_EQ(theirs->channels, ours.channels);
            EXPECT_GT(jpegtest::Psnr(ours, *theirs), 40.0) << w << "x" << h << " mode " << mode;
        }
    }
}

TEST(JpegInterop, Quality90RoundTripMatchesLibjpeg) {
    if (!HaveTools())
        GTEST_SKIP() << "djpeg/cjpeg not installed";
    jpegtest::TempDir tmp;
    const Image src = NaturalImage();
    CoderParams p;
    p.quality = 90;
    const auto ours = jpegtest::Encode(src, p);
    const auto theirs = Cjpeg(tmp, src, "-quality 90 -dct fast");
    ASSERT_FALSE(theirs.empty());
    const auto oursDecoded = Djpeg(tmp, ours);
    const auto theirsDecoded = Djpeg(tmp, theirs);
    ASSERT_TRUE(oursDecoded && theirsDecoded);
    const double psnrOurs = jpegtest::Psnr(src, *oursDecoded);
    const double psnrTheirs = jpegtest::Psnr(src, *theirsDecoded);
    EXPECT_GT(psnrOurs, psnrTheirs - 0.75);
    EXPECT_LT(double(ours.size()), 1.1 * double(theirs.size()));
    EXPECT_GT(psnrOurs, 35.0);
}

TEST(JpegInterop, RestartMarkersDecodeIdenticallyAndAreChecked) {
    if (!HaveTools())
        GTEST_SKIP() << "djpeg/cjpeg not installed";
    jpegtest::TempDir tmp;
    const Image src = NaturalImage();
    for (const std::string sampling : {"2x2", "2x1", "1x1"}) {
        const std::string base = "-quality 85 -sample " + sampling;
        const auto plain = Cjpeg(tmp, src, base);
        const auto restarts = Cjpeg(tmp, src, base + " -restart 1B");
        ASSERT_FALSE(plain.empty() || restarts.empty());
        ASSERT_GT(restarts.size(), plain.size());
        EXPECT_EQ(jpegtest::Decode(restarts).pixels, jpegtest::Decode(plain).pixels) << sampling;

        // RST1 where RST0 belongs.
        auto s = jpegtest::Split(restarts);
        const uint8_t rst0[] = {0xFF, 0xD0};
        auto at = std::search(s.tail.begin(), s.tail.end(), std::begin(rst0), std::end(rst0));
        ASSERT_NE(at, s.tail.end());
        at[1] = 0xD1;
        EXPECT_THROW(jpegtest::Decode(jpegtest::Join(s)), Error) << sampling;
    }
}

TEST(JpegInterop, RgbJpegWithAdobeTransformZeroPassesThrough) {
    if (!HaveTools())
        GTEST_SKIP() << "djpeg/cjpeg not installed";
    jpegtest::TempDir tmp;
    const Image src = NaturalImage();
    const auto rgb = Cjpeg(tmp, src, "-quality 95 -rgb");
    ASSERT_FALSE(rgb.empty());
    const auto s = jpegtest::Split(rgb);
    ASSERT_TRUE(s.find(0xE0).empty()) << "expected an RGB stream without JFIF";
    ASSERT_EQ(s.find(0xEE).size(), 1u);
    EXPECT_EQ(s.find(0xEE)[0]->payload[11], 0);  // transform 0
    const Image out = jpegtest::Decode(rgb);
    EXPECT_GT(jpegtest::Psnr(out, src), 38.0);
    const auto theirs = Djpeg(tmp, rgb);
    ASSERT_TRUE(theirs);
    EXPECT_GT(jpegtest::Psnr(out, *theirs), 45.0);
}

TEST(JpegInterop, ProgressiveAndMultiScanStreamsAreRefused) {
    if (!HaveTools())
        GTEST_SKIP() << "djpeg/cjpeg not installed";
    jpegtest::TempDir tmp;
    const Image src = jpegtest::MakePattern(40, 30, 3);
    const auto progressive = Cjpeg(tmp, src, "-progressive");
    ASSERT_FALSE(progressive.empty());
    EXPECT_THROW(jpegtest::Decode(progressive), Error);

    // Three sequential scans, one per component.
    ASSERT_TRUE(jpegtest::WriteFile(tmp.path("scans.txt"),
                                    {'0', ';', '\n', '1', ';', '\n', '2', ';', '\n'}));
    const auto separate = Cjpeg(tmp, src, "-scans '" + tmp.path("scans.txt") + "'");
    ASSERT_FALSE(separate.empty());
    ASSERT_EQ(jpegtest::Split(separate).find(0xDA)[0]->payload[0], 1);
    EXPECT_THROW(jpegtest::Decode(separate), Error);

    // The same stream marked progressive by hand.
    auto s = jpegtest::Split(jpegtest::Encode(src, {}));
    s.segments[size_t(s.indexOf(0xC0))].marker = 0xC2;
    EXPECT_THROW(jpegtest::Decode(jpegtest::Join(s)), Error);
}
