// The preview on a desktop that scales the interface: a zoom counts device pixels, so at 100 %
// every output pixel covers exactly one device pixel. The geometry is checked for scales 1, 1.5
// and 2; the drawn view and navigator at whatever scale the test runs with (CTest runs this file
// again with QT_SCALE_FACTOR=2 and 1.5).

#include "document/preview_zoom.h"
#include "preview_view_fixture.h"
#include "test_environment.h"
#include "ui/navigator_wnd.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace orm {
namespace {

TEST(HiDpiGeometry, ZoomCountsDevicePixelsAndTheLayoutLogicalOnes) {
    EXPECT_EQ(DeviceScaleOf(1.0), (ZoomRatio{1, 1}));
    EXPECT_EQ(DeviceScaleOf(1.5), (ZoomRatio{3, 2}));
    EXPECT_EQ(DeviceScaleOf(4.0 / 3.0), (ZoomRatio{4, 3}));
    EXPECT_EQ(DeviceScaleOf(0.0), (ZoomRatio{1, 1})) << "nonsense falls back to 1";
    EXPECT_EQ(DeviceScaleOf(-2.0), (ZoomRatio{1, 1}));

    // 100 % at scale 2: one output pixel per device pixel, half a logical pixel.
    const ZoomGeometry two = GeometryOf({false, 100}, 101, 100, 400, 300, {2, 1});
    EXPECT_EQ(two.device, (ZoomRatio{1, 1}));
    EXPECT_EQ(two.logical, (ZoomRatio{1, 2}));
    EXPECT_EQ(two.contentWidth, 51) << "the last device pixel is inside the content";
    EXPECT_EQ(two.contentHeight, 50);
    EXPECT_DOUBLE_EQ(two.ToLogical(101), 50.5);

    // 200 % at scale 1.5: output pixel 1 starts at device pixel 2, logical 4/3.
    const ZoomGeometry half = GeometryOf({false, 200}, 10, 10, 400, 300, {3, 2});
    EXPECT_EQ(half.logical, (ZoomRatio{4, 3}));
    EXPECT_DOUBLE_EQ(half.ToLogical(1), 4.0 / 3.0);
    EXPECT_EQ(half.contentWidth, 14);  // 20 device pixels

    // Fit uses the client's device pixels and never passes 100 %.
    EXPECT_EQ(GeometryOf({true, 100}, 1000, 500, 400, 300, {2, 1}).device, (ZoomRatio{4, 5}));
    EXPECT_EQ(GeometryOf({true, 100}, 100, 50, 400, 300, {2, 1}).device, (ZoomRatio{1, 1}));
    // At scale 1 nothing changes.
    const ZoomGeometry one = GeometryOf({false, 50}, 101, 40, 400, 300, {});
    EXPECT_EQ(one.logical, one.device);
    EXPECT_EQ(one.contentWidth, 50);
}

using HiDpiView = test::PreviewViewFixture;

TEST_F(HiDpiView, HundredPercentCoversOneDevicePixelPerOutputPixel) {
    const qreal scale = view_.devicePixelRatioF();
    Open(100, 100);
    SetOutput(100, 100, 0);
    view_.SetZoom({false, 100});
    const QImage source = test::PatternImage(100, 100).convertToFormat(QImage::Format_RGB32);
    for (int percent : {100, 200}) {
        view_.SetZoom({false, percent});
        const QImage shot = Shot();
        const int n = percent / 100;
        ASSERT_EQ(shot.width(), qRound(view_.viewport()->width() * scale))
            << "grabbed at device pixels";
        // The content is centred; find its first device pixel.
        const QPointF origin = QPointF(view_.ContentOrigin()) * scale;
        const QPoint at(qRound(origin.x()), qRound(origin.y()));
        for (int y = 0; y < 100 * n; ++y)
            for (int x = 0; x < 100 * n; ++x)
                ASSERT_EQ(shot.pixel(at + QPoint(x, y)), source.pixel(x / n, y / n))
                    << percent << "% at " << x << "," << y << ", scale " << scale;
        // Exactly 100 x 100 (or 200 x 200) device pixels: white on either side.
        for (int i = 0; i < 100 * n; ++i) {
            EXPECT_EQ(shot.pixel(at + QPoint(-1, i)), qRgb(255, 255, 255));
            EXPECT_EQ(shot.pixel(at + QPoint(100 * n, i)), qRgb(255, 255, 255));
            EXPECT_EQ(shot.pixel(at + QPoint(i, -1)), qRgb(255, 255, 255));
            EXPECT_EQ(shot.pixel(at + QPoint(i, 100 * n)), qRgb(255, 255, 255));
        }
    }
}

TEST_F(HiDpiView, NavigatorOverviewIsReducedStraightToDevicePixels) {
    const qreal scale = view_.devicePixelRatioF();
    // One-pixel stripes as wide as the navigator's device pixels: a logical-size overview
    // enlarged for the screen would blur them to grey.
    const int width = qRound(200 * scale);
    QImage stripes(width, width / 4, QImage::Format_BGR888);
    for (int y = 0; y < stripes.height(); ++y)
        for (int x = 0; x < width; ++x) stripes.setPixelColor(x, y, x % 2 ? Qt::black : Qt::white);
    const QString path = dir_.filePath(QStringLiteral("stripes.png"));
    ASSERT_TRUE(stripes.save(path));
    ASSERT_TRUE(doc_.Open(path));
    CNavigatorWnd nav;
    nav.resize(200, 136);
    nav.SetView(&view_);
    nav.show();
    const PixelRect image = nav.ImageRect();
    ASSERT_EQ(image.width(), 200);
    const QImage shot = nav.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.width(), width);
    // A row through the middle of the overview, away from the marker's lines.
    const int y = qRound((image.top + 2) * scale);
    int sharp = 0;
    for (int x = 1; x < width; ++x)
        sharp += std::abs(qGray(shot.pixel(x, y)) - qGray(shot.pixel(x - 1, y))) > 200;
    EXPECT_GT(sharp, width * 9 / 10) << "scale " << scale;
}

}  // namespace
}  // namespace orm
