// The five standard modes: invariants and the character of each filter.

#include "engine/standard_modes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace orm::engine {
namespace {

BgrImage Filled(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    BgrImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            img.Row(y)[3 * x] = b;
            img.Row(y)[3 * x + 1] = g;
            img.Row(y)[3 * x + 2] = r;
        }
    return img;
}

BgrImage Checkerboard(int w, int h) {
    BgrImage img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) img.Row(y)[3 * x + c] = ((x + y) & 1) ? 255 : 0;
    return img;
}

BgrImage Draw(const BgrImage& src, int w, int h, StandardMode mode) {
    BgrImage dst(w, h);
    DrawStandardMode(src.View(), dst.View(), mode);
    return dst;
}

const StandardMode kModes[] = {StandardMode::NearestNeighbor, StandardMode::Bilinear,
                               StandardMode::HighQualityBilinear, StandardMode::Bicubic,
                               StandardMode::HighQualityBicubic};

TEST(StandardModes, ConstantInConstantOut) {
    const BgrImage src = Filled(13, 7, 10, 128, 250);
    for (StandardMode mode : kModes)
        for (auto [w, h] : {std::pair{40, 21}, {3, 3}, {13, 7}, {100, 2}}) {
            const BgrImage out = Draw(src, w, h, mode);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    ASSERT_EQ(out.Row(y)[3 * x], 10);
                    ASSERT_EQ(out.Row(y)[3 * x + 1], 128);
                    ASSERT_EQ(out.Row(y)[3 * x + 2], 250);
                }
        }
}

TEST(StandardModes, SameSizeIsTheIdentity) {
    const BgrImage src = Checkerboard(11, 9);
    for (StandardMode mode : kModes) {
        const BgrImage out = Draw(src, 11, 9, mode);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 33; ++x) ASSERT_EQ(out.Row(y)[x], src.Row(y)[x]) << int(mode);
    }
}

TEST(StandardModes, NearestNeighbourDuplicatesPixels) {
    BgrImage src(2, 1);
    const std::uint8_t bytes[] = {1, 2, 3, 4, 5, 6};
    std::copy(bytes, bytes + 6, src.Row(0));
    const BgrImage out = Draw(src, 4, 1, StandardMode::NearestNeighbor);
    const std::uint8_t expected[] = {1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6};
    EXPECT_TRUE(std::equal(expected, expected + 12, out.Row(0)));
}

TEST(StandardModes, HighQualityModesAverageWhenReducingPlainModesAlias) {
    // A one-pixel checkerboard reduced by 4 in each direction: the HQ modes average to grey,
    // the plain modes sample a few pixels and keep strong contrast.
    const BgrImage src = Checkerboard(64, 64);
    auto spread = [](const BgrImage& img) {
        int lo = 255, hi = 0;
        for (int y = 0; y < img.Height(); ++y)
            for (int x = 0; x < img.Width() * 3; ++x) {
                lo = std::min<int>(lo, img.Row(y)[x]);
                hi = std::max<int>(hi, img.Row(y)[x]);
            }
        return hi - lo;
    };
    EXPECT_LE(spread(Draw(src, 16, 16, StandardMode::HighQualityBilinear)), 40);
    EXPECT_LE(spread(Draw(src, 16, 16, StandardMode::HighQualityBicubic)), 40);
    EXPECT_GE(spread(Draw(src, 13, 13, StandardMode::Bilinear)), 100);
}

TEST(StandardModes, EnlargementInterpolatesBetweenNeighbours) {
    BgrImage src(2, 1);
    std::fill(src.Row(0), src.Row(0) + 3, 0);
    std::fill(src.Row(0) + 3, src.Row(0) + 6, 200);
    const BgrImage bilinear = Draw(src, 4, 1, StandardMode::Bilinear);
    // Centres at -0.25, 0.25, 0.75, 1.25 (edges clamped).
    const int expected[] = {0, 50, 150, 200};
    for (int x = 0; x < 4; ++x) EXPECT_EQ(bilinear.Row(0)[3 * x], expected[x]);
    const BgrImage bicubic = Draw(src, 4, 1, StandardMode::Bicubic);
    EXPECT_LT(bicubic.Row(0)[3], bicubic.Row(0)[6]);
}

}  // namespace
}  // namespace orm::engine
