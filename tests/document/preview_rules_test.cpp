// The preview request rules: the per-algorithm caches and the reuse of contained areas (plain
// PreviewStore), what the view does with its drawn picture, and the document's requests with
// the real worker thread: the 1:1 copy, switching 6 -> 7 -> 6, contained areas, and a width
// change while the worker computes.

#include "document/cormensura_doc.h"
#include "document/preview_draw_state.h"
#include "document/preview_render.h"
#include "document/preview_store.h"
#include "document/preview_worker.h"
#include "engine/progress.h"
#include "engine/resize_image.h"
#include "settings/resize_settings.h"
#include "test_environment.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace orm {
namespace {

PreviewRequest Request(PixelRect source, PixelRect target, int ow, int oh, int algorithm) {
    return {{source, target}, ow, oh, ResizeAlgorithm(algorithm)};
}

QImage Filled(int w, int h, int seed) {
    QImage img = test::PatternImage(w + seed, h);
    return img.copy(seed, 0, w, h);
}

TEST(PreviewStore, CachesPerAlgorithmServeTheSameAreaAgain) {
    PreviewStore store;
    const auto r6 = Request({0, 0, 100, 100}, {0, 0, 200, 200}, 400, 400, 6);
    auto r7 = r6;
    r7.algorithm = ResizeAlgorithm(7);
    const QImage six = Filled(200, 200, 1), seven = Filled(200, 200, 2);

    EXPECT_EQ(store.ServeFromCache(r6), PreviewStore::Served::No);
    store.StoreComputed(r6, six);
    store.ReleaseResult();
    // 7 has no cache yet: computed, while 6's cache survives.
    EXPECT_EQ(store.ServeFromCache(r7), PreviewStore::Served::No);
    EXPECT_TRUE(store.HasCache(ResizeAlgorithm(6)));
    store.StoreComputed(r7, seven);
    store.ReleaseResult();
    // Back to 6: served at once with 6's pixels; then 7 again.
    EXPECT_EQ(store.ServeFromCache(r6), PreviewStore::Served::WholeCache);
    EXPECT_EQ(store.Result(), six);
    EXPECT_EQ(store.ServeFromCache(r7), PreviewStore::Served::WholeCache);
    EXPECT_EQ(store.Result(), seven);
}

TEST(PreviewStore, ACacheMadeOnOneGridIsNeverServedForTheOther) {
    PreviewStore store;
    const auto documented = Request({0, 0, 100, 100}, {0, 0, 200, 200}, 400, 400, 6);
    auto centred = documented;
    centred.sampling = engine::Sampling::Centred;
    store.StoreComputed(documented, Filled(200, 200, 1));
    store.ReleaseResult();
    EXPECT_EQ(store.ServeFromCache(centred), PreviewStore::Served::No);
    store.StoreComputed(centred, Filled(200, 200, 2));
    store.ReleaseResult();
    EXPECT_EQ(store.ServeFromCache(centred), PreviewStore::Served::WholeCache);
    EXPECT_EQ(store.Result(), Filled(200, 200, 2));
    EXPECT_EQ(store.ServeFromCache(documented), PreviewStore::Served::No);
}

TEST(PreviewStore, ContainedAreaAtTheSameScaleIsCutOut) {
    PreviewStore store;
    const auto big = Request({0, 0, 100, 100}, {0, 0, 200, 200}, 400, 400, 5);
    const QImage pixels = Filled(200, 200, 3);
    store.StoreComputed(big, pixels);
    store.ReleaseResult();

    const auto inside = Request({10, 20, 60, 70}, {20, 40, 120, 140}, 400, 400, 5);
    EXPECT_EQ(store.ServeFromCache(inside), PreviewStore::Served::CutFromCache);
    EXPECT_EQ(store.Result(), pixels.copy(20, 40, 100, 100));

    // The same source part at another scale (another output size) is not reused, and nothing
    // is kept for an area the caches cannot serve.
    const auto otherScale = Request({10, 20, 60, 70}, {30, 60, 180, 210}, 600, 600, 5);
    EXPECT_EQ(store.ServeFromCache(otherScale), PreviewStore::Served::No);
    EXPECT_FALSE(store.HasCache(ResizeAlgorithm(5)));
}

TEST(PreviewStore, AreaOutsideTheComputedOneReleasesEveryCache) {
    PreviewStore store;
    const auto a = Request({0, 0, 100, 100}, {0, 0, 200, 200}, 400, 400, 6);
    store.StoreComputed(a, Filled(200, 200, 4));
    auto a7 = a;
    a7.algorithm = ResizeAlgorithm(7);
    store.StoreComputed(a7, Filled(200, 200, 5));
    const auto moved = Request({50, 0, 150, 100}, {100, 0, 300, 200}, 400, 400, 6);
    EXPECT_EQ(store.ServeFromCache(moved), PreviewStore::Served::No);
    EXPECT_FALSE(store.HasCache(ResizeAlgorithm(6)));
    EXPECT_FALSE(store.HasCache(ResizeAlgorithm(7)));
}

TEST(PreviewStore, ACacheIsNeverServedForAnAreaItDoesNotHold) {
    // 6 computed a large area; then 7 computed a part of it. 6's cache still holds the large
    // area and must serve the part by cutting, not hand over the large picture as it is.
    PreviewStore store;
    const auto large = Request({0, 0, 100, 100}, {0, 0, 200, 200}, 400, 400, 6);
    const QImage six = Filled(200, 200, 6);
    store.StoreComputed(large, six);
    const auto part7 = Request({10, 10, 50, 50}, {20, 20, 100, 100}, 400, 400, 7);
    EXPECT_EQ(store.ServeFromCache(part7), PreviewStore::Served::No);
    store.StoreComputed(part7, Filled(80, 80, 7));
    auto part6 = part7;
    part6.algorithm = ResizeAlgorithm(6);
    EXPECT_EQ(store.ServeFromCache(part6), PreviewStore::Served::CutFromCache);
    EXPECT_EQ(store.Result(), six.copy(20, 20, 80, 80));
}

TEST(DrawRules, PictureKeptReplacedOrRedrawn) {
    DrawnPicture drawn{true, {0, 0, 50, 50}, {0, 0, 100, 100}, 200, 200, ResizeAlgorithm(6), false};
    const PixelRect same{0, 0, 50, 50};
    EXPECT_EQ(DecideDraw(drawn, same, 200, 200, ResizeAlgorithm(6), false), DrawAction::Keep);
    EXPECT_EQ(DecideDraw(drawn, same, 200, 200, ResizeAlgorithm(6), true), DrawAction::ShowResult);
    drawn.resultShown = true;
    EXPECT_EQ(DecideDraw(drawn, same, 200, 200, ResizeAlgorithm(6), true), DrawAction::Keep);
    // Another own algorithm over the same area keeps the picture as its provisional one.
    EXPECT_EQ(DecideDraw(drawn, same, 200, 200, ResizeAlgorithm(7), false),
              DrawAction::KeepAsProvisional);
    // A standard mode, another area or another output size draws anew.
    EXPECT_EQ(DecideDraw(drawn, same, 200, 200, ResizeAlgorithm(4), false), DrawAction::DrawNew);
    EXPECT_EQ(DecideDraw(drawn, {1, 0, 51, 50}, 200, 200, ResizeAlgorithm(6), false),
              DrawAction::DrawNew);
    EXPECT_EQ(DecideDraw(drawn, same, 201, 200, ResizeAlgorithm(6), false), DrawAction::DrawNew);
    EXPECT_EQ(DecideDraw(DrawnPicture{}, same, 200, 200, ResizeAlgorithm(6), false),
              DrawAction::DrawNew);

    EXPECT_TRUE(ShouldRequestPreview(ResizeAlgorithm(5), false, false, false));
    EXPECT_FALSE(ShouldRequestPreview(ResizeAlgorithm(4), false, false, false));
    EXPECT_FALSE(ShouldRequestPreview(ResizeAlgorithm(6), true, false, false));
    EXPECT_FALSE(ShouldRequestPreview(ResizeAlgorithm(6), false, true, false));
    EXPECT_FALSE(ShouldRequestPreview(ResizeAlgorithm(6), false, false, true));
}

// ---- The document with its worker ------------------------------------------------------------

// Records the worker's reports on the test's thread (the worker emits on its own thread; a
// QSignalSpy would record there and race with the test reading it).
struct WorkerLog {
    explicit WorkerLog(PreviewWorker* worker) {
        QObject::connect(
            worker, &PreviewWorker::jobStarted, &context, [this](quint64) { ++started; },
            Qt::QueuedConnection);
        QObject::connect(
            worker, &PreviewWorker::jobFinished, &context,
            [this](const PreviewResult& r) { finished.push_back(r); }, Qt::QueuedConnection);
    }
    QObject context;
    int started = 0;
    std::vector<PreviewResult> finished;
};

class DocumentPreview : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    // Opens a pattern image of the given size and sets the output size and algorithm.
    void OpenPattern(CORMensuraDoc& doc, int w, int h) {
        const QString path = dir_.filePath(QStringLiteral("pattern_%1x%2.png").arg(w).arg(h));
        ASSERT_TRUE(test::PatternImage(w, h).save(path));
        ASSERT_TRUE(doc.Open(path));
    }
    void SetOutput(int w, int h, int algorithm) {
        settings_.EditResize([&](ResizeSettings& r) { r.width = w; });
        settings_.EditResize([&](ResizeSettings& r) { r.height = h; });
        settings_.EditResize([&](ResizeSettings& r) { r.algorithm = ResizeAlgorithm(algorithm); });
        settings_.EditResize([&](ResizeSettings& r) { r.correction = 2; });  // None
    }
    PreviewArea Whole(const CORMensuraDoc& doc) const {
        return AreaForVisible({0, 0, settings_.Resize().width, settings_.Resize().height}, 0,
                              doc.Mapping());
    }

