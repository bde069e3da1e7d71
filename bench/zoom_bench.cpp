// The cost of the pictures a zoomed-out preview draws on the user-interface thread, for a source
// of the given size enlarged or reduced to several outputs seen whole (Fit) in a window:
//   exact   the whole output drawn at 100 % with a standard mode, then reduced for the screen
//   draft   the source drawn straight at the screen size (above the exact budget)
//   compare the source at the output size with nearest neighbour, reduced for the screen
//
//   build/bench/zoom_bench [--source WxH] [--window WxH] [--mode N] [--runs N]
// Prints milliseconds (best of the runs) per output size.

#include "document/preview_compare.h"
#include "document/preview_render.h"
#include "document/preview_zoom.h"

#include <QGuiApplication>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;

double BestMs(int runs, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return best;
}

bool ParseSize(const QString& text, int& w, int& h) {
    const QStringList parts = text.split(QLatin1Char('x'));
    bool a = false, b = false;
    if (parts.size() == 2) {
        w = parts[0].toInt(&a);
        h = parts[1].toInt(&b);
    }
    return a && b && w > 0 && h > 0;
}

QImage Pattern(int w, int h) {
    QImage image(w, h, QImage::Format_BGR888);
    for (int y = 0; y < h; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < w; ++x) {
            row[3 * x] = uchar(x * 7 + y * 3);
            row[3 * x + 1] = uchar((x * 13) ^ (y * 5));
            row[3 * x + 2] = uchar(x + y * 11);
        }
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int sw = 3000, sh = 2000, cw = 1600, ch = 1000, mode = 4, runs = 3;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i + 1 < args.size(); i += 2) {
        bool ok = true;
        if (args[i] == QLatin1String("--source"))
            ok = ParseSize(args[i + 1], sw, sh);
        else if (args[i] == QLatin1String("--window"))
            ok = ParseSize(args[i + 1], cw, ch);
        else if (args[i] == QLatin1String("--mode"))
            mode = std::clamp(args[i + 1].toInt(), 0, 4);
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr,
                         "usage: zoom_bench [--source WxH] [--window WxH] [--mode N] "
                         "[--runs N]\n");
            return 2;
        }
    }
    const QImage source = Pattern(sw, sh);
    std::printf("source %dx%d, window %dx%d, mode %d, best of %d (ms)\n", sw, sh, cw, ch, mode,
                runs);
    std::printf("%-12s %8s %10s %10s %10s\n", "output", "MP", "exact", "draft", "compare");
    for (const double factor : {0.5, 1.0, 1.5, 2.0, 3.0}) {
        const int ow = int(sw * factor), oh = int(sh * factor);
        const orm::OutputMapping mapping(sw, sh, ow, oh, false);
        const orm::ZoomRatio ratio = orm::RatioOf({true, 100}, ow, oh, cw, ch);
        const orm::PreviewArea area = orm::AreaForZoomedView({0, 0, cw, ch}, ratio, mapping);
        const orm::PixelRect screen = ratio.ToScreen(area.target);
        const double exact = BestMs(runs, [&] {
            const QImage full =
                orm::RenderStandardArea(source, area, orm::engine::StandardMode(mode));
            orm::ScaleForDisplay(full, area.target, ratio);
        });
        const double draft = BestMs(runs, [&] {
            orm::RenderStandardArea(source, {area.source, screen},
                                    orm::engine::StandardMode::HighQualityBilinear);
        });
        const double compare = BestMs(runs, [&] {
            orm::ScaleForDisplay(orm::RenderNearestOutputArea(source, mapping, area.target),
                                 area.target, ratio);
        });
        std::printf("%5dx%-6d %8.1f %10.1f %10.1f %10.1f%s\n", ow, oh, ow * double(oh) / 1e6, exact,
                    draft, compare, orm::FitsExactBudget(area) ? "" : "  (draft shown)");
    }
    return 0;
}
