// Engine benchmarks.
//   BM_Resize, BM_<stage>: a 1000 x 750 photo-like image, every algorithm and stage;
//   BM_ResizeWithAlpha: the same with an alpha channel.
//   BM_Photo: a 13 MP photo (4224 x 3168; the P6 PPM named by ORM_BENCH_IMAGE, else a synthetic
//   one of that size), algorithms 2 and 4-7 reducing to 25% and enlarging 2x, on 1 and 2 threads,
//   with the peak resident memory of the run ("peak_MB", the high-water mark reset before it).
//   BM_PhotoFirst: algorithms 5 and 7 at 2x, each resize with memory fresh from the system.
//   BM_Orient: a 24 MP 24-bit photo (6000 x 4000) turned upright by an EXIF orientation (3: a
//   half turn, 6: a quarter turn), on 1 and 2 threads.
// Times are wall-clock; "CPU" is the whole process (all threads).
// Run: build/bench/engine_bench [--benchmark_filter=...]; bench/compare_peers.sh puts BM_Photo
// beside other libraries' resizers.

#include "engine/alpha_resize.h"
#include "engine/orientation.h"
#include "engine/own_algorithms.h"
#include "engine/parallel.h"
#include "engine/plane_filters.h"
#include "engine/resample_plane.h"
#include "engine/resize_image.h"
#include "ppm.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace orm::engine {
namespace {

ResizeAlgorithm Alg(int index) {
    return static_cast<ResizeAlgorithm>(index);
}

constexpr int kWidth = 1000;
constexpr int kHeight = 750;

// A photo-like test image: smooth gradients, edges and a little noise.
BgrImage SyntheticPhoto(int width, int height) {
    BgrImage img(width, height);
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0, 4);
    const double fx = 1000.0 / width, fy = 750.0 / height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                double v = 128 + 90 * std::sin(x * fx * 0.013 * (c + 1)) * std::cos(y * fy * 0.021);
                if ((int(x * fx / 97) + int(y * fy / 61)) % 3 == 0)
                    v = 40 + 30 * c;
                img.Row(y)[3 * x + c] = std::uint8_t(std::clamp(v + noise(rng), 0.0, 255.0));
            }
    return img;
}

const BgrImage& Photo() {
    static const BgrImage image = SyntheticPhoto(kWidth, kHeight);
    return image;
}

const BgrImage& Photo13() {
    static const BgrImage image = [] {
        if (const char* path = std::getenv("ORM_BENCH_IMAGE")) {
            BgrImage img = bench::ReadPpm(path);
            if (!img.IsNull())
                return img;
            std::fprintf(
                stderr, "ORM_BENCH_IMAGE: %s is not a binary PPM; using a synthetic photo\n", path);
        }
        return SyntheticPhoto(4224, 3168);
    }();
    return image;
}

const ImagePlane& PhotoPlane() {
    static const ImagePlane plane = [] {
        ImagePlane p;
        ExtractPlane(Photo().View().data, Photo().Stride(), 1, 3, kWidth, kHeight, nullptr, p);
        return p;
    }();
    return plane;
}

