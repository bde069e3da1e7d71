// Long jobs side by side: a batch run, preview jobs and Resize and Save each own their stop, so
// stopping one never stops or restarts another, and the window never waits for a worker.

#include "batch/batch_runner.h"
#include "document/cormensura_doc.h"
#include "document/preview_worker.h"
#include "settings/settings_model.h"
#include "test_environment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace orm {
namespace {

// Records the run from its worker thread.
class RunLog : public IBatchReporter {
  public:
    void Report(const BatchReport& report) override {
        std::lock_guard lock(mutex);
        codes.push_back(static_cast<int>(report.code));
    }
    void Progress(int) override { progressed.store(true); }
    void Finished(const BatchRunSummary& s) override {
        std::lock_guard lock(mutex);
        summary = s;
        finished.store(true);
    }

    std::mutex mutex;
    std::vector<int> codes;
    BatchRunSummary summary;
    std::atomic<bool> progressed{false};
    std::atomic<bool> finished{false};
};

class Jobs : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QDir(dir_.path()).mkpath(QStringLiteral("out")));
        settings_.SetPrompt(&prompt_);
    }

    // What the frame does: the document's failures go to the prompt.
    void Report(CORMensuraDoc& doc) {
        QObject::connect(&doc, &CORMensuraDoc::failed,
                         [this](const QString& message) { prompt_.Warning(message); });
    }
    QString Pattern(int w, int h) {
        const QString path = dir_.filePath(QStringLiteral("p_%1x%2.png").arg(w).arg(h));
        EXPECT_TRUE(test::PatternImage(w, h).save(path));
        return path;
    }
    // A batch of one slow own-algorithm enlargement.
    std::unique_ptr<BatchRunner> SlowBatch(RunLog& log) {
        BatchEntry e;
        e.path = Pattern(500, 400);
        e.width = 2000;
        e.height = 1600;
        e.algorithm = ResizeAlgorithm::AdvancedNatural;
        BatchRunOptions options;
        options.settings.outputFolder = dir_.filePath(QStringLiteral("out")) + QLatin1Char('/');
        return std::make_unique<BatchRunner>(std::vector<BatchEntry>{e}, options, log);
    }
    // Opens a picture and asks for a slow own-algorithm preview of its whole output.
    void SlowPreview(CORMensuraDoc& doc, int outputWidth) {
        ASSERT_TRUE(doc.Open(Pattern(600, 400)));
        ResizeSettings s = settings_.Resize();
        s.width = outputWidth;
        s.height = outputWidth * 2 / 3;
        s.algorithm = ResizeAlgorithm::AdvancedNatural;
        s.correction = int32_t(CorrectionMode::None);
        settings_.SetResize(s);
        doc.RequestPreview(AreaForVisible({0, 0, s.width, s.height}, 0, doc.Mapping()));
    }

    QTemporaryDir dir_;
    ScriptedPrompt prompt_;
    SettingsModel settings_;
};

TEST_F(Jobs, ReplacingPreviewsNeverStopsABatchRun) {
    RunLog log;
    auto run = SlowBatch(log);
    run->Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.progressed.load(); }, 20000));

    CORMensuraDoc doc(settings_);

    Report(doc);
    QSignalSpy ready(&doc, &CORMensuraDoc::previewReady);
    SlowPreview(doc, 1800);
    SlowPreview(doc, 1500);  // replaces (and stops) the first preview job
    ASSERT_TRUE(ready.wait(60000));

    run->Wait();
    EXPECT_FALSE(log.summary.cancelled);
    EXPECT_EQ(log.summary.written, 1);
}

TEST_F(Jobs, ACancelledBatchStaysCancelledWhilePreviewsRunAndFinish) {
    RunLog log;
    auto run = SlowBatch(log);
    run->Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.progressed.load(); }, 20000));
    run->Cancel();

    // Preview requests start and replace jobs; none of them may clear the run's Cancel.
    CORMensuraDoc doc(settings_);
    Report(doc);
    QSignalSpy ready(&doc, &CORMensuraDoc::previewReady);
    SlowPreview(doc, 900);
    SlowPreview(doc, 1200);
    run->Wait();
    EXPECT_TRUE(log.summary.cancelled);
    EXPECT_EQ(log.summary.written, 0);
    EXPECT_TRUE(QDir(dir_.filePath(QStringLiteral("out"))).isEmpty());
    // And the preview, untouched by the run's Cancel, completes.
    ASSERT_TRUE(ready.count() > 0 || ready.wait(60000));
    EXPECT_TRUE(doc.Preview().HasResult());
}

TEST_F(Jobs, ResizeAndSaveRunsOnAWorkerAndEscKeepsTheExistingFile) {
    CORMensuraDoc doc(settings_);
    Report(doc);
    ASSERT_TRUE(doc.Open(Pattern(800, 600)));
    ResizeSettings s = settings_.Resize();
    s.width = 3200;
    s.height = 2400;
    s.algorithm = ResizeAlgorithm::AdvancedNatural;
    s.correction = int32_t(CorrectionMode::None);
    settings_.SetResize(s);
    const QString target = dir_.filePath(QStringLiteral("out/kept.png"));
    {
        QFile existing(target);
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("existing");
    }
    QSignalSpy finished(&doc, &CORMensuraDoc::saveFinished);
    QSignalSpy progress(&doc, &CORMensuraDoc::progressChanged);

    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(doc.StartResizeAndSave(target));
    EXPECT_LT(timer.elapsed(), 500) << "the command returns while the worker resizes";
    EXPECT_TRUE(doc.SaveRunning());
    EXPECT_FALSE(doc.StartResizeAndSave(target)) << "one Resize and Save at a time";
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress.count() > 0; }, 20000));
    doc.CancelResizeAndSave();
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_FALSE(finished.at(0).at(0).toBool());
    EXPECT_FALSE(doc.SaveRunning());
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("existing"));
    EXPECT_TRUE(prompt_.messages.isEmpty()) << "a cancel is not a failure";

    // Without Esc the file is written.
    s.width = 1000;
    s.height = 750;
    settings_.SetResize(s);
    ASSERT_TRUE(doc.StartResizeAndSave(target));
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_TRUE(finished.at(1).at(0).toBool());
    EXPECT_EQ(QImage(target).size(), QSize(1000, 750));
}

}  // namespace
}  // namespace orm
