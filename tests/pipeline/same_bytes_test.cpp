// The window's Resize and Save and a batch run of one entry go through one pipeline: for every
// written format, opaque and transparent sources, resized and at their own size, they write
// byte-identical files. Also the same-size rule both now share: nothing is resampled and the
// source's own pixel format is kept.

#include "batch/batch_runner.h"
#include "document/resize_save_job.h"
#include "imageio/image_loader.h"
#include "imageio/output_formats.h"
#include "pipeline/resize_job.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace orm {
namespace {

class Silent : public IBatchReporter {
  public:
    void Report(const BatchReport& r) override {
        if (r.IsError())
            failure = r.reason.isEmpty() ? QStringLiteral("code %1").arg(int(r.code)) : r.reason;
    }
    void Finished(const BatchRunSummary&) override {}
    QString failure;
};

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A 37 x 23 picture with a gradient; with alpha, its left third is half transparent and one
// column fully transparent.
QString WriteSource(const QString& path, bool alpha) {
    QImage image(37, 23, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int a = !alpha ? 255 : x == 5 ? 0 : x < 12 ? 128 : 255;
            image.setPixelColor(x, y, QColor(x * 6, y * 10, (x * y) % 256, a));
        }
    EXPECT_TRUE(image.save(path));
    return path;
}

class SameBytes : public ::testing::Test {
  protected:
    // What the window writes: the document's job with the source it opened.
    QByteArray Window(const QString& input, const ResizeTarget& target, const QString& name) {
        QString error;
        std::optional<SourceImage> source = LoadSourceImage(input, &error);
        EXPECT_TRUE(source) << error.toStdString();
        ResizeSaveJob job;
        job.source = std::make_shared<const SourceImage>(std::move(*source));
        static_cast<ResizeTarget&>(job.settings) = target;
        job.settings.jpegQuality = 80;
        job.path = dir_.filePath(QStringLiteral("window-") + name);
        engine::StopToken stop;
        const ResizeSaveOutcome outcome = RunResizeSaveJob(job, stop);
        EXPECT_EQ(outcome.status, ResizeSaveOutcome::Status::Written)
            << outcome.message.toStdString();
        return Bytes(job.path);
    }

    // What a batch run of one entry writes to a named output file.
    QByteArray Batch(const QString& input, const ResizeTarget& target, const QString& name) {
        BatchEntry entry;
        static_cast<ResizeTarget&>(entry) = target;
        entry.path = input;
        BatchRunOptions options;
        options.settings.jpegQuality = 80;
        options.outputFile = dir_.filePath(QStringLiteral("batch-") + name);
        Silent reporter;
        BatchRunner runner({entry}, options, reporter);
        runner.Start();
        runner.Wait();
        EXPECT_TRUE(reporter.failure.isEmpty()) << reporter.failure.toStdString();
        return Bytes(options.outputFile);
    }

    QTemporaryDir dir_;
};

TEST_F(SameBytes, WindowAndBatchWriteIdenticalFilesForEveryFormat) {
    for (const bool alpha : {false, true}) {
        const QString input = WriteSource(dir_.filePath(alpha ? "alpha.png" : "opaque.png"), alpha);
        for (const QSize size : {QSize(37, 23), QSize(61, 17), QSize(11, 9)}) {
            for (const auto algorithm : {engine::ResizeAlgorithm::HighQualityBicubic,
                                         engine::ResizeAlgorithm::SmartNatural}) {
                for (const OutputFormat& format : OutputFormatTable()) {
                    ResizeTarget target;
                    target.width = size.width();
                    target.height = size.height();
                    target.dpi = 150;
                    target.algorithm = algorithm;
                    const QString name = QStringLiteral("%1-%2x%3-%4%5")
                                             .arg(alpha)
                                             .arg(size.width())
                                             .arg(size.height())
                                             .arg(engine::AlgorithmIndex(algorithm))
                                             .arg(WrittenExtension(format));
                    const QByteArray window = Window(input, target, name);
                    ASSERT_FALSE(window.isEmpty()) << name.toStdString();
                    EXPECT_EQ(window, Batch(input, target, name)) << name.toStdString();
                }
            }
        }
    }
}

TEST_F(SameBytes, AtTheSourcesOwnSizeNothingIsResampledAndGreyStaysGrey) {
    // A grey source at its own size, with an algorithm that would change pixels if it ran.
    QImage grey(30, 20, QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) grey.scanLine(y)[x] = uchar((x * 37 + y * 91) % 256);
    const QString input = dir_.filePath("grey.png");
    ASSERT_TRUE(grey.save(input));
    ResizeTarget target;
    target.width = 30;
    target.height = 20;
    target.algorithm = engine::ResizeAlgorithm::AdvancedNatural;
    const QByteArray written = Batch(input, target, "grey.png");
    EXPECT_EQ(written, Window(input, target, "grey.png"));
    const QImage back = QImage::fromData(written);
    EXPECT_EQ(back.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(back, grey);
}

TEST(ResizeJob, RefusesTargetsWithoutASizeAndStopsBetweenStages) {
    auto source = std::make_shared<SourceImage>();
    source->image = QImage(8, 8, QImage::Format_BGR888);
    source->image.fill(Qt::gray);
    ResizeJob job;
    job.source = source;
    job.outputPath = QStringLiteral("out.png");
    job.target.width = 0;
    engine::StopToken stop;
    EXPECT_EQ(RunResizeJob(job, stop, nullptr).status, ResizeJobStatus::NoSize);
    job.target.width = 4;
    job.target.height = 4;
    EXPECT_EQ(RunResizeJob(job, stop, nullptr).status, ResizeJobStatus::Encoded);
    stop.RequestStop();
    EXPECT_EQ(RunResizeJob(job, stop, nullptr).status, ResizeJobStatus::Cancelled);
    job.stopBetweenStages = false;  // a standard mode's resize that has finished is written
    EXPECT_EQ(RunResizeJob(job, stop, nullptr).status, ResizeJobStatus::Encoded);
}

}  // namespace
}  // namespace orm