void SetPixels(benchmark::State& state, double pixels) {
    state.counters["MP/s"] =
        benchmark::Counter(pixels * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

// Resident-memory high-water mark in MB since the last ResetPeakMemory (Linux; 0 elsewhere).
double PeakMemoryMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}
void ResetPeakMemory() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

// Restores the machine's thread count when a benchmark that set another ends.
struct ThreadScope {
    explicit ThreadScope(int threads) { SetEngineThreadCount(threads); }
    ~ThreadScope() { SetEngineThreadCount(0); }
};

void BM_Resize(benchmark::State& state) {
    const int algorithm = int(state.range(0));
    const double scale = state.range(1) / 100.0;
    const int dw = int(kWidth * scale), dh = int(kHeight * scale);
    for (auto _ : state) {
        ResizeOutcome out = ResizeImage(Photo().View(), dw, dh, Alg(algorithm), false, nullptr);
        benchmark::DoNotOptimize(out.image.Row(0));
    }
    state.SetLabel(AlgorithmName(Alg(algorithm)));
    SetPixels(state, double(dw) * dh);
}
BENCHMARK(BM_Resize)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6, 7}, {25, 200, 400}})
    ->ArgNames({"algorithm", "percent"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// BM_ResizeCentred: the own algorithms with centred sampling, beside BM_Resize's documented grid.
void BM_ResizeCentred(benchmark::State& state) {
    const int algorithm = int(state.range(0));
    const double scale = state.range(1) / 100.0;
    const int dw = int(kWidth * scale), dh = int(kHeight * scale);
    for (auto _ : state) {
        ResizeOutcome out =
            ResizeImage(Photo().View(), dw, dh, Alg(algorithm), false, nullptr, Sampling::Centred);
        benchmark::DoNotOptimize(out.image.Row(0));
    }
    state.SetLabel(std::string(AlgorithmName(Alg(algorithm))) + ", centred");
    SetPixels(state, double(dw) * dh);
}
BENCHMARK(BM_ResizeCentred)
    ->ArgsProduct({{5, 6, 7}, {25, 200, 400}})
    ->ArgNames({"algorithm", "percent"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// BM_ResizeWithAlpha: the same image with alpha (a soft-edged disc over a transparent ground),
// colours weighted by alpha; beside BM_Resize it shows what the fourth (own algorithms: fifth)
// channel costs.
const QuadImage& PhotoWithAlpha() {
    static const QuadImage image = [] {
        QuadImage q;
        q.width = kWidth;
        q.height = kHeight;
        q.pixels.resize(std::size_t(kWidth) * kHeight * kQuadChannels);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                std::uint8_t* p = q.Row(y) + kQuadChannels * x;
                std::memcpy(p, Photo().Row(y) + 3 * x, 3);
                const double r = std::hypot(x - kWidth / 2.0, y - kHeight / 2.0);
                p[3] = std::uint8_t(std::clamp((330.0 - r) * 8, 0.0, 255.0));
            }
        return q;
    }();
    return image;
}

void BM_ResizeWithAlpha(benchmark::State& state) {
    const int algorithm = int(state.range(0));
    const double scale = state.range(1) / 100.0;
    const int dw = int(kWidth * scale), dh = int(kHeight * scale);
    const QuadImage& src = PhotoWithAlpha();
    for (auto _ : state) {
        QuadResizeOutcome out = ResizeWithAlpha({src.pixels.data(), kWidth, kHeight, src.Stride()},
                                                dw, dh, Alg(algorithm), false, nullptr);
        benchmark::DoNotOptimize(out.image.pixels.data());
    }
    state.SetLabel(AlgorithmName(Alg(algorithm)));
    SetPixels(state, double(dw) * dh);
}
BENCHMARK(BM_ResizeWithAlpha)
    ->ArgsProduct({{0, 4, 5, 6, 7}, {25, 200}})
    ->ArgNames({"algorithm", "percent"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// BM_Photo: resizes one after another, as a batch makes them (an untimed resize first, so the
// engine's kept memory blocks are in use). BM_PhotoFirst: every resize as the first of a process,
// its memory fresh from the system (on a virtual machine that also returns freed memory to its
// host, the first writes into it cost more than the arithmetic of some stages).
void PhotoResizes(benchmark::State& state, bool first) {
    const int algorithm = int(state.range(0));
    const double scale = state.range(1) / 100.0;
    const BgrImage& photo = Photo13();
    const int dw = int(photo.Width() * scale), dh = int(photo.Height() * scale);
    ThreadScope threads(int(state.range(2)));
    auto resize = [&] {
        ResizeOutcome out = ResizeImage(photo.View(), dw, dh, Alg(algorithm), false, nullptr);
        benchmark::DoNotOptimize(out.image.Row(0));
    };
    // The blocks other benchmarks left are given back first, so peak_MB is this resize's own.
    ReleaseKeptBlocks();
    if (!first)
        resize();
    ResetPeakMemory();
    for (auto _ : state) {
        if (first) {
            state.PauseTiming();
            ReleaseKeptBlocks();
            state.ResumeTiming();
        }
        resize();
    }
    state.counters["peak_MB"] = PeakMemoryMb();
    state.SetLabel(AlgorithmName(Alg(algorithm)));
    SetPixels(state, double(dw) * dh);
}
void BM_Photo(benchmark::State& state) {
    PhotoResizes(state, false);
}
void BM_PhotoFirst(benchmark::State& state) {
    PhotoResizes(state, true);
}
BENCHMARK(BM_Photo)
    ->ArgsProduct({{2, 4, 5, 6, 7}, {25, 200}, {1, 2}})
    ->ArgNames({"algorithm", "percent", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(2);
BENCHMARK(BM_PhotoFirst)
    ->ArgsProduct({{5, 7}, {200}, {2}})
    ->ArgNames({"algorithm", "percent", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(2);

void BM_ResamplePlane(benchmark::State& state) {
    const bool lanczos = state.range(0) != 0;
    ThreadScope threads(int(state.range(1)));
    ImagePlane dst(2 * kWidth, 2 * kHeight);
    for (auto _ : state)
        ResamplePlane(dst, PhotoPlane(), lanczos ? 3 : 0, lanczos ? 1 : 0.5,
                      lanczos ? KernelType::Lanczos : KernelType::Cubic, nullptr);
    state.SetLabel(lanczos ? "Lanczos 3, 2x" : "Catmull-Rom, 2x");
    SetPixels(state, 4.0 * kWidth * kHeight);
}
BENCHMARK(BM_ResamplePlane)
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->ArgNames({"lanczos", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_BoxReduce(benchmark::State& state) {
    ThreadScope threads(int(state.range(0)));
    ImagePlane rows(kWidth / 4, kHeight), both(kWidth / 4, kHeight / 4);
    for (auto _ : state) {
        BoxReduceRows(rows, PhotoPlane(), nullptr);
        BoxReduceColumns(both, rows, nullptr);
    }
    SetPixels(state, double(kWidth) * kHeight);
}

void BM_SharpenPlane(benchmark::State& state) {
    ThreadScope threads(int(state.range(0)));
    ImagePlane p = PhotoPlane();
    for (auto _ : state) SharpenPlane(p, 25, nullptr);
    SetPixels(state, double(kWidth) * kHeight);
}

void BM_GaussianBlurPlane(benchmark::State& state) {
    ThreadScope threads(int(state.range(0)));
    ImagePlane p = PhotoPlane();
    for (auto _ : state) GaussianBlurPlane(p, 10, 10, nullptr, nullptr);
    SetPixels(state, double(kWidth) * kHeight);
}

// The blur at the size of a 13 MP photo's 2x enlargement (8448 x 6336), where the lines no longer
// fit in the caches.
void BM_GaussianBlurLarge(benchmark::State& state) {
    ThreadScope threads(int(state.range(0)));
    ImagePlane p(8448, 6336);
    for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x) p.At(x, y) = PhotoPlane().At(x % kWidth, y % kHeight);
    for (auto _ : state) GaussianBlurPlane(p, 10, 10, nullptr, nullptr);
    SetPixels(state, double(p.Width()) * p.Height());
}
BENCHMARK(BM_GaussianBlurLarge)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(2);

void BM_RangeStretchPlane(benchmark::State& state) {
    const int window = int(state.range(0));
    ThreadScope threads(int(state.range(1)));
    ImagePlane p = PhotoPlane();
    for (auto _ : state)
        RangeStretchPlane(p, PhotoPlane(), window, window, 2, 2, StretchStrength(40), nullptr);
    SetPixels(state, double(kWidth) * kHeight);
}

#define ORM_STAGE_BENCH(name)           \
    BENCHMARK(name)                     \
        ->Arg(1)                        \
        ->Arg(2)                        \
        ->ArgName("threads")            \
        ->Unit(benchmark::kMillisecond) \
        ->UseRealTime()                 \
        ->MeasureProcessCPUTime()
ORM_STAGE_BENCH(BM_BoxReduce);
ORM_STAGE_BENCH(BM_SharpenPlane);
ORM_STAGE_BENCH(BM_GaussianBlurPlane);
BENCHMARK(BM_RangeStretchPlane)
    ->ArgsProduct({{3, 8}, {1, 2}})
    ->ArgNames({"window", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_Orient(benchmark::State& state) {
    const int orientation = int(state.range(0));
    SetEngineThreadCount(int(state.range(1)));
    constexpr int kW = 6000, kH = 4000;
    std::vector<std::uint8_t> stored(std::size_t(kW) * kH * 3, 7), upright(stored.size());
    const ConstByteImage from{stored.data(), kW, kH, kW * 3};
    const bool swap = orientation >= 5;
    const ByteImage to{upright.data(), swap ? kH : kW, swap ? kW : kH, (swap ? kH : kW) * 3};
    for (auto _ : state) {
        OrientPixels(from, to, 3, orientation);
        benchmark::DoNotOptimize(upright.data());
    }
    SetEngineThreadCount(0);
}
BENCHMARK(BM_Orient)
    ->ArgsProduct({{3, 6}, {1, 2}})
    ->ArgNames({"orientation", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace
}  // namespace orm::engine

BENCHMARK_MAIN();
