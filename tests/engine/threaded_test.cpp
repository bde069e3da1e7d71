// The optimised, multi-threaded stages against the literal references, byte for byte: random
// planes of odd sizes, every regime, 1, 2 and 3 threads, the AVX2 and the portable builds of the
// loops. Also: identical progress reports for any thread count, stop requests, and two resizes
// running at once. Run under ThreadSanitizer by scripts/test (label "threaded").

#include "engine/own_algorithms.h"
#include "engine/parallel.h"
#include "engine/plane_filters.h"
#include "engine/progress.h"
#include "engine/resample_plane.h"
#include "engine/resize_image.h"
#include "engine/simd.h"
#include "engine/standard_modes.h"
#include "reference_stages.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace orm::engine {
namespace {

using test::SamePlanes;

// Thread counts and loop builds (the best the CPU has, at most AVX2, portable), restored
// afterwards.
using simd::Level;
struct Config {
    int threads;
    Level level;
    std::string Name() const {
        const char* loops = level == Level::Portable ? "portable loops"
                            : level == Level::Avx2   ? "AVX2 loops where the CPU has them"
                                                     : "the CPU's best loops";
        return std::to_string(threads) + (threads == 1 ? " thread, " : " threads, ") + loops;
    }
};
const Config kConfigs[] = {{1, Level::Avx512}, {2, Level::Avx512},   {3, Level::Avx512},
                           {2, Level::Avx2},   {1, Level::Portable}, {3, Level::Portable}};

class ConfigScope {
  public:
    explicit ConfigScope(const Config& c) {
        SetEngineThreadCount(c.threads);
        simd::LimitLevel(c.level);
    }
    ~ConfigScope() {
        SetEngineThreadCount(0);
        simd::LimitLevel(Level::Avx512);
    }
};

template <typename F>
void ForEachConfig(F&& check) {
    for (const Config& c : kConfigs) {
        SCOPED_TRACE(c.Name());
        ConfigScope scope(c);
        check();
    }
}

ImagePlane Resampled(const ImagePlane& src, int dw, int dh, double p1, double p2, KernelType t) {
    ImagePlane dst(dw, dh);
    EXPECT_TRUE(ResamplePlane(dst, src, p1, p2, t, nullptr));
    return dst;
}

TEST(ThreadedStages, ResampleMatchesReference) {
    struct Case {
        int sw, sh, dw, dh;
    };
    // Enlargements (integer and not), reductions, mixed, one-pixel and tall/wide planes.
    const Case cases[] = {{37, 23, 111, 69}, {37, 23, 74, 46}, {53, 41, 19, 13}, {31, 17, 97, 21},
                          {29, 33, 30, 101}, {1, 1, 5, 3},     {7, 1, 3, 1},     {5, 9, 13, 2},
                          {3, 71, 9, 150},   {101, 3, 203, 7}};
    std::uint32_t seed = 11;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.sw) + "x" + std::to_string(c.sh) + " -> " +
                     std::to_string(c.dw) + "x" + std::to_string(c.dh));
        const ImagePlane src = reference::RandomPlane(c.sw, c.sh, seed++);
        const ImagePlane lanczos2 = reference::Resample(src, c.dw, c.dh, 2, 1, true);
        const ImagePlane lanczos3 = reference::Resample(src, c.dw, c.dh, 3, 1, true);
        const ImagePlane cubic = reference::Resample(src, c.dw, c.dh, 0, 0.5, false);
        // Eight taps: the loops for tap counts the own algorithms do not use.
        const ImagePlane lanczos4 = reference::Resample(src, c.dw, c.dh, 4, 1, true);
        ForEachConfig([&] {
            ASSERT_TRUE(
                SamePlanes(lanczos2, Resampled(src, c.dw, c.dh, 2, 1, KernelType::Lanczos)));
            ASSERT_TRUE(
                SamePlanes(lanczos3, Resampled(src, c.dw, c.dh, 3, 1, KernelType::Lanczos)));
            ASSERT_TRUE(SamePlanes(cubic, Resampled(src, c.dw, c.dh, 0, 0.5, KernelType::Cubic)));
            ASSERT_TRUE(
                SamePlanes(lanczos4, Resampled(src, c.dw, c.dh, 4, 1, KernelType::Lanczos)));
        });
    }
}

