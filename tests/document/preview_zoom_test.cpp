// Zoom geometry of the preview (exact ratios, areas, steps, the scroll kept under the pointer,
// the display copy) and the comparison picture (nearest neighbour of the whole source at the
// output size, crop included), without widgets.

#include "document/preview_zoom.h"
#include "document/preview_compare.h"
#include "engine/standard_modes.h"
#include "test_environment.h"

#include <gtest/gtest.h>

namespace orm {
namespace {

TEST(PreviewZoom, RatiosOfFitAndPercentsAreExactFractions) {
    EXPECT_EQ(RatioOf({false, 100}, 3000, 2000, 800, 600), (ZoomRatio{1, 1}));
    EXPECT_EQ(RatioOf({false, 50}, 3000, 2000, 800, 600), (ZoomRatio{1, 2}));
    EXPECT_EQ(RatioOf({false, 200}, 3000, 2000, 800, 600), (ZoomRatio{2, 1}));
    // Fit takes the tighter axis, and its extent on that axis is exactly the client's.
    const ZoomRatio wide = RatioOf({true, 100}, 3000, 1000, 800, 600);
    EXPECT_EQ(wide.Extent(3000), 800);
    EXPECT_LE(wide.Extent(1000), 600);
    const ZoomRatio tall = RatioOf({true, 100}, 1000, 3001, 800, 600);
    EXPECT_EQ(tall.Extent(3001), 600);
    EXPECT_LE(tall.Extent(1000), 800);
    // Never above 100 %, and no division by an empty window or output.
    EXPECT_TRUE(RatioOf({true, 100}, 300, 200, 800, 600).isOne());
    EXPECT_TRUE(RatioOf({true, 100}, 300, 200, 0, 0).isOne());
    EXPECT_TRUE(RatioOf({true, 100}, 0, 0, 800, 600).isOne());
}

TEST(PreviewZoom, ScreenAndOutputCoordinatesRoundOutwardIncludingNegatives) {
    const ZoomRatio third{1, 3};
    EXPECT_EQ(third.ToScreen(7), 2);
    EXPECT_EQ(third.ToScreen(-7), -3);  // floor, not toward zero (Crop areas start left of 0)
    EXPECT_EQ(third.ToOutputFloor(-1), -3);
    EXPECT_EQ(third.ToOutputCeil(5), 15);
    // A screen rectangle covers every output pixel it touches.
    const ZoomRatio twoThirds{2, 3};
    EXPECT_EQ(twoThirds.ToOutput({1, 1, 5, 3}), (PixelRect{1, 1, 8, 5}));
    EXPECT_EQ(twoThirds.Extent(1), 1);  // a pixel never vanishes
    EXPECT_EQ(twoThirds.Extent(0), 0);
    EXPECT_EQ((ZoomRatio{2, 1}).ToScreen(PixelRect{-3, 4, 10, 11}), (PixelRect{-6, 8, 20, 22}));
}

TEST(PreviewZoom, AtOneToOneTheAreaIsTheUnzoomedOne) {
    const OutputMapping mapping(1000, 800, 3000, 2400, false);
    const PixelRect visible{700, 500, 1300, 950};
    EXPECT_EQ(AreaForZoomedView(visible, {1, 1}, mapping),
              AreaForVisible(visible, kPreviewMargin, mapping));
    EXPECT_EQ(OutputMargin({1, 1}), kPreviewMargin);
    // At 50 % the same window shows twice the output, with a margin of as many screen pixels.
    EXPECT_EQ(OutputMargin({1, 2}), 2 * kPreviewMargin);
    EXPECT_EQ(OutputMargin({2, 1}), kPreviewMargin / 2);
    EXPECT_EQ(AreaForZoomedView(visible, {1, 2}, mapping),
              AreaForVisible({1400, 1000, 2600, 1900}, 2 * kPreviewMargin, mapping));
}

TEST(PreviewZoom, TheWholeContentInViewShowsTheWholeOutput) {
    // Fit of 3000 x 2400 into 372 x 298: 149/1200, the width's extent 372 stands for 2995.97
    // output pixels; in view it still means up to the last one.
    const ZoomRatio fit{149, 1200};
    EXPECT_EQ(ShownOutput({-13, 0, 385, 298}, fit, 3000, 2400), (PixelRect{0, 0, 3000, 2400}));
    EXPECT_EQ(ShownOutput({0, 0, 186, 149}, fit, 3000, 2400), (PixelRect{0, 0, 1498, 1200}));
    EXPECT_EQ(ShownOutput({100, 50, 300, 200}, {1, 1}, 3000, 2400), (PixelRect{100, 50, 300, 200}));
    EXPECT_TRUE(ShownOutput({400, 0, 500, 10}, fit, 3000, 2400).isEmpty());
}

TEST(PreviewZoom, StepsRunThroughFitAndTheFixedZooms) {
    const ZoomRatio fit{1, 4};  // a large output
    PreviewZoom z{false, 100};
    z = ZoomOut(z, {1, 1}, fit);
    EXPECT_EQ(z, (PreviewZoom{false, 50}));
    z = ZoomOut(z, {1, 2}, fit);
    EXPECT_TRUE(z.fit);
    EXPECT_EQ(ZoomOut(z, fit, fit), z) << "nothing below Fit";
    z = ZoomIn(z, fit, fit);
    EXPECT_EQ(z, (PreviewZoom{false, 50}));
    z = ZoomIn(ZoomIn(z, {1, 2}, fit), {1, 1}, fit);
    EXPECT_EQ(z, (PreviewZoom{false, 200}));
    EXPECT_EQ(ZoomIn(z, {2, 1}, fit), z) << "nothing above 200 %";

    // Fit between 50 % and 100 % is a step of its own in both directions.
    const ZoomRatio midFit{3, 4};
    EXPECT_TRUE(ZoomOut({false, 100}, {1, 1}, midFit).fit);
    EXPECT_TRUE(ZoomIn({false, 50}, {1, 2}, midFit).fit);
    EXPECT_EQ(ZoomOut({true, 100}, midFit, midFit), (PreviewZoom{false, 50}));
    // A small output fits at 100 %: the step, not Fit again.
    EXPECT_EQ(ZoomOut({false, 200}, {2, 1}, {1, 1}), (PreviewZoom{false, 100}));
}

TEST(PreviewZoom, TheOutputPointUnderThePointerStaysThere) {
    // 100 % -> 200 %: content 3000 in a 600 window scrolled to 1000; the pointer at 150 is over
    // output x 1150, which at 200 % lies at 2300: scroll 2150.
    EXPECT_EQ(ScrollAfterZoom(1000, 150, 600, 3000, 6000, {1, 1}, {2, 1}), 2150);
    // And back.
    EXPECT_EQ(ScrollAfterZoom(2150, 150, 600, 6000, 3000, {2, 1}, {1, 1}), 1000);
    // Clamped at the ends of the new range.
    EXPECT_EQ(ScrollAfterZoom(0, 0, 600, 3000, 1500, {1, 1}, {1, 2}), 0);
    EXPECT_EQ(ScrollAfterZoom(5400, 0, 600, 6000, 3000, {2, 1}, {1, 1}), 2400);
    // A content that fits is centred (scroll 0); from a centred one the offset is counted.
    EXPECT_EQ(ScrollAfterZoom(700, 300, 600, 3000, 500, {1, 1}, {1, 6}), 0);
    // 400 wide centred in 600 (offset 100): the pointer at 300 is over output 200 -> 400 at 2x.
    EXPECT_EQ(ScrollAfterZoom(0, 300, 600, 400, 800, {1, 1}, {2, 1}), 100);
}

TEST(PreviewZoom, DisplayCopyRepeatsPixelsWhenEnlargingAndIsTheSameAtOneToOne) {
    const QImage picture = test::PatternImage(7, 5);
    const PixelRect target{3, 2, 10, 7};
    EXPECT_EQ(ScaleForDisplay(picture, target, {1, 1}), picture);
    const QImage doubled = ScaleForDisplay(picture, target, {2, 1});
    ASSERT_EQ(doubled.size(), QSize(14, 10));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 14; ++x)
            ASSERT_EQ(doubled.pixel(x, y), picture.pixel(x / 2, y / 2)) << x << "," << y;
    // Reduced: the screen extent of the target (3/2 .. 10/2 -> 1 .. 5, 2/2 .. 7/2 -> 1 .. 3).
    EXPECT_EQ(ScaleForDisplay(picture, target, {1, 2}).size(), QSize(4, 2));
    // A constant picture stays constant when reduced.
    QImage grey(40, 30, QImage::Format_BGR888);
    grey.fill(QColor(90, 90, 90));
    const QImage small = ScaleForDisplay(grey, {0, 0, 40, 30}, {1, 3});
    ASSERT_EQ(small.size(), QSize(13, 10));
    EXPECT_EQ(small.pixel(6, 5), grey.pixel(0, 0));
    EXPECT_TRUE(ScaleForDisplay(QImage(), target, {2, 1}).isNull());
}

// The whole source resized with the engine's nearest neighbour; Crop: to the cover size, centre
// cut out.
QImage EngineNearest(const QImage& source, const OutputMapping& m) {
    QImage whole(m.intermediateWidth(), m.intermediateHeight(), QImage::Format_BGR888);
    engine::DrawStandardMode(
        engine::ConstBgrView(source.constBits(), source.width(), source.height(),
                             source.bytesPerLine()),
        engine::BgrView{whole.bits(), whole.width(), whole.height(), whole.bytesPerLine()},
        engine::StandardMode::NearestNeighbor);
    return whole;
}

TEST(PreviewCompare, AnyAreaIsTheNearestNeighbourResizeOfTheWholeSource) {
    const QImage source = test::PatternImage(37, 23);
    struct Case {
        int ow, oh;
        bool crop;
    };
    for (const Case c :
         {Case{101, 59, false}, Case{13, 9, false}, Case{90, 90, true}, Case{40, 200, true}}) {
        SCOPED_TRACE(testing::Message() << c.ow << "x" << c.oh << (c.crop ? " crop" : ""));
        const OutputMapping m(source.width(), source.height(), c.ow, c.oh, c.crop);
        const QImage whole = EngineNearest(source, m);
        // The whole output and areas as the view asks for them (aligned to source pixels).
        for (const PixelRect visible : {PixelRect{0, 0, c.ow, c.oh}, PixelRect{5, 3, 30, 17},
                                        PixelRect{c.ow / 2, c.oh / 2, c.ow, c.oh}}) {
            const PreviewArea area = AreaForVisible(visible, 2, m);
            ASSERT_FALSE(area.isEmpty());
            const QImage got = RenderNearestOutputArea(source, m, area.target);
            ASSERT_EQ(got.size(), QSize(area.target.width(), area.target.height()));
            for (int y = 0; y < got.height(); ++y)
                for (int x = 0; x < got.width(); ++x) {
                    // Pixels past the output's edges (Crop) are clipped by the view; inside the
                    // intermediate they are still the resize's pixels.
                    const int ix = area.target.left + x + m.offsetX();
                    const int iy = area.target.top + y + m.offsetY();
                    if (ix < 0 || iy < 0 || ix >= whole.width() || iy >= whole.height())
                        continue;
                    ASSERT_EQ(got.pixel(x, y), whole.pixel(ix, iy)) << x << "," << y;
                }
        }
    }
    EXPECT_TRUE(
        RenderNearestOutputArea(source, OutputMapping(10, 10, 5, 5, false), {0, 0, 5, 5}).isNull())
        << "a source of another size than the mapping's";
}

}  // namespace
}  // namespace orm
