// One resize of a photo per process, timed inside: bench/own_vs_pillow.py runs it turn about with
// Pillow's LANCZOS on the same photo.
//   photo_resize IMAGE.ppm ALGORITHM PERCENT [THREADS] [REPEATS]
// Prints the wall-clock seconds of each resize on one line (the first with memory fresh from the
// system, as a command-line resize has it; later ones reuse the engine's kept blocks), and the
// processor seconds of each (all threads) on a second line, and a checksum of the last result's
// pixels (FNV-1a) on a third, to compare builds. THREADS 0 (the default) is the machine's count.

#include "engine/parallel.h"
#include "engine/resize_image.h"
#include "ppm.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

int main(int argc, char** argv) {
    using namespace orm::engine;
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s IMAGE.ppm ALGORITHM PERCENT [THREADS] [REPEATS]\n",
                     argv[0]);
        return 2;
    }
    const BgrImage photo = orm::bench::ReadPpm(argv[1]);
    const auto algorithm = AlgorithmFromIndex(std::atoi(argv[2]));
    const int percent = std::atoi(argv[3]);
    const int threads = argc > 4 ? std::atoi(argv[4]) : 0;
    const int repeats = argc > 5 ? std::atoi(argv[5]) : 1;
    if (photo.IsNull() || !algorithm || percent <= 0 || threads < 0 || repeats <= 0) {
        std::fprintf(stderr, "photo_resize: bad image or arguments\n");
        return 2;
    }
    SetEngineThreadCount(threads);
    const int dw = int(std::int64_t(photo.Width()) * percent / 100);
    const int dh = int(std::int64_t(photo.Height()) * percent / 100);
    std::vector<double> wall, cpu;
    std::uint64_t checksum = 0;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t start_cpu = std::clock();
        const ResizeOutcome out = ResizeImage(photo.View(), dw, dh, *algorithm, false, nullptr);
        cpu.push_back(double(std::clock() - start_cpu) / CLOCKS_PER_SEC);
        wall.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (out.status != ResizeStatus::Ok) {
            std::fprintf(stderr, "photo_resize: the resize failed\n");
            return 1;
        }
        checksum = 14695981039346656037ull;
        for (int y = 0; y < out.image.Height(); ++y) {
            const std::uint8_t* row = out.image.Row(y);
            for (std::ptrdiff_t b = 0; b < out.image.Stride(); ++b)
                checksum = (checksum ^ row[b]) * 1099511628211ull;
        }
    }
    for (const std::vector<double>* line : {&wall, &cpu}) {
        for (std::size_t i = 0; i < line->size(); ++i)
            std::printf("%s%.4f", i == 0 ? "" : " ", (*line)[i]);
        std::printf("\n");
    }
    std::printf("%016llx\n", static_cast<unsigned long long>(checksum));
    return 0;
}
