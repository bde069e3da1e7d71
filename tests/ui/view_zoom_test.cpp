// The zoomed preview offscreen: 200 % repeats the pixels of the 100 % picture, Fit shows the
// whole output, Ctrl+wheel steps about the pointer, a zoomed view is served from the 100 %
// caches, a huge output seen whole is drawn as a draft, the comparison shows the source at the
// output size, the split view with another algorithm left of a divider, the frame's zoom
// commands, and the saved file is the same at every zoom.

#include "document/cormensura_doc.h"
#include "document/preview_compare.h"
#include "document/preview_render.h"
#include "document/preview_worker.h"
#include "preview_view_fixture.h"
#include "settings/resize_settings.h"
#include "test_environment.h"
#include "ui/cormensura_view.h"
#include "ui/main_frame.h"
#include "ui/preview_view_actions.h"

#include <QAction>
#include <QFile>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace orm {
namespace {

class ZoomedView : public test::PreviewViewFixture {
  protected:
    // The output as shown on screen (the whole output must be visible).
    QImage ShownOutput() {
        const QImage shot = Shot();
        return shot.copy(QRect(view_.ContentOrigin(), view_.ScrollSize()));
    }
    void Wheel(QPoint at, int delta, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QWheelEvent wheel(at, view_.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view_.viewport(), &wheel);
    }
    bool WaitForResult() {
        QSignalSpy ready(&doc_, &CORMensuraDoc::previewReady);
        Shot();
        return doc_.Preview().HasResult() || ready.wait(20000);
    }
};

TEST_F(ZoomedView, TwoHundredPercentRepeatsEveryPixelOfTheHundredPercentPicture) {
    Open(100, 80);
    SetOutput(250, 200, 4);
    EXPECT_EQ(view_.Zoom(), (PreviewZoom{false, 100})) << "100 % is the default";
    const QImage at100 = ShownOutput();
    ASSERT_EQ(at100.size(), QSize(250, 200));
    const PixelRect source100 = view_.VisibleSourceRect();

    view_.SetZoom({false, 200});
    EXPECT_EQ(view_.ScrollSize(), QSize(500, 400));
    const QImage shot = Shot();
    const QPoint o = view_.ContentOrigin();
    const PixelRect shown = view_.VisibleContentRect();
    for (int y = std::max(0, shown.top); y < std::min(400, shown.bottom); ++y)
        for (int x = std::max(0, shown.left); x < std::min(500, shown.right); ++x)
            ASSERT_EQ(shot.pixel(o.x() + x, o.y() + y), at100.pixel(x / 2, y / 2)) << x << "," << y;
    // The window shows less of the source, as the navigator marks it.
    const PixelRect source200 = view_.VisibleSourceRect();
    EXPECT_LT(source200.width(), source100.width());

    view_.SetZoom({false, 50});
    EXPECT_EQ(view_.ScrollSize(), QSize(125, 100));
    EXPECT_EQ(ShownOutput().size(), QSize(125, 100));
}

TEST_F(ZoomedView, FitShowsTheWholeOutputAndFollowsTheWindow) {
    Open(1000, 800);
    SetOutput(3000, 2400, 4);
    view_.SetZoom({true, 100});
    Shot();
    const QSize client = view_.viewport()->size();
    EXPECT_LE(view_.ScrollSize().width(), client.width());
    EXPECT_LE(view_.ScrollSize().height(), client.height());
    EXPECT_TRUE(view_.ScrollSize().width() == client.width() ||
                view_.ScrollSize().height() == client.height());
    EXPECT_EQ(view_.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(view_.VisibleSourceRect(), (PixelRect{0, 0, 1000, 800}));
    EXPECT_EQ(view_.Drawn().target, (PixelRect{0, 0, 3000, 2400}))
        << "the whole output at 100 %, reduced for the screen";
    EXPECT_FALSE(view_.ShowsDraft());

    view_.resize(600, 500);
    QCoreApplication::processEvents();
    EXPECT_GT(view_.ScrollSize().width(), client.width());
    EXPECT_LE(view_.ScrollSize().height(), view_.viewport()->height());
}

TEST_F(ZoomedView, CtrlWheelStepsAboutThePointerAndPlainWheelScrolls) {
    Open(1000, 800);
    SetOutput(3000, 2400, 0);
    Shot();
    const QPoint pointer(100, 80);
    const QPoint before = view_.ScrollPosition();
    const QPoint outputUnder = before + pointer;  // 100 %: content = output

    Wheel(pointer, 120);
    EXPECT_EQ(view_.Zoom(), (PreviewZoom{false, 200}));
    const QPoint after = view_.ScrollPosition() + pointer;
    EXPECT_NEAR(after.x(), 2 * outputUnder.x(), 1);
    EXPECT_NEAR(after.y(), 2 * outputUnder.y(), 1);
    Wheel(pointer, 120);
    EXPECT_EQ(view_.Zoom(), (PreviewZoom{false, 200})) << "nothing above 200 %";

    // A fine wheel adds up to a notch.
    Wheel(pointer, -60);
    EXPECT_EQ(view_.Zoom(), (PreviewZoom{false, 200}));
    Wheel(pointer, -60);
    EXPECT_EQ(view_.Zoom(), (PreviewZoom{false, 100}));
    Wheel(pointer, -240);
    EXPECT_TRUE(view_.Zoom().fit);

    view_.SetZoom({false, 100});
    const int y = view_.verticalScrollBar()->value();
    Wheel(pointer, -120, Qt::NoModifier);
    EXPECT_EQ(view_.Zoom(), (PreviewZoom{false, 100}));
    EXPECT_GT(view_.verticalScrollBar()->value(), y);
}

TEST_F(ZoomedView, ZoomingInIsServedFromTheAreaComputedAtHundredPercent) {
    Open(200, 150);
    SetOutput(600, 450, 6);
    ASSERT_TRUE(WaitForResult());
    Shot();
    ASSERT_TRUE(view_.Drawn().resultShown);
    const PreviewRequest computed = doc_.Preview().Computed();

    view_.SetZoom({false, 200});
    Shot();  // the smaller area lies inside the computed one at the same scale: cut, not computed
    EXPECT_TRUE(doc_.Preview().HasResult());
    EXPECT_FALSE(doc_.PreviewInFlight());
    EXPECT_EQ(doc_.Preview().Computed(), computed);
    Shot();
    EXPECT_TRUE(view_.Drawn().resultShown);
    EXPECT_TRUE(computed.area.target.contains(view_.Drawn().target));
}

TEST_F(ZoomedView, AHugeOutputSeenWholeIsADraftAndNothingHugeIsComputed) {
    Open(500, 400);
    SetOutput(20000, 16000, 7);
    view_.SetZoom({true, 100});
    const QImage shot = Shot();
    EXPECT_TRUE(view_.ShowsDraft());
    EXPECT_FALSE(doc_.PreviewInFlight());
    const QPoint centre = QRect(view_.ContentOrigin(), view_.ScrollSize()).center();
    EXPECT_NE(shot.pixel(centre), qRgb(255, 255, 255)) << "the draft is drawn";
    // At 100 % the same output is computed exactly again, for the visible area only.
    view_.SetZoom({false, 100});
    Shot();
    EXPECT_FALSE(view_.ShowsDraft());
    EXPECT_TRUE(doc_.PreviewInFlight() || doc_.Preview().HasResult());
    EXPECT_LE(int64_t(doc_.PendingRequest().area.target.width()) *
                  doc_.PendingRequest().area.target.height(),
              kZoomedOutExactBudget);
}

TEST_F(ZoomedView, ComparingShowsTheSourceAtTheOutputSizeWithNearestNeighbour) {
    Open(60, 40);
    SetOutput(150, 100, 6);
    ASSERT_TRUE(WaitForResult());
    const QImage after = ShownOutput();
    const QImage before =
        RenderNearestOutputArea(doc_.SourcePixels(), doc_.Mapping(), {0, 0, 150, 100})
            .convertToFormat(QImage::Format_RGB32);
    ASSERT_NE(after, before);

    QSignalSpy comparing(&view_, &CORMensuraView::comparingChanged);
    view_.SetCompareToggled(true);
    EXPECT_EQ(ShownOutput(), before);
    view_.SetCompareToggled(false);
    EXPECT_EQ(ShownOutput(), after);

    // Held key: before while down, after once released (repeats change nothing).
    QTest::keyPress(&view_, CORMensuraView::kCompareKey);
    EXPECT_TRUE(view_.Comparing());
    EXPECT_EQ(ShownOutput(), before);
    QKeyEvent repeat(QEvent::KeyRelease, CORMensuraView::kCompareKey, Qt::NoModifier, QString(),
                     true);
    QCoreApplication::sendEvent(&view_, &repeat);
    EXPECT_TRUE(view_.Comparing());
    QTest::keyRelease(&view_, CORMensuraView::kCompareKey);
    EXPECT_FALSE(view_.Comparing());
    EXPECT_EQ(ShownOutput(), after);
    EXPECT_EQ(comparing.count(), 4);
}

TEST_F(ZoomedView, SplitShowsAnotherAlgorithmLeftOfTheDraggableDivider) {
    Open(80, 60);
    SetOutput(200, 150, 4);  // the whole output in view
    const QImage right = ShownOutput();
    const QPoint o = view_.ContentOrigin();
    const PreviewArea area = view_.CurrentArea();
    const QImage nearest =
        RenderStandardArea(doc_.SourcePixels(), area, engine::StandardMode::NearestNeighbor)
            .convertToFormat(QImage::Format_RGB32);
    ASSERT_NE(nearest, right);

    view_.SetSplitAlgorithm(ResizeAlgorithm(0));
    view_.SetDividerX(o.x() + 100);
    const QImage split = ShownOutput();
    // Left of the divider nearest neighbour, right of it the panel's algorithm; the captions and
    // the divider's two lines are left out.
    for (int y = 40; y < 150; ++y) {
        for (int x = 0; x < 98; ++x)
            ASSERT_EQ(split.pixel(x, y), nearest.pixel(x, y)) << x << "," << y;
        for (int x = 103; x < 200; ++x)
            ASSERT_EQ(split.pixel(x, y), right.pixel(x, y)) << x << "," << y;
    }
    // Dragging the divider moves the border; a press elsewhere still pans.
    const int y = o.y() + 120;
    QTest::mousePress(view_.viewport(), Qt::LeftButton, {}, QPoint(view_.DividerX() + 2, y));
    EXPECT_TRUE(view_.DraggingDivider());
    QMouseEvent move(QEvent::MouseMove, QPointF(o.x() + 150, y),
                     view_.viewport()->mapToGlobal(QPointF(o.x() + 150, y)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view_.viewport(), &move);
    QTest::mouseRelease(view_.viewport(), Qt::LeftButton, {}, QPoint(o.x() + 150, y));
    EXPECT_FALSE(view_.DraggingDivider());
    EXPECT_NEAR(view_.DividerX(), o.x() + 150, 1);
    EXPECT_EQ(ShownOutput().pixel(140, 100), nearest.pixel(140, 100));
    QTest::mousePress(view_.viewport(), Qt::LeftButton, {}, QPoint(o.x() + 20, y));
    EXPECT_FALSE(view_.DraggingDivider());
    QTest::mouseRelease(view_.viewport(), Qt::LeftButton, {}, QPoint(o.x() + 20, y));

    view_.SetSplitAlgorithm(std::nullopt);
    EXPECT_EQ(ShownOutput(), right);
}

TEST_F(ZoomedView, SplitComputesAnOwnAlgorithmOnItsOwnWorker) {
    Open(80, 60);
    SetOutput(200, 150, 4);
    view_.SetDividerX(view_.viewport()->width());  // all of the output left of the divider
    const PreviewArea area = view_.CurrentArea();
    const PreviewRequest request{area, 200, 150, ResizeAlgorithm(7)};
    const engine::StopToken never;
    const QImage exact = ComputePreviewArea(PreviewJob{doc_.SourcePixels(), request, 0}, never)
                             .convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(exact.isNull());

    view_.SetSplitAlgorithm(ResizeAlgorithm(7));
    const QImage provisional = ShownOutput();
    QTest::qWaitFor(
        [&] {
            const QImage now = ShownOutput();
            return now.copy(0, 40, 200, 110) == exact.copy(0, 40, 200, 110);
        },
        20000);
    EXPECT_EQ(ShownOutput().copy(0, 40, 200, 110), exact.copy(0, 40, 200, 110));
    EXPECT_NE(provisional.copy(0, 40, 200, 110), exact.copy(0, 40, 200, 110));
    EXPECT_FALSE(doc_.PreviewInFlight()) << "the document's worker was not asked";
}

TEST_F(ZoomedView, TheSavedFileIsTheSameAtEveryZoomAndWhileComparing) {
    Open(90, 70);
    SetOutput(170, 130, 7);
    const QString first = dir_.filePath(QStringLiteral("first.png"));
    ASSERT_TRUE(doc_.ResizeAndSave(first));
    QFile f(first);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray expected = f.readAll();
    int n = 0;
    for (const PreviewZoom z : {PreviewZoom{true, 100}, PreviewZoom{false, 50},
                                PreviewZoom{false, 200}, PreviewZoom{false, 100}}) {
        for (bool compare : {false, true}) {
            view_.SetZoom(z);
            view_.SetCompareToggled(compare);
            view_.SetSplitAlgorithm(compare ? std::nullopt : std::optional(ResizeAlgorithm(2)));
            Shot();
            const QString path = dir_.filePath(QStringLiteral("z%1.png").arg(n++));
            ASSERT_TRUE(doc_.ResizeAndSave(path));
            QFile g(path);
            ASSERT_TRUE(g.open(QIODevice::ReadOnly));
            EXPECT_EQ(g.readAll(), expected) << ZoomLabel(z).toStdString() << " " << compare;
        }
    }
    EXPECT_EQ(settings_.Resize().width, 170);
}

}  // namespace

namespace gui {
namespace {

TEST(FrameZoom, CommandsShortcutsAndToolbarFollowTheView) {
    SettingsModel settings;
    ScriptedPrompt prompt;
    settings.SetPrompt(&prompt);
    CMainFrame frame(settings, nullptr);
    auto* actions = frame.findChild<PreviewViewActions*>();
    ASSERT_NE(actions, nullptr);
    EXPECT_EQ(actions->Fit()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_0));
    EXPECT_EQ(actions->Percent(100)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_1));
    EXPECT_TRUE(actions->Percent(100)->isChecked()) << "100 % is the default";
    auto* bar = frame.findChild<QToolBar*>(QStringLiteral("zoomToolbar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->actions().contains(actions->Compare()));

    actions->Fit()->trigger();
    EXPECT_TRUE(frame.View()->Zoom().fit);
    actions->Percent(200)->trigger();
    EXPECT_EQ(frame.View()->Zoom(), (PreviewZoom{false, 200}));
    // A zoom changed in the view (Ctrl+wheel) is shown checked.
    frame.View()->SetZoom({false, 50});
    EXPECT_TRUE(actions->Percent(50)->isChecked());
    frame.View()->SetZoom({false, 200});
    actions->ZoomOut()->trigger();
    EXPECT_TRUE(actions->Percent(100)->isChecked());
    actions->Compare()->setChecked(true);
    EXPECT_TRUE(frame.View()->Comparing());
    actions->Compare()->setChecked(false);
    EXPECT_FALSE(frame.View()->Comparing());
    actions->SplitActions().at(1 + 6)->trigger();
    EXPECT_EQ(frame.View()->SplitAlgorithm(), ResizeAlgorithm(6));
    frame.View()->SetSplitAlgorithm(std::nullopt);
    EXPECT_TRUE(actions->SplitActions().at(0)->isChecked());

    // The keys reach the commands from anywhere in the window.
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(&frame, Qt::Key_0, Qt::ControlModifier);
    EXPECT_TRUE(frame.View()->Zoom().fit);
    QTest::keyClick(&frame, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(frame.View()->Zoom(), (PreviewZoom{false, 100}));
}

}  // namespace
}  // namespace gui
}  // namespace orm
