// Engine benchmarks on a 1000 x 750 RGB image: every stage, and algorithms 0-7 reducing to 25%,
// enlarging 2x and 4x. Run: build/bench/engine_bench [--benchmark_filter=...]

#include "engine/own_algorithms.h"
#include "engine/plane_filters.h"
#include "engine/resample_plane.h"
#include "engine/resize_image.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace orm::engine {
namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 750;

// A photo-like test image: smooth gradients, edges and a little noise.
const BgrImage& Photo() {
    static const BgrImage image = [] {
        BgrImage img(kWidth, kHeight);
        std::mt19937 rng(42);
        std::normal_distribution<double> noise(0, 4);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (int c = 0; c < 3; ++c) {
                    double v = 128 + 90 * std::sin(x * 0.013 * (c + 1)) * std::cos(y * 0.021);
                    if (((x / 97) + (y / 61)) % 3 == 0)
                        v = 40 + 30 * c;
                    img.Row(y)[3 * x + c] =
                        std::uint8_t(std::clamp(v + noise(rng), 0.0, 255.0));
                }
        return img;
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

void BM_Resize(benchmark::State& state) {
    const int algorithm = int(state.range(0));
    const double scale = state.range(1) / 100.0;
    const int dw = int(kWidth * scale), dh = int(kHeight * scale);
    for (auto _ : state) {
        ResizeOutcome out = ResizeImage(Photo().View(), dw, dh, algorithm, false, nullptr);
        benchmark::DoNotOptimize(out.image.Row(0));
    }
    state.SetLabel(AlgorithmName(algorithm));
    SetPixels(state, double(dw) * dh);
}
BENCHMARK(BM_Resize)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6, 7}, {25, 200, 400}})
    ->ArgNames({"algorithm", "percent"})
    ->Unit(benchmark::kMillisecond);

void BM_ResamplePlane(benchmark::State& state) {
    const bool lanczos = state.range(0) != 0;
    ImagePlane dst(2 * kWidth, 2 * kHeight);
    for (auto _ : state)
        ResamplePlane(dst, PhotoPlane(), lanczos ? 3 : 0, lanczos ? 1 : 0.5,
                      lanczos ? KernelType::Lanczos : KernelType::Cubic, nullptr);
    state.SetLabel(lanczos ? "Lanczos 3, 2x" : "Catmull-Rom, 2x");
    SetPixels(state, 4.0 * kWidth * kHeight);
}
BENCHMARK(BM_ResamplePlane)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BoxReduce(benchmark::State& state) {
    ImagePlane rows(kWidth / 4, kHeight), both(kWidth / 4, kHeight / 4);
    for (auto _ : state) {
        BoxReduceRows(rows, PhotoPlane(), nullptr);
        BoxReduceColumns(both, rows, nullptr);
    }
    SetPixels(state, double(kWidth) * kHeight);
}
BENCHMARK(BM_BoxReduce)->Unit(benchmark::kMillisecond);

void BM_SharpenPlane(benchmark::State& state) {
    ImagePlane p = PhotoPlane();
    for (auto _ : state)
        SharpenPlane(p, 25, nullptr);
    SetPixels(state, double(kWidth) * kHeight);
}
BENCHMARK(BM_SharpenPlane)->Unit(benchmark::kMillisecond);

void BM_GaussianBlurPlane(benchmark::State& state) {
    ImagePlane p = PhotoPlane();
    for (auto _ : state)
        GaussianBlurPlane(p, 10, 10, nullptr, nullptr);
    SetPixels(state, double(kWidth) * kHeight);
}
BENCHMARK(BM_GaussianBlurPlane)->Unit(benchmark::kMillisecond);

void BM_RangeStretchPlane(benchmark::State& state) {
    const int window = int(state.range(0));
    ImagePlane p = PhotoPlane();
    for (auto _ : state)
        RangeStretchPlane(p, PhotoPlane(), window, window, 2, 2, StretchStrength(40), nullptr);
    SetPixels(state, double(kWidth) * kHeight);
}
BENCHMARK(BM_RangeStretchPlane)->Arg(3)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orm::engine

BENCHMARK_MAIN();
