// Geometry of the preview and the navigator: the source/output mapping with and without the
// crop box, the painted area with its margin, and the navigator's frame and marker.

#include "document/preview_geometry.h"
#include "ui/orven_scroll_view.h"

#include <gtest/gtest.h>

namespace orm {
namespace {

TEST(PreviewGeometry, MappingWithoutCropTruncatesBothWays) {
    const OutputMapping m(300, 200, 100, 66, false);
    EXPECT_EQ(m.ToSourceX(10), 30);
    EXPECT_EQ(m.ToSourceY(10), 30);  // 10 * 200 / 66 = 30.3
    EXPECT_EQ(m.ToOutputX(31), 10);  // 31 * 100 / 300 = 10.3
    EXPECT_EQ(m.ToOutputY(200), 66);
    EXPECT_EQ(m.shownSource(), (PixelRect{0, 0, 300, 200}));
}

TEST(PreviewGeometry, CropShowsTheCentredBoxOfTheOutputAspect) {
    // 400 x 300 into 200 x 200: the crop box is 300 x 300 starting at column 50.
    const OutputMapping wide(400, 300, 200, 200, true);
    EXPECT_EQ(wide.shownSource(), (PixelRect{50, 0, 350, 300}));
    // 300 x 400 into 200 x 200: rows 50 .. 349.
    const OutputMapping tall(300, 400, 200, 200, true);
    EXPECT_EQ(tall.shownSource(), (PixelRect{0, 50, 300, 350}));
    // The mapping runs through the intermediate the saved file is cut from: 400 x 300 covers
    // 200 x 200 as 266 x 200, whose centre starts at column 33.
    EXPECT_EQ(wide.intermediateWidth(), 266);
    EXPECT_EQ(wide.offsetX(), 33);
    // The whole output takes the whole source (the cut strips are computed with it) and maps onto
    // the whole intermediate; an inner part maps onto the source pixels under it.
    EXPECT_EQ(wide.OutputToSource({0, 0, 200, 200}), (PixelRect{0, 0, 400, 300}));
    EXPECT_EQ(wide.SourceToOutput({0, 0, 400, 300}), (PixelRect{-33, 0, 233, 200}));
    EXPECT_EQ(wide.OutputToSource({100, 0, 150, 100}), (PixelRect{200, 0, 276, 150}));
}

TEST(PreviewGeometry, AreaGrowsByTheMarginAndStaysInsideTheSource) {
    const OutputMapping m(1000, 800, 2000, 1600, false);
    // A window at the top-left: the margin reaches past the left and top edges and is clipped.
    const PreviewArea a = AreaForVisible({0, 0, 400, 300}, kPreviewMargin, m);
    EXPECT_EQ(a.source, (PixelRect{0, 0, 250, 200}));
    EXPECT_EQ(a.target, (PixelRect{0, 0, 500, 400}));
    // In the middle the margin lies on every side.
    const PreviewArea b = AreaForVisible({600, 600, 1000, 900}, kPreviewMargin, m);
    EXPECT_EQ(b.source, (PixelRect{250, 250, 550, 500}));
    EXPECT_EQ(b.target, (PixelRect{500, 500, 1100, 1000}));
    // A window larger than a small output covers all of it, and nothing outside.
    const OutputMapping small(300, 200, 60, 40, false);
    const PreviewArea c = AreaForVisible({-200, -150, 260, 190}, kPreviewMargin, small);
    EXPECT_EQ(c.source, (PixelRect{0, 0, 300, 200}));
    EXPECT_EQ(c.target, (PixelRect{0, 0, 60, 40}));
    EXPECT_TRUE(AreaForVisible({0, 0, 10, 10}, 0, OutputMapping()).isEmpty());
}

TEST(PreviewGeometry, ScaleIsComparedInWholePercents) {
    EXPECT_EQ(ScaleOf({{0, 0, 100, 100}, {0, 0, 150, 50}}), (PreviewScale{150, 50}));
    EXPECT_EQ(ScaleOf({{10, 10, 60, 60}, {15, 5, 90, 30}}), (PreviewScale{150, 50}));
}

TEST(ScrollArithmetic, CentringKeepingTheCentreAndClamping) {
    EXPECT_EQ(CentringOffset(100, 400), 150);
    EXPECT_EQ(CentringOffset(500, 400), 0);
    EXPECT_EQ(CentringOffset(100, 400, false), 0);
    EXPECT_EQ(ScrollMaximum(1000, 400), 600);
    EXPECT_EQ(ScrollMaximum(300, 400), 0);
    // Growing from 1000 to 1200 moves the position by half the growth.
    EXPECT_EQ(KeepCentre(300, 1000, 1200, 400), 400);
    // Shrinking below the window clamps to 0; past the end clamps to the new maximum.
    EXPECT_EQ(KeepCentre(300, 1000, 350, 400), 0);
    EXPECT_EQ(KeepCentre(600, 1000, 800, 400), 400);
    // A content that was smaller than the window was shown centred: the new one is centred too.
    EXPECT_EQ(KeepCentre(0, 10, 1400, 778), 311);
}

TEST(ScrollArithmetic, ResizingTheWindowKeepsTheCentredPoint) {
    // A 1200-wide content sized while the window was 98 wide, then shown 778 wide: centred.
    EXPECT_EQ(KeepCentreOnResize(551, 1200, 98, 778), 211);
    EXPECT_EQ(KeepCentreOnResize(0, 300, 98, 778), 0);         // fits the new window
    EXPECT_EQ(KeepCentreOnResize(1000, 1200, 200, 400), 800);  // clamped at the far edge
    EXPECT_EQ(KeepCentreOnResize(100, 1200, 400, 200), 200);   // shrinking keeps the centre
}

TEST(NavigatorGeometry, ImageFitsCentredAndCropFrameHasTheOutputAspect) {
    const PixelRect image = FitCentred(400, 200, 200, 136);
    EXPECT_EQ(image, (PixelRect{0, 18, 200, 118}));
    EXPECT_EQ(NavigatorFrame(image, 100, 100, false), image);
    // Crop to a square: the frame is 100 x 100, centred in the 200 x 100 image rectangle.
    EXPECT_EQ(NavigatorFrame(image, 100, 100, true), (PixelRect{50, 18, 150, 118}));
    // Tall source in a wide window.
    EXPECT_EQ(FitCentred(100, 200, 200, 100), (PixelRect{75, 0, 125, 100}));
}

TEST(NavigatorGeometry, MarkerMapsTheVisibleSourceAndDragsStayInsideTheFrame) {
    const PixelRect image{0, 18, 200, 118};  // 400 x 200 source at half size
    const PixelRect marker = NavigatorMarker({100, 50, 201, 101}, image, 400, 200);
    EXPECT_EQ(marker, (PixelRect{50, 43, 101, 69}));  // rounded up, moved into place
    const PixelRect frame{50, 18, 150, 118};
    // Dragged far right and down: it stops at the frame's edges.
    EXPECT_EQ(DragMarker(marker, 500, 500, frame), (PixelRect{99, 92, 150, 118}));
    // Dragged far left and up.
    EXPECT_EQ(DragMarker(marker, -500, -500, frame), (PixelRect{50, 18, 101, 44}));
    // Back to output pixels: the marker's corner at source (100, 50) is output (200, 100) at 2x.
    int x = 0, y = 0;
    MarkerToOutput({50, 43, 101, 69}, image, OutputMapping(400, 200, 800, 400, false), x, y);
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 100);
}

}  // namespace
}  // namespace orm

namespace orm {
namespace {

TEST(PreviewGeometry, TheAreaCoversTheWindowAtEveryEnlargement) {
    // Above 100x one source pixel is larger than the margin: the area still covers every visible
    // output pixel, in every correction mode, wherever the window lies.
    for (const bool crop : {false, true}) {
        for (const int scale : {2, 99, 150, 333}) {
            const OutputMapping m(12, 9, 12 * scale, 10 * scale, crop);
            for (int top = 0; top + 300 <= m.outputHeight(); top += 97) {
                const PixelRect visible{5, top, 405, top + 300};
                const PreviewArea a = AreaForVisible(visible, kPreviewMargin, m);
                const PixelRect shown =
                    visible.intersected({0, 0, m.outputWidth(), m.outputHeight()});
                EXPECT_TRUE(a.target.contains(shown))
                    << (crop ? "crop " : "") << scale << "x, window top " << top;
            }
        }
    }
}

}  // namespace
}  // namespace orm