    QTemporaryDir dir_;
    SettingsModel settings_;
};

TEST_F(DocumentPreview, OneToOneIsCopiedFromTheSourceWithoutTheWorker) {
    CORMensuraDoc doc(settings_);
    OpenPattern(doc, 64, 48);
    SetOutput(64, 48, 6);
    WorkerLog log(doc.Worker());
    const PreviewArea area{{8, 4, 40, 30}, {8, 4, 40, 30}};
    doc.RequestPreview(area);
    ASSERT_TRUE(doc.Preview().HasResult());
    EXPECT_EQ(doc.Preview().Result(), doc.SourcePixels().copy(8, 4, 32, 26));
    QCoreApplication::processEvents();
    EXPECT_EQ(log.started, 0);
    EXPECT_FALSE(doc.PreviewInFlight());
}

TEST_F(DocumentPreview, SwitchingSixSevenSixShowsTheCachedResultAtOnce) {
    CORMensuraDoc doc(settings_);
    OpenPattern(doc, 40, 30);
    SetOutput(80, 60, 6);
    WorkerLog log(doc.Worker());
    QSignalSpy ready(&doc, &CORMensuraDoc::previewReady);

    doc.RequestPreview(Whole(doc));
    ASSERT_TRUE(ready.wait(20000));
    const QImage six = doc.Preview().Result();
    ASSERT_EQ(six.size(), QSize(80, 60));

    doc.ReleasePreviewResult();  // the view does this when the algorithm changes
    settings_.EditResize([&](ResizeSettings& r) { r.algorithm = ResizeAlgorithm(7); });
    doc.RequestPreview(Whole(doc));
    ASSERT_TRUE(ready.wait(20000));
    const QImage seven = doc.Preview().Result();
    EXPECT_NE(seven, six);

    doc.ReleasePreviewResult();
    settings_.EditResize([&](ResizeSettings& r) { r.algorithm = ResizeAlgorithm(6); });
    doc.RequestPreview(Whole(doc));
    EXPECT_TRUE(doc.Preview().HasResult());
    EXPECT_EQ(doc.Preview().Result(), six);
    QCoreApplication::processEvents();
    EXPECT_EQ(log.started, 2);
}