TEST(ThreadedStages, BoxReductionsMatchReference) {
    std::uint32_t seed = 40;
    for (auto [sw, sh, dw, dh] : {std::array{57, 43, 13, 11},
                                  {99, 77, 98, 76},
                                  {255, 3, 1, 1},
                                  {64, 48, 16, 12},
                                  {31, 129, 10, 28},
                                  {301, 5, 75, 2}}) {
        const ImagePlane src = reference::RandomPlane(sw, sh, seed++);
        const ImagePlane rows_ref = reference::BoxRows(src, dw);
        const ImagePlane both_ref = reference::BoxColumns(rows_ref, dh);
        ForEachConfig([&] {
            ImagePlane rows(dw, sh), both(dw, dh);
            ASSERT_TRUE(BoxReduceRows(rows, src, nullptr));
            ASSERT_TRUE(BoxReduceColumns(both, rows, nullptr));
            ASSERT_TRUE(SamePlanes(rows_ref, rows)) << sw << "x" << sh;
            ASSERT_TRUE(SamePlanes(both_ref, both)) << sw << "x" << sh;
        });
    }
}

TEST(ThreadedStages, SharpenMatchesReferenceForEveryAmount) {
    const ImagePlane src = reference::RandomPlane(45, 37, 5);
    // Extreme values make the quotient reach both clamps and every remainder.
    ImagePlane extremes = reference::RandomPlane(33, 19, 6);
    for (auto& b : extremes.Bytes()) b = b < 128 ? 0 : 255;
    ForEachConfig([&] {
        for (const ImagePlane* p : {&src, static_cast<const ImagePlane*>(&extremes)})
            for (int amount = 0; amount < 100; amount += 3) {
                ImagePlane out = *p;
                ASSERT_TRUE(SharpenPlane(out, amount, nullptr));
                ASSERT_TRUE(SamePlanes(reference::Sharpen(*p, amount), out)) << "amount " << amount;
            }
    });
}

TEST(ThreadedStages, GaussianMatchesReference) {
    std::uint32_t seed = 70;
    for (auto [w, h, hc, vc] : {std::array{31, 19, 10, 10},
                                {7, 23, 8, 8},
                                {40, 3, 10, 25},
                                {1, 9, 10, 10},
                                {5, 1, 8, 10},
                                {3, 3, 33, 12},
                                {67, 45, 10, 10},
                                {17, 4, 8, 8},
                                {2, 6, 10, 8},
                                // whole bundles of 16 lines, transposed blocks and their tails
                                {16, 33, 8, 10},
                                {130, 35, 10, 10},
                                {33, 130, 12, 9}}) {
        const ImagePlane src = reference::RandomPlane(w, h, seed++);
        const ImagePlane expected = reference::Gaussian(src, hc, vc);
        ForEachConfig([&] {
            ImagePlane p = src;
            ASSERT_TRUE(GaussianBlurPlane(p, hc, vc, nullptr, nullptr));
            ASSERT_TRUE(SamePlanes(expected, p)) << w << "x" << h;
        });
    }
}

TEST(ThreadedStages, RangeStretchMatchesReference) {
    struct Case {
        int w, h, hw, vw;
        double sx, sy, s;
    };
    const Case cases[] = {{41, 29, 6, 6, 3, 3, 3.678571},
                          {33, 35, 3, 5, 1.7, 2.6, 5.421053},
                          {17, 13, 8, 2, 4.2, 1.5, 11.135135},
                          {3, 20, 6, 6, 3, 3, 3.678571},
                          {2, 2, 8, 8, 4, 4, 3.678571},
                          {6, 1, 4, 4, 2, 2, 5.421053},
                          {75, 9, 40, 3, 20, 1.6, 3.678571},
                          {23, 61, 2, 17, 1.6, 8.7, 5.421053},
                          // Rows long enough for whole blocks of the window folds: windows of 5
                          // and 9 along the row (one pass), 11 (doubling spans).
                          {150, 12, 4, 6, 2, 3, 5.421053},
                          {97, 20, 8, 8, 4, 4, 3.678571},
                          {140, 9, 10, 2, 5, 1.5, 3.678571}};
    std::uint32_t seed = 90;
    for (const Case& c : cases) {
        const ImagePlane v = reference::RandomPlane(c.w, c.h, seed++);
        const ImagePlane g = reference::RandomPlane(c.w, c.h, seed++);
        const ImagePlane expected = reference::RangeStretch(v, g, c.hw, c.vw, c.sx, c.sy, c.s);
        const ImagePlane expected_self = reference::RangeStretch(v, v, c.hw, c.vw, c.sx, c.sy, c.s);
        ForEachConfig([&] {
            ImagePlane out = v;
            ASSERT_TRUE(RangeStretchPlane(out, g, c.hw, c.vw, c.sx, c.sy, c.s, nullptr));
            ASSERT_TRUE(SamePlanes(expected, out)) << c.w << "x" << c.h;
            ImagePlane self = v;
            ASSERT_TRUE(RangeStretchPlane(self, self, c.hw, c.vw, c.sx, c.sy, c.s, nullptr));
            ASSERT_TRUE(SamePlanes(expected_self, self)) << c.w << "x" << c.h;
            // Written into v itself: the same values, with another guide and with v as its own.
            ImagePlane in_place = v;
            ASSERT_TRUE(
                RangeStretchPlaneInPlace(in_place, g, c.hw, c.vw, c.sx, c.sy, c.s, nullptr));
            ASSERT_TRUE(SamePlanes(expected, in_place)) << c.w << "x" << c.h;
            in_place = v;
            ASSERT_TRUE(
                RangeStretchPlaneInPlace(in_place, in_place, c.hw, c.vw, c.sx, c.sy, c.s, nullptr));
            ASSERT_TRUE(SamePlanes(expected_self, in_place)) << c.w << "x" << c.h;
        });
    }
}

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

