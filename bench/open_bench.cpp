// The time from "Open" to the first exact preview, through the document as the window uses it:
// the file is opened (read, decoded, its metadata read), the settings adopt the image, and the
// area a window of the given size shows is asked for. A standard algorithm draws that area at
// once (as the view does); an own algorithm's area is computed by the document's preview worker,
// and the time runs until its result arrives.
//
//   build/bench/open_bench FILE [--window WxH] [--size WxH] [--algorithm N] [--runs N]
//
// Without --size the output keeps the image's size (what opening does when the size is not
// locked: the preview is a copy of the visible pixels); --size locks that output size instead.
// Prints each run and the best.

#include "document/cormensura_doc.h"
#include "document/preview_geometry.h"
#include "document/preview_render.h"
#include "settings/settings_model.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

bool ParseSize(const QString& text, int& w, int& h) {
    const QStringList parts = text.split(QLatin1Char('x'));
    bool ok1 = false, ok2 = false;
    if (parts.size() == 2) {
        w = parts[0].toInt(&ok1);
        h = parts[1].toInt(&ok2);
    }
    return ok1 && ok2 && w > 0 && h > 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: open_bench FILE [--window WxH] [--size WxH] [--algorithm N] [--runs N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString file;
    int windowW = 1600, windowH = 1000, sizeW = 0, sizeH = 0, algorithm = 4, runs = 3;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == QLatin1String("--window") && ParseSize(value, windowW, windowH))
            ++i;
        else if (a == QLatin1String("--size") && ParseSize(value, sizeW, sizeH))
            ++i;
        else if (a == QLatin1String("--algorithm") && !value.isEmpty())
            algorithm = value.toInt(), ++i;
        else if (a == QLatin1String("--runs") && !value.isEmpty())
            runs = std::max(1, value.toInt()), ++i;
        else if (file.isEmpty() && !a.startsWith(QLatin1String("--")))
            file = a;
        else
            return Usage();
    }
    const auto alg = orm::engine::AlgorithmFromIndex(algorithm);
    if (file.isEmpty() || !alg)
        return Usage();

    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        orm::SettingsModel settings;
        orm::ResizeSettings s = settings.Resize();
        s.algorithm = *alg;
        if (sizeW > 0) {
            s.lockSettings = 1;
            s.correction = static_cast<int32_t>(orm::CorrectionMode::None);
            s.width = sizeW;
            s.height = sizeH;
        }
        settings.SetResize(s);
        orm::CORMensuraDoc doc(settings);

        const Clock::time_point start = Clock::now();
        if (!doc.Open(file)) {
            std::fprintf(stderr, "open_bench: cannot open %s\n", qPrintable(file));
            return 1;
        }
        const Clock::time_point opened = Clock::now();
        const orm::OutputMapping mapping = doc.Mapping();
        const orm::PixelRect visible{0, 0, std::min(windowW, s.width), std::min(windowH, s.height)};
        const orm::PreviewArea area = orm::AreaForVisible(visible, orm::kPreviewMargin, mapping);
        bool shown = false;
        if (orm::engine::IsOwnAlgorithm(*alg)) {
            QEventLoop loop;
            QObject::connect(&doc, &orm::CORMensuraDoc::previewReady, &loop, [&] {
                shown = true;
                loop.quit();
            });
            doc.RequestPreview(area);
            if (doc.Preview().HasResult())
                shown = true;  // served at once (a copy at 1:1)
            else
                loop.exec();
        } else {
            const QImage picture =
                orm::RenderStandardArea(doc.SourcePixels(), area, orm::DrawModeForAlgorithm(*alg));
            shown = !picture.isNull();
        }
        const Clock::time_point previewed = Clock::now();
        if (!shown) {
            std::fprintf(stderr, "open_bench: no preview\n");
            return 1;
        }
        const double total = MsBetween(start, previewed);
        best = std::min(best, total);
        std::printf(
            "run %d: open %.0f ms, first preview %.0f ms later, %.0f ms in all "
            "(%dx%d image, output %dx%d, area %dx%d, %s)\n",
            run + 1, MsBetween(start, opened), MsBetween(opened, previewed), total,
            doc.SourceWidth(), doc.SourceHeight(), s.width, s.height, area.target.width(),
            area.target.height(), orm::engine::AlgorithmName(*alg));
    }
    std::printf("best: %.0f ms from Open to the first exact preview\n", best);
    return 0;
}