TEST_F(DocumentPreview, BackToACachedAlgorithmDuringAComputationNeverShowsTheOtherResult) {
    // 6 is computed and cached; 7 starts; back to 6 before 7 is done: the cache serves 6 and the
    // result of 7, still on its way, must never replace it.
    CORMensuraDoc doc(settings_);
    OpenPattern(doc, 400, 300);
    SetOutput(1600, 1200, 6);
    WorkerLog log(doc.Worker());
    QSignalSpy ready(&doc, &CORMensuraDoc::previewReady);
    doc.RequestPreview(Whole(doc));
    ASSERT_TRUE(ready.wait(30000));
    const QImage six = doc.Preview().Result();

    doc.ReleasePreviewResult();
    settings_.EditResize([&](ResizeSettings& r) { r.algorithm = ResizeAlgorithm(7); });
    doc.RequestPreview(Whole(doc));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.started == 2; }, 10000));
    doc.ReleasePreviewResult();
    settings_.EditResize([&](ResizeSettings& r) { r.algorithm = ResizeAlgorithm(6); });
    doc.RequestPreview(Whole(doc));
    EXPECT_EQ(doc.Preview().Result(), six);
    EXPECT_FALSE(doc.PreviewInFlight());

    // Let the worker end the job for 7 (stopped or not) and deliver whatever it has.
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.finished.size() == 2; }, 30000));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(doc.Preview().Result(), six);
    EXPECT_EQ(doc.Preview().Computed().algorithm, ResizeAlgorithm::SmartNatural);
}

