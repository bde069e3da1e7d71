// The preview view and the navigator, offscreen: a small output centred on white, the
// provisional picture replaced by the exact result, panning, and the navigator's marker kept
// inside the crop frame.

#include "document/cormensura_doc.h"
#include "preview_view_fixture.h"
#include "settings/resize_settings.h"
#include "test_environment.h"
#include "ui/cormensura_view.h"
#include "ui/navigator_wnd.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace orm {
namespace {

class PreviewView : public test::PreviewViewFixture {};

TEST_F(PreviewView, SmallOutputIsCentredOnWhite) {
    Open(100, 80);
    SetOutput(50, 40, 4);
    const QImage shot = Shot();
    const QSize client = view_.viewport()->size();
    const QPoint origin((client.width() - 50) / 2, (client.height() - 40) / 2);
    EXPECT_EQ(view_.ContentOrigin(), origin);
    EXPECT_EQ(shot.pixel(2, 2), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(client.width() - 3, client.height() - 3), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(origin.x() - 1, origin.y() + 20), qRgb(255, 255, 255));
    // Inside, the picture: not all white.
    int coloured = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            coloured += shot.pixel(origin.x() + x, origin.y() + y) != qRgb(255, 255, 255);
    EXPECT_GT(coloured, 1500);
    EXPECT_EQ(view_.Drawn().target, (PixelRect{0, 0, 50, 40}));
    EXPECT_EQ(view_.horizontalScrollBar()->maximum(), 0);
}

TEST(PreviewViewStartUp, OutputSizedBeforeTheWindowIsShownOpensCentred) {
    // At start-up the document opens its image before the window has its final size.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("start.png"));
    ASSERT_TRUE(test::PatternImage(300, 200).save(path));
    SettingsModel settings;
    CORMensuraDoc doc(settings);
    CORMensuraView view;
    view.SetDocument(&doc);
    ASSERT_TRUE(doc.Open(path));
    settings.EditResize([&](ResizeSettings& r) { r.width = 1200; });
    settings.EditResize([&](ResizeSettings& r) { r.height = 800; });
    settings.EditResize([&](ResizeSettings& r) { r.correction = 2; });
    doc.SettingsChanged();
    view.resize(500, 400);
    view.show();
    QCoreApplication::processEvents();
    const QSize client = view.viewport()->size();
    EXPECT_NEAR(view.horizontalScrollBar()->value(), (1200 - client.width()) / 2, 1);
    EXPECT_NEAR(view.verticalScrollBar()->value(), (800 - client.height()) / 2, 1);
}

TEST_F(PreviewView, OwnAlgorithmShowsProvisionalThenExactPicture) {
    Open(60, 40);
    SetOutput(120, 80, 6);
    QSignalSpy ready(&doc_, &CORMensuraDoc::previewReady);
    Shot();
    EXPECT_FALSE(view_.Drawn().resultShown);
    ASSERT_TRUE(ready.count() > 0 || ready.wait(20000));
    const QImage shot = Shot();
    EXPECT_TRUE(view_.Drawn().resultShown);
    // What is on screen is the document's exact result.
    const QPoint o = view_.ContentOrigin();
    const QImage exact = doc_.Preview().Result().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot.copy(o.x(), o.y(), 120, 80), exact);
}

TEST_F(PreviewView, LargeOutputComputesOnlyTheVisibleAreaWithItsMargin) {
    Open(1000, 800);
    SetOutput(3000, 2400, 7);
    Shot();
    const PixelRect target = view_.Drawn().target;
    const QSize client = view_.viewport()->size();
    // The view kept its centre when the output grew, so the area lies inside the output.
    const PixelRect visible = view_.VisibleContentRect();
    EXPECT_GT(target.left, 0);
    EXPECT_TRUE(target.contains(
        {visible.left + 3, visible.top + 3, visible.right - 3, visible.bottom - 3}));
    EXPECT_LE(target.width(), client.width() + 2 * kPreviewMargin + 3);
    EXPECT_LE(target.height(), client.height() + 2 * kPreviewMargin + 3);
    EXPECT_EQ(doc_.PendingRequest().area.target, target);
}

TEST_F(PreviewView, APageClickOnAScrollBarAsksForPixelsOnlyWhenTheButtonIsReleased) {
    Open(1000, 800);
    SetOutput(3000, 2400, 7);
    Shot();
    const PreviewArea first = doc_.PendingRequest().area;
    QScrollBar* bar = view_.verticalScrollBar();
    const int before = bar->value();
    // Press in the page area below the handle and keep the button down: the bar scrolls.
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = option.sliderValue = bar->value();
    option.pageStep = bar->pageStep();
    option.singleStep = bar->singleStep();
    const QPoint pageArea =
        bar->style()
            ->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddPage, bar)
            .center();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, pageArea);
    EXPECT_TRUE(view_.ScrollBarOperated());
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);  // the held button repeats
    ASSERT_GT(bar->value(), before);
    Shot();
    EXPECT_EQ(doc_.PendingRequest().area, first) << "no computation while the bar is operated";
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, pageArea);
    EXPECT_FALSE(view_.ScrollBarOperated());
    Shot();
    EXPECT_NE(doc_.PendingRequest().area, first) << "the end of the scroll asks for the new area";
}

TEST_F(PreviewView, DraggingPansTheView) {
    Open(300, 200);
    SetOutput(900, 600, 0);
    const QPoint before = view_.ScrollPosition();
    QTest::mousePress(view_.viewport(), Qt::LeftButton, {}, QPoint(200, 150));
    QMouseEvent move(QEvent::MouseMove, QPointF(150, 120),
                     view_.viewport()->mapToGlobal(QPointF(150, 120)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(view_.viewport(), &move);
    EXPECT_TRUE(view_.Panning());
    QTest::mouseRelease(view_.viewport(), Qt::LeftButton, {}, QPoint(150, 120));
    EXPECT_FALSE(view_.Panning());
    EXPECT_EQ(view_.ScrollPosition(), before + QPoint(50, 30));
}

TEST_F(PreviewView, NavigatorMarkerStaysInsideTheCropFrame) {
    Open(400, 200);
    SetOutput(600, 600, 0, 1);  // Crop to a square
    CNavigatorWnd nav;
    nav.resize(200, 136);
    nav.SetView(&view_);
    nav.show();
    const PixelRect frame = nav.FrameRect();
    EXPECT_LT(frame.width(), nav.ImageRect().width());
    const PixelRect marker = nav.MarkerRect();
    ASSERT_FALSE(marker.isEmpty());
    EXPECT_TRUE(frame.contains(marker));
    const QPoint inside((marker.left + marker.right) / 2, (marker.top + marker.bottom) / 2);
    QTest::mousePress(&nav, Qt::LeftButton, {}, inside);
    QMouseEvent move(QEvent::MouseMove, QPointF(inside + QPoint(300, 300)),
                     nav.mapToGlobal(QPointF(inside + QPoint(300, 300))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&nav, &move);
    EXPECT_EQ(nav.MarkerRect().right, frame.right);
    EXPECT_EQ(nav.MarkerRect().bottom, frame.bottom);
    QTest::mouseRelease(&nav, Qt::LeftButton, {}, inside + QPoint(300, 300));
    // The view followed to the bottom-right end of the output.
    // (within the rounding of the small overview)
    EXPECT_GE(view_.ScrollPosition().x(), view_.horizontalScrollBar()->maximum() - 8);
    EXPECT_GE(view_.ScrollPosition().y(), view_.verticalScrollBar()->maximum() - 8);
    EXPECT_TRUE(frame.contains(nav.MarkerRect()));
}

}  // namespace
}  // namespace orm
