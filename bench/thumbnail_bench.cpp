// The thumbnail builder on a folder of images, as the browser uses it: one SetList of every file,
// then waiting until every thumbnail is final. Prints the time until every file has a thumbnail
// (stage 1) and until every thumbnail is final (stage 2), the files per second of each stage, the
// processor time the builder took (its threads together, which the machine's load does not
// inflate the way it does the wall-clock time), the peak memory of the process, the bytes per
// thumbnail of the cache's folder file, and the heap that 3000 cached thumbnails take.
//
//   thumbnail_bench FOLDER [RUNS]     (each run starts with an empty cache)

#include "imageio/image_file_types.h"
#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/thumbnail_loader.h"
#include "thumbnails/thumbs_builder_threads.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <set>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Notes when each file first got a thumbnail.
class FirstThumbnails {
  public:
    explicit FirstThumbnails(Clock::time_point start) : start_(start) {}
    void Update(const QString& path) {
        std::lock_guard lock(mutex_);
        if (seen_.insert(path).second)
            last_ = Clock::now();
    }
    size_t count() {
        std::lock_guard lock(mutex_);
        return seen_.size();
    }
    double SecondsToLast() {
        std::lock_guard lock(mutex_);
        return std::chrono::duration<double>(last_ - start_).count();
    }

  private:
    std::mutex mutex_;
    std::set<QString> seen_;
    Clock::time_point start_;
    Clock::time_point last_;
};

long PeakRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// Processor seconds of the process so far (every thread, user and system).
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Run {
    double stage1Seconds = 0;  // until every file has a thumbnail
    double finalSeconds = 0;   // until every thumbnail is final
    double cpuSeconds = 0;     // processor time until every thumbnail is final
    size_t thumbnails = 0, finals = 0;
    double cacheBytesPerThumbnail = 0;
};

Run BuildOnce(const QStringList& files, std::vector<orm::ThumbnailPtr>* keep) {
    QTemporaryDir cacheDir;
    orm::ThumbnailCache cache(cacheDir.filePath(QStringLiteral("ORIMGBRW_PBN")));
    Run run;
    {
        orm::CThumbsBuilderThreads builder(cache);
        const Clock::time_point start = Clock::now();
        const double cpuStart = CpuSeconds();
        FirstThumbnails first(start);
        // Heard on the builder's threads, as each thumbnail is stored.
        const QMetaObject::Connection firstHeard = QObject::connect(
            &builder, &orm::CThumbsBuilderThreads::thumbnailReady, &builder,
            [&first](const QString& path) { first.Update(path); }, Qt::DirectConnection);
        builder.SetList(files);
        builder.WaitIdle(std::chrono::hours(1));
        run.finalSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        run.cpuSeconds = CpuSeconds() - cpuStart;
        run.stage1Seconds = first.SecondsToLast();
        run.thumbnails = first.count();
        QObject::disconnect(firstHeard);
    }
    auto access = cache.Lock();
    for (const QString& f : files)
        if (const orm::ThumbnailPtr t = access->Find(f)) {
            run.finals += t->isFinal ? 1 : 0;
            if (keep)
                keep->push_back(t);
        }
    access->Save();
    qint64 bytes = 0;
    for (const QFileInfo& f :
         QDir(access->cacheFolder()).entryInfoList({QStringLiteral("FLD*.tmp")}, QDir::Files))
        bytes += f.size();
    run.cacheBytesPerThumbnail = run.finals ? double(bytes) / double(run.finals) : 0;
    return run;
}

// Heap bytes of 3000 cached thumbnails: deep copies of the built ones under photo-like paths.
double MegabytesPer3000(const std::vector<orm::ThumbnailPtr>& built) {
    if (built.empty())
        return 0;
    QTemporaryDir cacheDir;
    orm::ThumbnailCacheLimits limits;
    limits.evictAt = 1 << 30;
    const size_t before = mallinfo2().uordblks;
    {
        orm::CMapStringToObPlus cache(cacheDir.filePath(QStringLiteral("c")), limits);
        for (int i = 0; i < 3000; ++i) {
            auto copy = std::make_shared<orm::CPaletteItemImg>(*built[size_t(i) % built.size()]);
            copy->jpegData = QByteArray(copy->jpegData.constData(), copy->jpegData.size());
            cache.SetAt(QStringLiteral("/home/someone/Pictures/2024/holiday/IMG_%1.JPG")
                            .arg(i, 5, 10, QLatin1Char('0')),
                        std::move(copy));
        }
        const size_t after = mallinfo2().uordblks;
        return double(after - before) / (1024.0 * 1024.0);
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: thumbnail_bench FOLDER [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QDir folder(QString::fromLocal8Bit(argv[1]));
    QStringList files;
    for (const QFileInfo& f : folder.entryInfoList(QDir::Files, QDir::Name))
        if (orm::IsSupportedImage(f.absoluteFilePath()))
            files << f.absoluteFilePath();
    if (files.isEmpty()) {
        std::fprintf(stderr, "thumbnail_bench: no image files in %s\n", argv[1]);
        return 2;
    }
    const double n = double(files.size());
    std::printf("# %d files, %d runs, %d workers per stage\n", int(files.size()), runs,
                orm::ThumbsBuilderOptions::DefaultWorkers());
    std::vector<double> stage1, final, stage2Only, cpuPerFile;
    std::vector<orm::ThumbnailPtr> built;
    Run last;
    for (int r = 0; r < runs; ++r) {
        last = BuildOnce(files, r == 0 ? &built : nullptr);
        std::printf(
            "run %d: every file has a thumbnail after %.3f s, every thumbnail final after %.3f s"
            " (%zu thumbnails, %zu final; %.3f s of processor time)\n",
            r + 1, last.stage1Seconds, last.finalSeconds, last.thumbnails, last.finals,
            last.cpuSeconds);
        stage1.push_back(n / last.stage1Seconds);
        final.push_back(n / last.finalSeconds);
        stage2Only.push_back(n / std::max(1e-9, last.finalSeconds - last.stage1Seconds));
        cpuPerFile.push_back(1000.0 * last.cpuSeconds / n);
    }
    const double memory = MegabytesPer3000(built);
    std::printf("stage 1 (embedded thumbnails): %.1f files/s (median)\n", Median(stage1));
    std::printf("stage 2 (from the full image, after stage 1): %.1f files/s (median)\n",
                Median(stage2Only));
    std::printf("until every thumbnail is final: %.1f files/s (median)\n", Median(final));
    std::printf("processor time: %.1f ms per file (median)\n", Median(cpuPerFile));
    std::printf("peak memory: %.1f MB\n", double(PeakRssKb()) / 1024.0);
    std::printf("cache file: %.0f bytes per thumbnail\n", last.cacheBytesPerThumbnail);
    std::printf("memory of 3000 cached thumbnails: %.1f MB\n", memory);
    std::printf("ours: stage1 %.1f stage2 %.1f final %.1f memory %.1f cpu %.2f\n", Median(stage1),
                Median(stage2Only), Median(final), memory, Median(cpuPerFile));
    return last.finals == size_t(files.size()) ? 0 : 1;
}