TEST_F(DocumentPreview, ScrollingBackInsideTheComputedAreaComputesNothing) {
    CORMensuraDoc doc(settings_);
    OpenPattern(doc, 120, 90);
    SetOutput(240, 180, 5);
    WorkerLog log(doc.Worker());
    QSignalSpy ready(&doc, &CORMensuraDoc::previewReady);
    const PreviewArea whole = Whole(doc);
    doc.RequestPreview(whole);
    ASSERT_TRUE(ready.wait(20000));
    const QImage all = doc.Preview().Result();

    doc.ReleasePreviewResult();
    const PreviewArea part = AreaForVisible({40, 30, 140, 110}, 0, doc.Mapping());
    doc.RequestPreview(part);
    ASSERT_TRUE(doc.Preview().HasResult());
    EXPECT_EQ(doc.Preview().Result(), all.copy(part.target.left, part.target.top,
                                               part.target.width(), part.target.height()));
    QCoreApplication::processEvents();
    EXPECT_EQ(log.started, 1);
}

TEST_F(DocumentPreview, ChangingTheWidthDuringAComputationCancelsIt) {
    CORMensuraDoc doc(settings_);
    OpenPattern(doc, 900, 700);
    SetOutput(2700, 2100, 7);
    WorkerLog log(doc.Worker());
    QSignalSpy ready(&doc, &CORMensuraDoc::previewReady);

    doc.RequestPreview(Whole(doc));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.started > 0; }, 10000));
    ASSERT_TRUE(doc.Worker()->IsComputing());

    SetOutput(1800, 1400, 7);
    const PreviewArea second = Whole(doc);
    QElapsedTimer timer;
    timer.start();
    doc.RequestPreview(second);
    // Replacing the running computation returns at once: nothing waits for the worker.
    EXPECT_LT(timer.elapsed(), 200);

    while (ready.count() == 0) ASSERT_TRUE(ready.wait(60000));
    // The spy records on the worker's thread, possibly just after the document took the result.
    ASSERT_TRUE(QTest::qWaitFor([&] { return int(log.finished.size()) >= 2; }, 5000));
    const auto first = log.finished.at(0);
    EXPECT_TRUE(first.image.isNull());  // cancelled, never shown
    EXPECT_EQ(first.request.outputWidth, 2700);
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(doc.Preview().Result().size(), QSize(second.target.width(), second.target.height()));
    EXPECT_EQ(doc.Preview().Computed().outputWidth, 1800);
}

