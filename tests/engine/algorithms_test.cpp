// The own algorithms: scale plans against the literal reference, sweep counts, the channel loop,
// stop requests and parameters.

#include "engine/own_algorithms.h"
#include "engine/progress.h"
#include "engine/resize_image.h"
#include "reference_stages.h"
#include "test_util.h"

#include <gtest/gtest.h>

namespace orm::engine {
namespace {

using test::SamePlanes;

struct Size {
    int w, h;
};

// A sink that records every report and can stop after a number of reports.
class RecordingSink : public CRSProgress {
  public:
    int ReportProgress(int value) override {
        ++reports;
        if (stop_after >= 0 && reports > stop_after)
            return 0;
        return CRSProgress::ReportProgress(value);
    }
    int reports = 0;
    int stop_after = -1;
};

BgrImage RandomImage(int w, int h, std::uint32_t seed) {
    BgrImage img(w, h);
    for (int c = 0; c < 3; ++c) {
        const ImagePlane p = reference::RandomPlane(w, h, seed + c);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) img.Row(y)[3 * x + c] = p.At(x, y);
    }
    return img;
}

ImagePlane Channel(ConstBgrView img, int c) {
    ImagePlane p;
    EXPECT_TRUE(ExtractPlane(img.data, img.stride, c, 3, img.width, img.height, nullptr, p));
    return p;
}

const Size kTargets[] = {{111, 75}, {51, 41}, {17, 12}, {200, 44}, {40, 130}, {60, 45}, {19, 90}};

TEST(OwnAlgorithms, SmartMatchesReferencePlanInEveryRegime) {
    const BgrImage src = RandomImage(37, 25, 11);
    for (const Size& t : kTargets) {
        for (ResizeAlgorithm algorithm :
             {ResizeAlgorithm::SmartArtificial, ResizeAlgorithm::AdvancedNatural}) {
            ResizeOutcome out = ResizeImage(src.View(), t.w, t.h, Alg(algorithm), false, nullptr);
            ASSERT_EQ(out.status, ResizeStatus::Ok);
            const bool advanced = algorithm == ResizeAlgorithm::AdvancedNatural;
            const int flag = advanced ? 2 : RatioFlag(t.w, t.h, 37, 25);
            const double s = StretchStrength(advanced ? 25 : 50);
            for (int c = 0; c < 3; ++c) {
                ImagePlane source = Channel(src.View(), c);
                if (advanced)
                    source = reference::Sharpen(source, 25);
                ASSERT_TRUE(SamePlanes(reference::SmartPlane(source, t.w, t.h, s, flag),
                                       Channel(out.image.View(), c)))
                    << "algorithm " << algorithm << " to " << t.w << "x" << t.h << " channel " << c;
            }
        }
    }
}

TEST(OwnAlgorithms, NaturalMatchesReferencePlanInEveryRegime) {
    const BgrImage src = RandomImage(37, 25, 21);
    for (const Size& t : kTargets) {
        ResizeOutcome out =
            ResizeImage(src.View(), t.w, t.h, ResizeAlgorithm::SmartNatural, false, nullptr);
        ASSERT_EQ(out.status, ResizeStatus::Ok);
        for (int c = 0; c < 3; ++c)
            ASSERT_TRUE(SamePlanes(
                reference::NaturalPlane(Channel(src.View(), c), t.w, t.h, StretchStrength(40)),
                Channel(out.image.View(), c)))
                << "to " << t.w << "x" << t.h << " channel " << c;
    }
}

TEST(OwnAlgorithms, WholeRatioEnlargementUsesRadiusTwoExceptAlgorithmSeven) {
    const BgrImage src = RandomImage(20, 20, 3);
    ResizeOutcome a5 =
        ResizeImage(src.View(), 40, 40, ResizeAlgorithm::SmartArtificial, false, nullptr);
    ResizeOutcome a7 =
        ResizeImage(src.View(), 40, 40, ResizeAlgorithm::AdvancedNatural, false, nullptr);
    const ImagePlane blue = Channel(src.View(), 0);
    EXPECT_TRUE(SamePlanes(reference::SmartPlane(blue, 40, 40, StretchStrength(50), 1),
                           Channel(a5.image.View(), 0)));
    EXPECT_TRUE(SamePlanes(
        reference::SmartPlane(reference::Sharpen(blue, 25), 40, 40, StretchStrength(25), 2),
        Channel(a7.image.View(), 0)));
}

TEST(OwnAlgorithms, DerivedStrengthsAndSweepCounts) {
    EXPECT_NEAR(StretchStrength(50), 3.678571, 1e-6);
    EXPECT_NEAR(StretchStrength(40), 5.421053, 1e-6);
    EXPECT_NEAR(StretchStrength(25), 11.135135, 1e-6);
    EXPECT_EQ(SweepsSmart(3, 3), 7);
    EXPECT_EQ(SweepsSmart(1.2, 2.5), 9);
    EXPECT_EQ(SweepsSmart(0.25, 0.25), 6);
    EXPECT_EQ(SweepsSmart(1.2, 1.2), 4);
    EXPECT_EQ(SweepsSmart(1.5, 2), 8);
    EXPECT_EQ(SweepsNatural(3, 3), 5);
    EXPECT_EQ(SweepsNatural(2, 2), 4);
    EXPECT_EQ(SweepsNatural(1.2, 1.2), 4);
}

TEST(OwnAlgorithms, AnnouncedSweepsMatchTheSweepsMade) {
    struct Case {
        int algorithm, sw, sh, dw, dh, per_channel;
    };
    const Case cases[] = {
        {5, 100, 100, 300, 300, 7}, {5, 100, 100, 250, 120, 9}, {5, 400, 400, 100, 100, 6},
        {5, 100, 100, 120, 120, 4}, {6, 100, 100, 300, 300, 5}, {6, 100, 100, 200, 200, 4},
        {6, 100, 100, 120, 120, 4}, {7, 400, 400, 100, 100, 6}, {7, 100, 100, 250, 120, 9},
    };
    for (const Case& c : cases) {
        const BgrImage src = RandomImage(c.sw, c.sh, 1);
        RecordingSink sink;
        ResizeOutcome out = ResizeImage(src.View(), c.dw, c.dh, Alg(c.algorithm), false, &sink);
        ASSERT_EQ(out.status, ResizeStatus::Ok);
        EXPECT_EQ(sink.passes, 3 * c.per_channel) << c.algorithm << " " << c.dw << "x" << c.dh;
        EXPECT_EQ(sink.wraps + 1, sink.passes) << c.algorithm << " " << c.dw << "x" << c.dh;
    }
}

TEST(OwnAlgorithms, StopDuringSecondChannelLeavesFirstChannelOnly) {
    const BgrImage src = RandomImage(30, 20, 8);
    BgrImage dst(60, 40);
    for (int y = 0; y < 40; ++y) std::fill(dst.Row(y), dst.Row(y) + 180, std::uint8_t(7));
    // Count one channel's reports, then stop a few reports into the second channel.
    RecordingSink counter;
    BgrImage scratch(60, 40);
    ASSERT_TRUE(ResizeNatural(scratch.View(), src.View(), true, 40, 1, 0, 3, &counter));
    RecordingSink sink;
    sink.stop_after = counter.reports / 3 + 5;
    BgrImage fresh = dst;
    EXPECT_FALSE(ResizeNatural(dst.View(), src.View(), true, 40, 1, 0, 3, &sink));
    ResizeOutcome full =
        ResizeImage(src.View(), 60, 40, ResizeAlgorithm::SmartNatural, false, nullptr);
    EXPECT_TRUE(SamePlanes(Channel(full.image.View(), 0), Channel(dst.View(), 0)));
    for (int c = 1; c < 3; ++c)
        EXPECT_TRUE(SamePlanes(Channel(fresh.View(), c), Channel(dst.View(), c)));
}

TEST(OwnAlgorithms, PresharpeningNeverTouchesTheCallersImage) {
    const BgrImage src = RandomImage(25, 25, 4);
    const BgrImage before = src;
    ResizeOutcome out =
        ResizeImage(src.View(), 100, 100, ResizeAlgorithm::AdvancedNatural, false, nullptr);
    ASSERT_EQ(out.status, ResizeStatus::Ok);
    for (int c = 0; c < 3; ++c)
        EXPECT_TRUE(SamePlanes(Channel(before.View(), c), Channel(src.View(), c)));
}

TEST(OwnAlgorithms, SingleChannelImages) {
    ImagePlane grey = reference::RandomPlane(21, 15, 2);
    ImagePlane out(63, 45);
    BgrView dst{out.Data(), 63, 45, 63};
    ASSERT_TRUE(
        ResizeSmart(dst, ConstBgrView(grey.Data(), 21, 15, 21), false, 50, 1, 0, 3, nullptr));
    EXPECT_TRUE(SamePlanes(reference::SmartPlane(grey, 63, 45, StretchStrength(50), 1), out));
}

TEST(OwnAlgorithms, NaturalResultDoesNotDependOnRatioFlag) {
    const BgrImage src = RandomImage(20, 16, 6);
    BgrImage a(50, 40), b(50, 40);
    ASSERT_TRUE(ResizeNatural(a.View(), src.View(), true, 40, 1, 0, 3, nullptr));
    ASSERT_TRUE(ResizeNatural(b.View(), src.View(), true, 40, 2, 0, 3, nullptr));
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(SamePlanes(Channel(a.View(), c), Channel(b.View(), c)));
}

}  // namespace
}  // namespace orm::engine
