// Resize and Save of a transparent source: PNG keeps the alpha (resized and at the source's own
// size), JPEG shows the pixels over white.

#include "document/resize_save_job.h"
#include "imageio/image_loader.h"

#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace orm {
namespace {

TEST(ResizeSaveAlpha, PngKeepsAlphaAndJpegShowsItOverWhite) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage logo(30, 20, QImage::Format_ARGB32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            logo.setPixel(x, y, x < 15 ? qRgba(0, 0, 255, 255) : qRgba(0, 255, 0, 0));
    ASSERT_TRUE(logo.save(dir.filePath("logo.png")));
    auto source = LoadSourceImage(dir.filePath("logo.png"));
    ASSERT_TRUE(source);
    ResizeSaveJob job;
    job.source = std::make_shared<const SourceImage>(std::move(*source));
    job.settings.algorithm = engine::ResizeAlgorithm::SmartNatural;
    engine::StopToken stop;
    for (const QSize size : {QSize(75, 50), QSize(30, 20)})
        for (const char* ext : {"png", "jpg"}) {
            job.settings.width = size.width();
            job.settings.height = size.height();
            job.path = dir.filePath(QString("out%1.%2").arg(size.width()).arg(ext));
            const ResizeSaveOutcome outcome = RunResizeSaveJob(job, stop);
            ASSERT_EQ(outcome.status, ResizeSaveOutcome::Status::Written)
                << outcome.message.toStdString();
            const QImage back =
                QImageReader(job.path).read().convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(back.size(), size);
            const QRgb right = back.pixel(size.width() - 1, size.height() / 2);
            if (QLatin1String(ext) == QLatin1String("png")) {
                EXPECT_EQ(qAlpha(right), 0) << job.path.toStdString();
                EXPECT_EQ(back.pixel(0, 0), qRgba(0, 0, 255, 255));
            } else {  // white, not the hidden green
                EXPECT_GE(qMin(qRed(right), qGreen(right)), 235) << job.path.toStdString();
                EXPECT_GE(qBlue(right), 235);
            }
        }
}

}  // namespace
}  // namespace orm
