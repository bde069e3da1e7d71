// Resizing with alpha: the weighting arithmetic, alpha resized as the colours are, opaque pixels
// exactly as the 24-bit resize makes them. (No hidden colour at the edges, end to end:
// tests/batch/cli_alpha_webp_test.cpp.)

#include "engine/alpha_resize.h"
#include "engine/progress.h"
#include "engine/resize_image.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>

namespace orm::engine {
namespace {

QuadImage Quads(int w, int h) {
    QuadImage image;
    image.pixels.resize(std::size_t(w) * h * kQuadChannels);
    image.width = w;
    image.height = h;
    return image;
}

ConstQuadView ViewOf(const QuadImage& image) {
    return {image.pixels.data(), image.width, image.height, image.Stride()};
}

// A pattern whose colours vary in every channel; alpha from `alpha(x, y)`.
template <typename Alpha>
QuadImage Pattern(int w, int h, Alpha alpha) {
    QuadImage image = Quads(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = image.Row(y) + 4 * x;
            p[0] = std::uint8_t(x * 9 + y);
            p[1] = std::uint8_t(y * 13 + 40);
            p[2] = std::uint8_t((x * 7 + y * 3) & 255);
            p[3] = std::uint8_t(alpha(x, y));
        }
    return image;
}

// Channel c of a four-byte image as the three channels of a 24-bit one (c < 0: colours 0..2).
BgrImage AsBgr(const QuadImage& image, int c = -1) {
    BgrImage out(image.width, image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            for (int k = 0; k < 3; ++k)
                out.Row(y)[3 * x + k] = image.Row(y)[4 * x + (c < 0 ? k : c)];
    return out;
}

TEST(AlphaResize, PremultiplyAndBackRoundToNearest) {
    const std::uint8_t in[] = {200, 100, 255, 128, 7, 255, 0, 255, 90, 80, 70, 0};
    std::uint8_t weighted[12];
    PremultiplyPixels(in, weighted, 3);
    const std::uint8_t expectWeighted[] = {100, 50, 128, 128, 7, 255, 0, 255, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(weighted, expectWeighted, 12), 0);

    // 100 x 255 / 128 = 199.2; a colour above its alpha (ringing) is held to it first; alpha 0
    // leaves no colour.
    const std::uint8_t resized[] = {100, 50, 128, 128, 200, 20, 0, 100, 9, 9, 9, 0};
    std::uint8_t straight[12];
    UnpremultiplyPixels(resized, straight, 3);
    const std::uint8_t expectStraight[] = {199, 100, 255, 128, 255, 51, 0, 100, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(straight, expectStraight, 12), 0);

    // Opaque pixels go there and back unchanged.
    std::uint8_t all[256 * 4], there[256 * 4], back[256 * 4];
    for (int c = 0; c < 256; ++c) all[4 * c] = all[4 * c + 1] = all[4 * c + 2] = std::uint8_t(c);
    for (int c = 0; c < 256; ++c) all[4 * c + 3] = 255;
    PremultiplyPixels(all, there, 256);
    UnpremultiplyPixels(there, back, 256);
    EXPECT_EQ(std::memcmp(all, back, sizeof all), 0);
}

// round(min(v, full) 255 / full): a value of the 24-bit resize measured against what the resize
// made of full opacity.
int Against(int v, int full) {
    return full == 0 ? 0 : (std::min(v, full) * 255 + full / 2) / full;
}

// Opaque input: alpha 255 throughout, and the colours exactly as the 24-bit resize makes them
// (the own algorithms' measured against their resize of full opacity). Translucent input:
// alpha exactly as the 24-bit resize makes a grey image of it (the same measure).
TEST(AlphaResize, ChannelsMatchTheTwentyFourBitResize) {
    const QuadImage opaque = Pattern(23, 17, [](int, int) { return 255; });
    const QuadImage varied = Pattern(23, 17, [](int x, int y) { return (x * 31 + y * 57) & 255; });
    const QuadImage full = Pattern(23, 17, [](int, int) { return 255; });
    for (int algorithm = 0; algorithm < kAlgorithmCount; ++algorithm)
        for (bool crop : {false, true})
            for (auto [w, h] : {std::pair{50, 37}, {9, 30}, {11, 8}}) {
                SCOPED_TRACE(std::string(AlgorithmName(Alg(algorithm))) + (crop ? " crop " : " ") +
                             std::to_string(w) + "x" + std::to_string(h));
                const bool own = IsOwnAlgorithm(Alg(algorithm));
                const BgrImage white = AsBgr(full, 3);
                const ResizeOutcome fullResized =
                    ResizeImage(white.View(), w, h, Alg(algorithm), crop, nullptr);
                ASSERT_EQ(fullResized.status, ResizeStatus::Ok);
                auto measured = [&](int v, int x, int y) {
                    return own ? Against(v, fullResized.image.Row(y)[3 * x]) : v;
                };

                const QuadResizeOutcome quad =
                    ResizeWithAlpha(ViewOf(opaque), w, h, Alg(algorithm), crop, nullptr);
                ASSERT_EQ(quad.status, ResizeStatus::Ok);
                const BgrImage colours = AsBgr(opaque);
                const ResizeOutcome plain =
                    ResizeImage(colours.View(), w, h, Alg(algorithm), crop, nullptr);
                ASSERT_EQ(plain.status, ResizeStatus::Ok);
                const QuadResizeOutcome alpha =
                    ResizeWithAlpha(ViewOf(varied), w, h, Alg(algorithm), crop, nullptr);
                ASSERT_EQ(alpha.status, ResizeStatus::Ok);
                const BgrImage grey = AsBgr(varied, 3);
                const ResizeOutcome greyResized =
                    ResizeImage(grey.View(), w, h, Alg(algorithm), crop, nullptr);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const std::uint8_t* q = quad.image.Row(y) + 4 * x;
                        ASSERT_EQ(q[3], 255) << x << "," << y;
                        for (int c = 0; c < 3; ++c)
                            ASSERT_EQ(q[c], measured(plain.image.Row(y)[3 * x + c], x, y))
                                << x << "," << y << " channel " << c;
                        ASSERT_EQ(alpha.image.Row(y)[4 * x + 3],
                                  measured(greyResized.image.Row(y)[3 * x], x, y))
                            << x << "," << y;
                    }
            }
}

// Copies of pixels (nearest neighbour at any size, the standard modes at the source's size) keep
// the straight colours of faint pixels exactly: alpha 1 to 7 among them.
TEST(AlphaResize, CopiesKeepFaintColoursExactly) {
    const QuadImage src = Pattern(19, 13, [](int x, int y) { return (x + 19 * y) % 9; });
    for (int algorithm = 0; algorithm < 5; ++algorithm)
        for (auto [w, h, crop] : {std::tuple{19, 13, false}, {41, 7, false}, {10, 10, true}}) {
            if (algorithm != 0 && w != 19)
                continue;  // a resampling mode makes new pixels
            SCOPED_TRACE(std::to_string(algorithm) + " " + std::to_string(w) + "x" +
                         std::to_string(h));
            const QuadResizeOutcome out =
                ResizeWithAlpha(ViewOf(src), w, h, Alg(algorithm), crop, nullptr);
            ASSERT_EQ(out.status, ResizeStatus::Ok);
            int tw = w, th = h;
            if (crop)
                CoverSize(19, 13, w, h, tw, th);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    // Nearest neighbour's pick: source = ((2 i + 1) s) / (2 d).
                    const int sx = ((2 * (x + (tw - w) / 2) + 1) * 19) / (2 * tw);
                    const int sy = ((2 * (y + (th - h) / 2) + 1) * 13) / (2 * th);
                    ASSERT_EQ(0, std::memcmp(out.image.Row(y) + 4 * x, src.Row(sy) + 4 * sx, 4))
                        << x << "," << y;
                }
        }
}

// The standard modes weigh colours by alpha in floats: under a faint, even alpha the colours come
// out as the 24-bit resize makes them (within rounding), not in the few levels 8-bit weighted
// colours would keep.
TEST(AlphaResize, FaintColoursResizeAsOpaqueOnes) {
    for (const int alpha : {1, 3, 7, 128}) {
        const QuadImage src = Pattern(23, 17, [alpha](int, int) { return alpha; });
        const BgrImage colours = AsBgr(src);
        for (int algorithm = 1; algorithm < 5; ++algorithm) {
            SCOPED_TRACE(std::to_string(alpha) + " " + std::to_string(algorithm));
            const QuadResizeOutcome out =
                ResizeWithAlpha(ViewOf(src), 37, 11, Alg(algorithm), false, nullptr);
            const ResizeOutcome plain =
                ResizeImage(colours.View(), 37, 11, Alg(algorithm), false, nullptr);
            ASSERT_EQ(out.status, ResizeStatus::Ok);
            for (int y = 0; y < 11; ++y)
                for (int x = 0; x < 37; ++x) {
                    ASSERT_EQ(out.image.Row(y)[4 * x + 3], alpha);
                    for (int c = 0; c < 3; ++c)
                        ASSERT_NEAR(out.image.Row(y)[4 * x + c], plain.image.Row(y)[3 * x + c], 1)
                            << x << "," << y << " channel " << c;
                }
        }
    }
}

class StopAtOnce : public CRSProgress {
  public:
    StopAtOnce() : CRSProgress(&stop_) { stop_.RequestStop(); }

  private:
    StopToken stop_;
};

TEST(AlphaResize, AStopLeavesNoImage) {
    const QuadImage src = Pattern(20, 20, [](int x, int) { return x * 10; });
    StopAtOnce stop;
    const QuadResizeOutcome stopped = ResizeWithAlpha(ViewOf(src), 50, 50, Alg(6), false, &stop);
    EXPECT_EQ(stopped.status, ResizeStatus::Cancelled);
    EXPECT_TRUE(stopped.image.pixels.empty());
}

}  // namespace
}  // namespace orm::engine