TEST_F(DocumentPreview, OpeningAnotherImageDropsAResultStillOnItsWay) {
    CORMensuraDoc doc(settings_);
    OpenPattern(doc, 600, 400);
    SetOutput(1800, 1200, 7);
    WorkerLog log(doc.Worker());
    QSignalSpy ready(&doc, &CORMensuraDoc::previewReady);
    doc.RequestPreview(Whole(doc));
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.started > 0; }, 10000));
    OpenPattern(doc, 30, 20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !doc.Worker()->IsComputing(); }, 10000));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(ready.count(), 0);
    EXPECT_FALSE(doc.Preview().HasResult());
}

}  // namespace
}  // namespace orm

namespace orm {
namespace {

// The preview of the whole output, area by area as the view asks for it, must hold exactly the
// pixels ResizeImage writes, in every correction mode and with every algorithm.
QImage PreviewOfWholeOutput(const QImage& source, int ow, int oh, ResizeAlgorithm algorithm,
                            bool crop, int tile) {
    const OutputMapping mapping(source.width(), source.height(), ow, oh, crop);
    QImage out(ow, oh, QImage::Format_BGR888);
    out.fill(Qt::magenta);
    for (int y = 0; y < oh; y += tile) {
        for (int x = 0; x < ow; x += tile) {
            const PreviewArea area =
                AreaForVisible({x, y, x + tile, y + tile}, kPreviewMargin, mapping);
            QImage part;
            if (IsOwnAlgorithm(algorithm)) {
                const engine::StopToken stop;
                part = ComputePreviewArea(
                    PreviewJob{source, PreviewRequest{area, ow, oh, algorithm}, 1}, stop);
            } else {
                part = RenderStandardArea(source, area, DrawModeForAlgorithm(algorithm));
            }
            if (part.isNull())
                return {};
            // Copy the visible tile out of the computed area.
            for (int ty = y; ty < std::min(y + tile, oh); ++ty)
                for (int tx = x; tx < std::min(x + tile, ow); ++tx)
                    out.setPixel(tx, ty, part.pixel(tx - area.target.left, ty - area.target.top));
        }
    }
    return out;
}

QImage Saved(const QImage& source, int ow, int oh, ResizeAlgorithm algorithm, bool crop) {
    const engine::ConstBgrView view(source.constBits(), source.width(), source.height(),
                                    source.bytesPerLine());
    const engine::ResizeOutcome r = engine::ResizeImage(view, ow, oh, algorithm, crop, nullptr);
    if (r.status != engine::ResizeStatus::Ok)
        return {};
    return QImage(r.image.Row(0), ow, oh, r.image.Stride(), QImage::Format_BGR888).copy();
}

TEST(PreviewMatchesSaved, EveryCorrectionModeAndAlgorithm) {
    const QImage source = test::PatternImage(160, 120);
    struct Case {
        int ow, oh;
        bool crop;
    };
    for (const Case c : {Case{40, 80, true}, Case{300, 120, true}, Case{200, 200, true},
                         Case{240, 180, false}, Case{70, 30, true}, Case{333, 100, false}}) {
        for (int a = 0; a < kAlgorithmCount; ++a) {
            const ResizeAlgorithm algorithm = *AlgorithmFromIndex(a);
            const QImage saved = Saved(source, c.ow, c.oh, algorithm, c.crop);
            const QImage preview =
                PreviewOfWholeOutput(source, c.ow, c.oh, algorithm, c.crop, 1000);
            ASSERT_FALSE(saved.isNull());
            ASSERT_FALSE(preview.isNull());
            EXPECT_EQ(preview, saved)
                << c.ow << "x" << c.oh << (c.crop ? " crop" : "") << " algorithm " << a;
        }
    }
}

}  // namespace
}  // namespace orm
