// MiniJpeg throughput in megapixels per second.
//   jpeg_bench [benchmark options]   with ORM_BENCH_PPM=photo.ppm and ORM_BENCH_JPEG=photo.jpg
// Without the variables a synthetic 1000 x 750 image (and its own encoding) is used.

#include "jpeg/minijpeg.h"
#include "netpbm.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

// A developer's input file, named in the environment.
bool ReadBytes(const char* path, std::vector<uint8_t>& bytes) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}

struct Inputs {
    minijpeg::NetpbmImage image;
    std::vector<uint8_t> jpeg;
};

minijpeg::NetpbmImage SyntheticPhoto() {
    minijpeg::NetpbmImage img{1000, 750, 3, std::vector<uint8_t>(1000 * 750 * 3)};
    uint32_t noise = 12345;
    for (int y = 0; y < 750; ++y)
        for (int x = 0; x < 1000; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 28) - 8;
            uint8_t* p = img.pixels.data() + (size_t(y) * 1000 + x) * 3;
            p[0] = uint8_t(std::clamp(int(128 + 90 * std::sin(x * 0.013 + y * 0.007)) + n, 0, 255));
            p[1] = uint8_t(std::clamp(int(110 + 80 * std::cos(x * 0.021 - y * 0.011)) + n, 0, 255));
            p[2] = uint8_t(std::clamp(int(100 + 70 * std::sin(x * 0.005 * y * 0.003)) + n, 0, 255));
        }
    return img;
}

const Inputs& GetInputs() {
    static const Inputs inputs = [] {
        Inputs in;
        std::string why;
        std::vector<uint8_t> bytes;
        const char* ppm = std::getenv("ORM_BENCH_PPM");
        if (ppm) {
            if (!ReadBytes(ppm, bytes) || !minijpeg::ParseNetpbm(bytes, in.image, why))
                throw std::runtime_error(std::string("cannot read ") + ppm);
        } else {
            in.image = SyntheticPhoto();
        }
        const char* jpeg = std::getenv("ORM_BENCH_JPEG");
        if (jpeg) {
            if (!ReadBytes(jpeg, in.jpeg))
                throw std::runtime_error(std::string("cannot read ") + jpeg);
        } else {
            MiniJpeg::CoderParams p;
            p.width = in.image.width;
            p.height = in.image.height;
            p.colour = in.image.channels == 3;
            in.jpeg = MiniJpeg::EncodeMemory(in.image.pixels.data(),
                                             size_t(in.image.width) * in.image.channels, p);
        }
        return in;
    }();
    return inputs;
}

void BM_Decode(benchmark::State& state) {
    const Inputs& in = GetInputs();
    int64_t pixels = 0;
    for (auto _ : state) {
        MiniJpeg::MemorySource src(in.jpeg.data(), in.jpeg.size());
        uint16_t w = 0, h = 0;
        auto dec = MiniJpeg::CreateDecoder(src, &w, &h);
        for (int y = 0; y < h; ++y) benchmark::DoNotOptimize(dec->ReadLine());
        pixels += int64_t(w) * h;
    }
    state.counters["MP/s"] = benchmark::Counter(double(pixels) / 1e6, benchmark::Counter::kIsRate);
}

void BM_Encode(benchmark::State& state) {
    const Inputs& in = GetInputs();
    MiniJpeg::CoderParams p;
    p.width = in.image.width;
    p.height = in.image.height;
    p.colour = in.image.channels == 3;
    p.quality = 90;
    int64_t pixels = 0;
    for (auto _ : state) {
        auto out = MiniJpeg::EncodeMemory(in.image.pixels.data(),
                                          size_t(in.image.width) * in.image.channels, p);
        benchmark::DoNotOptimize(out.data());
        pixels += int64_t(p.width) * p.height;
    }
    state.counters["MP/s"] = benchmark::Counter(double(pixels) / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
