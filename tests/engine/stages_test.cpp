// The resampler, box reductions and filters: documented examples, invariants and the literal
// reference on random planes of odd sizes.

#include "engine/plane_filters.h"
#include "engine/resample_plane.h"
#include "reference_stages.h"
#include "test_util.h"

#include <gtest/gtest.h>

namespace orm::engine {
namespace {

using test::PlaneOf;
using test::SamePlanes;
using test::ValuesOf;

ImagePlane Resampled(const ImagePlane& src, int dw, int dh, double p1, double p2, KernelType t) {
    ImagePlane dst(dw, dh);
    EXPECT_TRUE(ResamplePlane(dst, src, p1, p2, t, nullptr));
    return dst;
}

TEST(ResamplePlane, DocumentedOneDimensionalExamples) {
    const ImagePlane edge = PlaneOf(2, 1, {0, 255});
    EXPECT_EQ(ValuesOf(Resampled(edge, 4, 1, 2, 1, KernelType::Lanczos)),
              (std::vector<int>{0, 130, 255, 255}));
    EXPECT_EQ(ValuesOf(Resampled(edge, 4, 1, 3, 1, KernelType::Lanczos)),
              (std::vector<int>{0, 127, 255, 255}));
    EXPECT_EQ(ValuesOf(Resampled(edge, 4, 1, 0, 0.5, KernelType::Cubic)),
              (std::vector<int>{0, 128, 255, 255}));
    // The last output sits at source position 2.5 and reads the repeated edge: it overshoots.
    EXPECT_EQ(ValuesOf(Resampled(PlaneOf(3, 1, {0, 100, 200}), 6, 1, 0, 0.5, KernelType::Cubic)),
              (std::vector<int>{0, 44, 100, 156, 200, 206}));
    // Sample positions come from one division of the exact product X * sw.
    EXPECT_EQ(Resampled(PlaneOf(3, 1, {0, 255, 0}), 94, 1, 0, 0.5, KernelType::Cubic).At(47, 0),
              143);
}

TEST(ResamplePlane, IntegerEnlargementKeepsEverySourcePixel) {
    const ImagePlane src = reference::RandomPlane(13, 9, 7);
    for (int k : {2, 3}) {
        for (KernelType type : {KernelType::Lanczos, KernelType::Cubic}) {
            const double p1 = type == KernelType::Lanczos ? 2 : 0;
            const double p2 = type == KernelType::Lanczos ? 1 : 0.5;
            const ImagePlane dst = Resampled(src, 13 * k, 9 * k, p1, p2, type);
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 13; ++x)
                    ASSERT_EQ(dst.At(k * x, k * y), src.At(x, y)) << "k=" << k;
        }
    }
}

TEST(ResamplePlane, ConstantPlaneStaysConstant) {
    ImagePlane flat(17, 11);
    std::fill(flat.Bytes().begin(), flat.Bytes().end(), 77);
    for (auto [dw, dh] : {std::pair{40, 30}, {9, 5}, {17, 11}, {23, 7}}) {
        const ImagePlane out = Resampled(flat, dw, dh, 3, 1, KernelType::Lanczos);
        for (int v : ValuesOf(out)) ASSERT_NEAR(v, 77, 1);
    }
}

TEST(ResamplePlane, MatchesLiteralReferenceOnOddSizes) {
    struct Case {
        int sw, sh, dw, dh;
    };
    const Case cases[] = {{37, 23, 111, 69}, {37, 23, 41, 29},  {53, 41, 19, 13},
                          {31, 17, 97, 21},  {29, 33, 30, 101}, {1, 1, 5, 3},
                          {7, 1, 3, 1},      {5, 9, 13, 2},     {101, 3, 203, 7}};
    std::uint32_t seed = 1;
    for (const Case& c : cases) {
        const ImagePlane src = reference::RandomPlane(c.sw, c.sh, seed++);
        for (int radius : {2, 3})
            ASSERT_TRUE(SamePlanes(reference::Resample(src, c.dw, c.dh, radius, 1, true),
                                   Resampled(src, c.dw, c.dh, radius, 1, KernelType::Lanczos)))
                << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh << " lanczos " << radius;
        ASSERT_TRUE(SamePlanes(reference::Resample(src, c.dw, c.dh, 0, 0.5, false),
                               Resampled(src, c.dw, c.dh, 0, 0.5, KernelType::Cubic)))
            << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh << " cubic";
    }
}

TEST(BoxReduce, DocumentedExamples) {
    ImagePlane out(2, 1);
    ASSERT_TRUE(BoxReduceRows(out, PlaneOf(4, 1, {10, 11, 20, 21}), nullptr));
    EXPECT_EQ(ValuesOf(out), (std::vector<int>{10, 20}));
    ASSERT_TRUE(BoxReduceRows(out, PlaneOf(3, 1, {10, 20, 30}), nullptr));
    EXPECT_EQ(ValuesOf(out), (std::vector<int>{13, 26}));
    ImagePlane column(1, 2);
    ASSERT_TRUE(BoxReduceColumns(column, PlaneOf(1, 3, {10, 20, 30}), nullptr));
    EXPECT_EQ(ValuesOf(column), (std::vector<int>{13, 26}));
}

TEST(BoxReduce, MatchesLiteralReferenceWhereItDoesNotOverflow) {
    std::uint32_t seed = 100;
    for (auto [sw, sh, dw, dh] : {std::array{57, 43, 13, 11},
                                  {99, 77, 98, 76},
                                  {255, 3, 1, 1},
                                  {64, 48, 16, 12},
                                  {31, 29, 10, 28}}) {
        const ImagePlane src = reference::RandomPlane(sw, sh, seed++);
        ImagePlane rows(dw, sh), both(dw, dh);
        ASSERT_TRUE(BoxReduceRows(rows, src, nullptr));
        ASSERT_TRUE(BoxReduceColumns(both, rows, nullptr));
        ASSERT_TRUE(SamePlanes(reference::BoxRows(src, dw), rows));
        ASSERT_TRUE(SamePlanes(reference::BoxColumns(reference::BoxRows(src, dw), dh), both));
    }
}

TEST(BoxReduce, WideLinesAndStrongReductionsDoNotOverflow) {
    // 70000 pixels wide: the 16.16 step no longer fits in 32 bits.
    ImagePlane wide(70000, 2);
    for (int x = 0; x < 70000; ++x) {
        wide.At(x, 0) = 200;
        wide.At(x, 1) = std::uint8_t(x < 35000 ? 0 : 255);
    }
    ImagePlane out(7, 2);
    ASSERT_TRUE(BoxReduceRows(out, wide, nullptr));
    for (int x = 0; x < 7; ++x) EXPECT_EQ(out.At(x, 0), 200);
    EXPECT_EQ(out.At(0, 1), 0);
    EXPECT_EQ(out.At(6, 1), 255);
    // 1000 to 1: a reduction stronger than 1/256 in one call.
    ImagePlane tall(1, 1000);
    std::fill(tall.Bytes().begin(), tall.Bytes().end(), 255);
    ImagePlane one(1, 1);
    ASSERT_TRUE(BoxReduceColumns(one, tall, nullptr));
    EXPECT_EQ(one.At(0, 0), 255);
}

TEST(SharpenPlane, KeepsBordersAndFlatAreasAndMatchesReference) {
    ImagePlane flat(9, 7);
    std::fill(flat.Bytes().begin(), flat.Bytes().end(), 90);
    ImagePlane copy = flat;
    ASSERT_TRUE(SharpenPlane(copy, 25, nullptr));
    EXPECT_TRUE(SamePlanes(flat, copy));

    const ImagePlane src = reference::RandomPlane(23, 17, 5);
    for (int amount : {0, 13, 25, 28, 99}) {
        ImagePlane p = src;
        ASSERT_TRUE(SharpenPlane(p, amount, nullptr));
        ASSERT_TRUE(SamePlanes(reference::Sharpen(src, amount), p)) << "amount " << amount;
        for (int x = 0; x < 23; ++x)
            ASSERT_TRUE(p.At(x, 0) == src.At(x, 0) && p.At(x, 16) == src.At(x, 16));
        for (int y = 0; y < 17; ++y)
            ASSERT_TRUE(p.At(0, y) == src.At(0, y) && p.At(22, y) == src.At(22, y));
    }
}

TEST(GaussianBlurPlane, ConstantPlaneEdgesAsDocumented) {
    ImagePlane p(6, 6);
    std::fill(p.Bytes().begin(), p.Bytes().end(), 100);
    ASSERT_TRUE(GaussianBlurPlane(p, 10, 10, nullptr, nullptr));
    const std::vector<int> first{108, 104, 104, 104, 104, 100};
    const std::vector<int> inner{104, 100, 100, 100, 100, 96};
    const std::vector<int> last{100, 96, 96, 96, 96, 92};
    for (int y = 0; y < 6; ++y) {
        std::vector<int> row(p.Row(y), p.Row(y) + 6);
        EXPECT_EQ(row, y == 0 ? first : y == 5 ? last : inner) << "row " << y;
    }
}

TEST(GaussianBlurPlane, ImpulseResponseAsDocumented) {
    ImagePlane p(12, 12);
    p.At(5, 5) = 255;
    const ImagePlane columns = reference::GaussianColumns(p, 10);
    std::vector<int> column;
    for (int y = 0; y < 12; ++y) column.push_back(columns.At(5, y));
    EXPECT_EQ(column, (std::vector<int>{0, 0, 0, 1, 42, 169, 42, 1, 0, 0, 0, 0}));

    ASSERT_TRUE(GaussianBlurPlane(p, 10, 10, nullptr, nullptr));
    ImagePlane expected(12, 12);
    expected.At(5, 5) = 112;
    for (auto [x, y] : {std::pair{4, 5}, {6, 5}, {5, 4}, {5, 6}}) expected.At(x, y) = 28;
    for (auto [x, y] : {std::pair{4, 4}, {6, 4}, {4, 6}, {6, 6}}) expected.At(x, y) = 7;
    expected.At(5, 3) = 1;
    expected.At(5, 7) = 1;
    EXPECT_TRUE(SamePlanes(expected, p));
}

TEST(GaussianBlurPlane, MatchesLiteralReference) {
    std::uint32_t seed = 300;
    for (auto [w, h, hc, vc] : {std::array{31, 19, 10, 10},
                                {7, 23, 8, 8},
                                {40, 3, 10, 25},
                                {1, 9, 10, 10},
                                {5, 1, 8, 10},
                                {3, 3, 33, 12}}) {
        const ImagePlane src = reference::RandomPlane(w, h, seed++);
        ImagePlane p = src;
        ASSERT_TRUE(GaussianBlurPlane(p, hc, vc, nullptr, nullptr));
        ASSERT_TRUE(SamePlanes(reference::Gaussian(src, hc, vc), p)) << w << "x" << h;
    }
}

TEST(GaussianBlurPlane, StopFlagEndsTheRowPass) {
    ImagePlane p = reference::RandomPlane(8, 8, 9);
    const volatile unsigned char stop = 1;
    EXPECT_FALSE(GaussianBlurPlane(p, 10, 10, &stop, nullptr));
}

TEST(RangeStretchPlane, DocumentedValues) {
    // A 5 x 5 guide holding 0 and 255 around a centre whose value varies.
    const int values[] = {0, 100, 120, 128, 140, 200};
    const int expected[] = {0, 0, 61, 128, 227, 255};
    for (int i = 0; i < 6; ++i) {
        ImagePlane g(5, 5);
        std::fill(g.Bytes().begin(), g.Bytes().end(), 128);
        g.At(0, 0) = 0;
        g.At(4, 4) = 255;
        ImagePlane v = g;
        v.At(2, 2) = std::uint8_t(values[i]);
        ASSERT_TRUE(RangeStretchPlane(v, g, 4, 4, 2, 2, 5.421053, nullptr));
        EXPECT_EQ(v.At(2, 2), expected[i]) << "value " << values[i];
    }
}

TEST(RangeStretchPlane, SmallRangesPassTheGuideThrough) {
    ImagePlane g = reference::RandomPlane(9, 9, 4);
    for (auto& b : g.Bytes()) b = std::uint8_t(100 + b % 8);  // half / (2 s q) below 1 everywhere
    ImagePlane v(9, 9);
    std::fill(v.Bytes().begin(), v.Bytes().end(), 3);
    ASSERT_TRUE(RangeStretchPlane(v, g, 3, 3, 2, 2, 5.421053, nullptr));
    EXPECT_TRUE(SamePlanes(g, v));
}

TEST(RangeStretchPlane, MatchesLiteralReferenceIncludingPlanesSmallerThanTheWindow) {
    std::uint32_t seed = 500;
    struct Case {
        int w, h, hw, vw;
        double sx, sy, s;
    };
    const Case cases[] = {{41, 29, 6, 6, 3, 3, 3.678571},      {33, 35, 3, 5, 1.7, 2.6, 5.421053},
                          {17, 13, 8, 2, 4.2, 1.5, 11.135135}, {3, 20, 6, 6, 3, 3, 3.678571},
                          {2, 2, 8, 8, 4, 4, 3.678571},        {6, 1, 4, 4, 2, 2, 5.421053}};
    for (const Case& c : cases) {
        const ImagePlane v = reference::RandomPlane(c.w, c.h, seed++);
        const ImagePlane g = reference::RandomPlane(c.w, c.h, seed++);
        ImagePlane out = v;
        ASSERT_TRUE(RangeStretchPlane(out, g, c.hw, c.vw, c.sx, c.sy, c.s, nullptr));
        ASSERT_TRUE(SamePlanes(reference::RangeStretch(v, g, c.hw, c.vw, c.sx, c.sy, c.s), out))
            << c.w << "x" << c.h;
        // The guide may be the plane itself.
        ImagePlane self = v;
        ASSERT_TRUE(RangeStretchPlane(self, self, c.hw, c.vw, c.sx, c.sy, c.s, nullptr));
        ASSERT_TRUE(SamePlanes(reference::RangeStretch(v, v, c.hw, c.vw, c.sx, c.sy, c.s), self));
    }
}

}  // namespace
}  // namespace orm::engine