TEST(ThreadedAlgorithms, OwnAlgorithmsMatchReferencePlansInEveryRegime) {
    // Reduction, moderate (up and down), enlargement (integer and not), both mixed orientations;
    // the documented and the centred sampling.
    const std::pair<int, int> targets[] = {{11, 8},   {51, 31},  {29, 20}, {84, 56},
                                           {101, 61}, {100, 30}, {40, 90}};
    const BgrImage src = RandomImage(42, 28, 3);
    for (Sampling sampling : {Sampling::Documented, Sampling::Centred})
        for (auto [tw, th] : targets) {
            const bool centred = sampling == Sampling::Centred;
            SCOPED_TRACE(std::to_string(tw) + "x" + std::to_string(th) +
                         (centred ? " centred" : ""));
            std::vector<ImagePlane> expected;
            for (int algorithm : {5, 6, 7})
                for (int c = 0; c < 3; ++c)
                    expected.push_back(
                        reference::AlgorithmPlane(algorithm, Channel(src, c), tw, th, centred));
            ForEachConfig([&] {
                int i = 0;
                for (int algorithm : {5, 6, 7}) {
                    ResizeOutcome out =
                        ResizeImage(src.View(), tw, th, Alg(algorithm), false, nullptr, sampling);
                    ASSERT_EQ(out.status, ResizeStatus::Ok);
                    for (int c = 0; c < 3; ++c, ++i)
                        ASSERT_TRUE(SamePlanes(expected[i], Channel(out.image, c)))
                            << "algorithm " << algorithm << " channel " << c;
                }
            });
        }
}

bool SameImages(const BgrImage& a, const BgrImage& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.Row(y), b.Row(y), std::size_t(a.Width()) * 3) != 0)
            return false;
    return true;
}

TEST(ThreadedAlgorithms, StandardModesDoNotDependOnThreadsOrLoops) {
    const BgrImage src = RandomImage(61, 47, 8);
    for (int mode = 0; mode <= 4; ++mode)
        for (auto [tw, th] : {std::pair{150, 97}, {15, 11}, {61, 200}}) {
            BgrImage expected(tw, th);
            {
                ConfigScope scope({1, Level::Portable});
                DrawStandardMode(src.View(), expected.View(), StandardMode(mode));
            }
            ForEachConfig([&] {
                BgrImage out(tw, th);
                DrawStandardMode(src.View(), out.View(), StandardMode(mode));
                ASSERT_TRUE(SameImages(expected, out)) << "mode " << mode << " " << tw << "x" << th;
            });
        }
}

// Records every report; answers "stop" after `stop_after` reports when that is not negative.
class RecordingSink : public CRSProgress {
  public:
    int ReportProgress(int value) override {
        values.push_back(value);
        if (stop_after >= 0 && int(values.size()) > stop_after)
            return 0;
        return CRSProgress::ReportProgress(value);
    }
    std::vector<int> values;
    int stop_after = -1;
};

TEST(ThreadedAlgorithms, ProgressReportsAreTheSameForAnyThreadCount) {
    const BgrImage src = RandomImage(40, 30, 9);
    for (auto [algorithm, tw, th] :
         {std::array{5, 120, 90}, {6, 100, 75}, {7, 10, 7}, {5, 100, 36}}) {
        std::vector<int> expected;
        {
            ConfigScope scope({1, Level::Avx512});
            RecordingSink sink;
            ASSERT_EQ(ResizeImage(src.View(), tw, th, Alg(algorithm), false, &sink).status,
                      ResizeStatus::Ok);
            expected = sink.values;
            EXPECT_EQ(sink.wraps + 1, sink.passes);
        }
        ForEachConfig([&] {
            RecordingSink sink;
            ASSERT_EQ(ResizeImage(src.View(), tw, th, Alg(algorithm), false, &sink).status,
                      ResizeStatus::Ok);
            EXPECT_EQ(sink.values, expected) << "algorithm " << algorithm;
        });
    }
}

