// The browser on a folder of 10 000 image files: ReadFolder (listing, sorting, handing the list
// to the builder) and one full repaint of the view, with every thumbnail cached (the folder shown
// again). Repaints are measured with the pictures decoded already (the same place painted again)
// and with every cell new (a page scrolled per repaint, so each cell decodes its thumbnail).
//
//   browser_bench [--benchmark_...]      (offscreen unless QT_QPA_PLATFORM says otherwise)

#include "browser/palette_item.h"
#include "browser/thumbnail_cache.h"
#include "browser/thumbnail_codec.h"
#include "browser/thumbs_browser.h"
#include "browser/thumbs_builder_threads.h"
#include "settings/settings_model.h"
#include "ui/thumbs_view.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <memory>

namespace {

constexpr int kFiles = 10000;

// A folder of 10 000 named files and a cache holding a final thumbnail of each.
struct Corpus {
    QTemporaryDir dir;
    std::unique_ptr<orm::ThumbnailCache> cache;
    std::unique_ptr<orm::CThumbsBuilderThreads> builder;
    orm::SettingsModel settings;

    Corpus() {
        const QString folder = dir.filePath(QStringLiteral("photos"));
        QDir().mkpath(folder);
        QImage picture(220, 165, QImage::Format_BGR888);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixelColor(x, y, QColor(x, y, (x * y) & 255));
        orm::CPaletteItemImg model;
        model.imageWidth = 4000;
        model.imageHeight = 3000;
        model.bitsPerPixel = 24;
        model.thumbWidth = 220;
        model.thumbHeight = 165;
        model.isFinal = 1;
        model.jpegData = orm::CompressPicture(picture);

        orm::ThumbnailCacheLimits limits;
        limits.evictAt = 2 * kFiles;  // the whole folder stays in memory
        cache =
            std::make_unique<orm::ThumbnailCache>(dir.filePath(QStringLiteral("cache")), limits);
        const QByteArray bytes(2000, 'x');
        auto access = cache->Lock();
        for (int i = 0; i < kFiles; ++i) {
            const QString path =
                folder + QStringLiteral("/IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            file.close();
            const int64_t time = 1700000000 + (i * 7919) % kFiles;
            utimbuf times{time, time};
            ::utime(path.toLocal8Bit().constData(), &times);
            auto thumb = orm::CopyThumbnail(model, time);
            thumb->ageTime = int64_t(std::time(nullptr));  // young enough for the start-up clean-up
            access->SetAt(path, std::move(thumb));
        }
    }
    QString Folder() const { return dir.filePath(QStringLiteral("photos")); }
    orm::CThumbsBuilderThreads& Builder() {
        if (!builder)
            builder = std::make_unique<orm::CThumbsBuilderThreads>(*cache);
        return *builder;
    }
};

Corpus& TheCorpus() {
    static Corpus corpus;
    return corpus;
}

void BM_ReadFolder(benchmark::State& state) {
    Corpus& c = TheCorpus();
    orm::BrowserSettings sorted = c.settings.Browser();
    sorted.sortKey = int(state.range(0));
    c.settings.SetBrowser(sorted);
    orm::CThumbsView view;
    view.resize(1100, 760);
    orm::CImgThumbsBrowser browser(c.Builder(), c.settings);
    view.SetBrowser(&browser);
    browser.SetLocation(c.Folder());
    for (auto _ : state) {
        browser.ReadFolder();
        benchmark::DoNotOptimize(browser.Count());
    }
    if (browser.Count() != kFiles)
        state.SkipWithError("not every file listed");
    c.Builder().WaitIdle(std::chrono::seconds(60));
    state.SetLabel(state.range(0) == 0 ? "by name" : "by date");
}
BENCHMARK(BM_ReadFolder)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_FullRepaint(benchmark::State& state) {
    Corpus& c = TheCorpus();
    orm::BrowserSettings sorted = c.settings.Browser();
    sorted.sortKey = 0;
    c.settings.SetBrowser(sorted);
    const bool scrolling = state.range(0) != 0;
    orm::CThumbsView view;
    view.resize(1100, 760);
    orm::CImgThumbsBrowser browser(c.Builder(), c.settings);
    view.SetBrowser(&browser);
    browser.SetLocation(c.Folder());
    browser.ReadFolder();
    c.Builder().WaitIdle(std::chrono::seconds(60));
    view.show();
    QImage target(view.viewport()->size(), QImage::Format_RGB32);
    int page = 0;
    const int pageHeight = view.viewport()->height();
    const int total = browser.ScrollSize().height();
    view.ScrollTo({0, total / 2});
    for (auto _ : state) {
        if (scrolling) {
            view.ScrollTo({0, (page++ * pageHeight) % (total - pageHeight)});
        }
        view.viewport()->render(&target);
    }
    if (qEnvironmentVariableIsSet("BROWSER_BENCH_SAVE"))
        target.save(qEnvironmentVariable("BROWSER_BENCH_SAVE") + QString::number(state.range(0)) +
                    ".png");
    state.counters["scrollY"] = view.ScrollPosition().y();
    state.SetLabel(scrolling ? "a page further each time" : "the same place again");
}
BENCHMARK(BM_FullRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    TheCorpus().builder.reset();
    benchmark::Shutdown();
    return 0;
}
