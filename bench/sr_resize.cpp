// Resizes PPM images through the engine for bench/sr_quality, one job per line on stdin:
//   ALGORITHM CENTRED WIDTH HEIGHT IN.ppm OUT.ppm
// (CENTRED: 1 for centred sampling of the own algorithms, 0 for the documented grid). Prints
// "ok" or "error ..." per job. The channels are resized independently and identically, so the
// RGB order of a PPM needs no swapping.

#include "engine/algorithm.h"
#include "engine/resize_image.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

using orm::engine::BgrImage;

bool ReadPpm(const std::string& path, BgrImage& image) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    if (!(in >> magic >> w >> h >> maxval) || magic != "P6" || maxval != 255 || w <= 0 || h <= 0)
        return false;
    in.get();  // the single whitespace before the pixels
    image = BgrImage(w, h);
    for (int y = 0; y < h; ++y)
        if (!in.read(reinterpret_cast<char*>(image.Row(y)), std::streamsize(w) * 3))
            return false;
    return true;
}

bool WritePpm(const std::string& path, const BgrImage& image) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.Width() << " " << image.Height() << "\n255\n";
    for (int y = 0; y < image.Height(); ++y)
        out.write(reinterpret_cast<const char*>(image.Row(y)), std::streamsize(image.Width()) * 3);
    return bool(out);
}

}  // namespace

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream job(line);
        int algorithm = 0, centred = 0, w = 0, h = 0;
        std::string in, out;
        if (!(job >> algorithm >> centred >> w >> h >> in >> out)) {
            std::cout << "error bad job" << std::endl;
            continue;
        }
        BgrImage source;
        const auto a = orm::engine::AlgorithmFromIndex(algorithm);
        if (!a || !ReadPpm(in, source)) {
            std::cout << "error cannot read " << in << std::endl;
            continue;
        }
        const auto sampling =
            centred != 0 ? orm::engine::Sampling::Centred : orm::engine::Sampling::Documented;
        orm::engine::ResizeOutcome r =
            orm::engine::ResizeImage(source.View(), w, h, *a, false, nullptr, sampling);
        if (r.status != orm::engine::ResizeStatus::Ok || !WritePpm(out, r.image))
            std::cout << "error resize " << in << std::endl;
        else
            std::cout << "ok" << std::endl;
    }
    return 0;
}