TEST(ThreadedAlgorithms, StopRequestsEndTheResizeOnAnyThreadCount) {
    const BgrImage src = RandomImage(40, 30, 10);
    for (int stop_after : {0, 7, 150, 400}) {
        // One thread asks exactly the questions of the plain row loops: the stage that hears
        // "stop" asks nothing more (the Catmull-Rom pass of algorithm 5 is the documented
        // exception: the blur after it asks once more).
        std::vector<int> expected;
        {
            ConfigScope scope({1, Level::Avx512});
            RecordingSink sink;
            sink.stop_after = stop_after;
            EXPECT_EQ(ResizeImage(src.View(), 120, 90, Alg(5), false, &sink).status,
                      ResizeStatus::Cancelled);
            expected = sink.values;
            EXPECT_GE(int(expected.size()), stop_after + 1);
            EXPECT_LE(int(expected.size()), stop_after + 2);
        }
        ForEachConfig([&] {
            RecordingSink sink;
            sink.stop_after = stop_after;
            EXPECT_EQ(ResizeImage(src.View(), 120, 90, Alg(5), false, &sink).status,
                      ResizeStatus::Cancelled);
            EXPECT_EQ(sink.values, expected) << "stop after " << stop_after;
        });
    }
}

TEST(ThreadedAlgorithms, TwoResizesAtOnceGiveTheSameResults) {
    const BgrImage a = RandomImage(50, 40, 12), b = RandomImage(33, 45, 13);
    ConfigScope scope({2, Level::Avx512});
    const ResizeOutcome a_alone = ResizeImage(a.View(), 100, 80, Alg(5), false, nullptr);
    const ResizeOutcome b_alone = ResizeImage(b.View(), 66, 90, Alg(6), false, nullptr);
    ResizeOutcome a_together, b_together;
    std::thread other([&] { b_together = ResizeImage(b.View(), 66, 90, Alg(6), false, nullptr); });
    a_together = ResizeImage(a.View(), 100, 80, Alg(5), false, nullptr);
    other.join();
    EXPECT_TRUE(SameImages(a_alone.image, a_together.image));
    EXPECT_TRUE(SameImages(b_alone.image, b_together.image));
}

TEST(LargeBlocks, AGivenBackBlockServesTheNextNeedItHolds) {
    ReleaseKeptBlocks();
    const std::size_t mb = std::size_t(1) << 20;
    void* a = AllocateLarge(8 * mb);
    std::memset(a, 1, 8 * mb);
    void* b = AllocateLarge(8 * mb);
    EXPECT_NE(a, b);  // both in use: two blocks
    FreeLarge(b, 8 * mb);
    FreeLarge(a, 8 * mb);
    // A smaller need takes a kept block; a larger one, or one less than half the block, does not.
    void* c = AllocateLarge(6 * mb);
    EXPECT_TRUE(c == a || c == b);
    void* d = AllocateLarge(9 * mb);
    EXPECT_NE(d, a);
    EXPECT_NE(d, b);
    void* e = AllocateLarge(3 * mb);
    EXPECT_NE(e, a);
    EXPECT_NE(e, b);
    std::memset(c, 2, 6 * mb);
    std::memset(d, 3, 9 * mb);
    std::memset(e, 4, 3 * mb);
    for (void* p : {c, d, e}) FreeLarge(p, 0);
    ReleaseKeptBlocks();
}

TEST(LargeBlocks, ThreadsTakeAndGiveBackWithoutSharingABlock) {
    // Each thread writes its own mark into every block it holds and checks it before giving the
    // block back: a block handed to two holders at once would show the other's mark.
    std::vector<std::thread> threads;
    std::atomic<int> clashes{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &clashes] {
            for (int i = 0; i < 50; ++i) {
                const std::size_t bytes =
                    (std::size_t(4) << 20) + std::size_t((t * 50 + i) % 7) * 4096;
                auto* p = static_cast<unsigned char*>(AllocateLarge(bytes));
                std::memset(p, t + 1, bytes);
                std::this_thread::yield();
                if (p[0] != t + 1 || p[bytes - 1] != t + 1)
                    ++clashes;
                FreeLarge(p, bytes);
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(clashes.load(), 0);
    ReleaseKeptBlocks();
}

TEST(ParallelFor, CoversEveryItemOnceInBands) {
    for (int threads : {1, 2, 3, 5}) {
        SetEngineThreadCount(threads);
        for (int count : {0, 1, 7, 100, 1001}) {
            std::vector<int> hits(count, 0);
            auto body = [&](int b, int e) {
                ASSERT_LE(e - b, 13);
                for (int i = b; i < e; ++i) ++hits[i];
            };
            ParallelFor(count, 13, body);
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(hits[i], 1) << "item " << i << " of " << count;
        }
    }
    SetEngineThreadCount(0);
    EXPECT_GE(EngineThreadCount(), 1);
}

}  // namespace
}  // namespace orm::engine
