// Centred sampling of the own algorithms: the whole plans against the literal reference of the
// centred arithmetic on odd sizes, flat planes staying flat to the last row and column, mirror
// symmetry, and the sweeps announced.

#include "engine/own_algorithms.h"
#include "engine/progress.h"
#include "engine/resize_image.h"
#include "reference_stages.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <string>

namespace orm::engine {
namespace {

using test::SamePlanes;

BgrImage RandomImage(int w, int h, std::uint32_t seed) {
    BgrImage img(w, h);
    for (int c = 0; c < 3; ++c) {
        const ImagePlane p = reference::RandomPlane(w, h, seed + c);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) img.Row(y)[3 * x + c] = p.At(x, y);
    }
    return img;
}

ImagePlane Channel(const BgrImage& img, int c) {
    ImagePlane p(img.Width(), img.Height());
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) p.At(x, y) = img.Row(y)[3 * x + c];
    return p;
}

BgrImage Centred(const BgrImage& src, int w, int h, int algorithm,
                 CRSProgress* progress = nullptr) {
    ResizeOutcome out =
        ResizeImage(src.View(), w, h, Alg(algorithm), false, progress, Sampling::Centred);
    EXPECT_EQ(out.status, ResizeStatus::Ok);
    return std::move(out.image);
}

struct Target {
    int w, h;
};
// From 37 x 25: x2, x3, x4, x2.5 (not whole), mixed both ways, moderate up and down, reduction.
const Target kTargets[] = {{74, 50}, {111, 75}, {148, 100}, {92, 62}, {90, 30},
                           {45, 70}, {41, 29},  {29, 20},   {15, 9}};

TEST(CentredSampling, OwnAlgorithmsMatchTheLiteralCentredArithmetic) {
    const BgrImage src = RandomImage(37, 25, 5);
    for (const Target& t : kTargets)
        for (int algorithm : {5, 6, 7}) {
            const BgrImage out = Centred(src, t.w, t.h, algorithm);
            for (int c = 0; c < 3; ++c)
                ASSERT_TRUE(SamePlanes(
                    reference::AlgorithmPlane(algorithm, Channel(src, c), t.w, t.h, true),
                    Channel(out, c)))
                    << "algorithm " << algorithm << " to " << t.w << "x" << t.h << " channel " << c;
        }
}

TEST(CentredSampling, FlatImagesStayFlatToTheLastRowAndColumn) {
    for (int level : {0, 1, 77, 128, 200, 254, 255}) {
        BgrImage src(23, 17);
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 23 * 3; ++x) src.Row(y)[x] = std::uint8_t(level);
        for (Target t : {Target{46, 34}, Target{69, 51}, Target{92, 68}, Target{57, 42},
                         Target{60, 20}, Target{19, 15}, Target{9, 7}})
            for (int algorithm : {5, 6, 7}) {
                const BgrImage out = Centred(src, t.w, t.h, algorithm);
                for (int y = 0; y < t.h; ++y)
                    for (int x = 0; x < t.w * 3; ++x)
                        ASSERT_EQ(out.Row(y)[x], level)
                            << "algorithm " << algorithm << " level " << level << " to " << t.w
                            << "x" << t.h << " at " << x / 3 << "," << y;
            }
    }
}

// A mirror-symmetric source (left-right and top-bottom) enlarged stays symmetric; the documented
// grid, which puts output 0 on source pixel 0 but the last output short of the last source pixel,
// does not.
TEST(CentredSampling, SymmetricImagesStaySymmetric) {
    const int w = 31, h = 21;
    const BgrImage random = RandomImage(w, h, 9);
    BgrImage src(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                src.Row(y)[3 * x + c] =
                    random.Row(std::min(y, h - 1 - y))[3 * std::min(x, w - 1 - x) + c];
    auto symmetric = [](const BgrImage& img) {
        for (int y = 0; y < img.Height(); ++y)
            for (int x = 0; x < img.Width() * 3; ++x) {
                const int mx = 3 * (img.Width() - 1 - x / 3) + x % 3;
                if (img.Row(y)[x] != img.Row(y)[mx] ||
                    img.Row(y)[x] != img.Row(img.Height() - 1 - y)[x])
                    return false;
            }
        return true;
    };
    for (Target t : {Target{62, 42}, Target{93, 63}, Target{124, 84}, Target{77, 52}})
        for (int algorithm : {5, 6, 7}) {
            EXPECT_TRUE(symmetric(Centred(src, t.w, t.h, algorithm)))
                << "algorithm " << algorithm << " to " << t.w << "x" << t.h;
            ResizeOutcome documented =
                ResizeImage(src.View(), t.w, t.h, Alg(algorithm), false, nullptr);
            EXPECT_FALSE(symmetric(documented.image)) << "documented " << algorithm;
        }
}

TEST(CentredSampling, AnnouncedSweepsMatchTheSweepsMade) {
    const BgrImage src = RandomImage(37, 25, 13);
    for (const Target& t : kTargets)
        for (int algorithm : {5, 6, 7}) {
            CRSProgress sink;
            Centred(src, t.w, t.h, algorithm, &sink);
            EXPECT_EQ(sink.wraps + 1, sink.passes)
                << "algorithm " << algorithm << " to " << t.w << "x" << t.h;
        }
}

}  // namespace
}  // namespace orm::engine
