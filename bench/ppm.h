#pragma once
// Reading the benchmarks' test photos.

#include "engine/pixel_view.h"

#include <fstream>
#include <string>
#include <vector>

namespace orm::bench {

// A binary PPM (P6, maxval 255) as BGR; an empty image when the file is not one.
inline engine::BgrImage ReadPpm(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    in >> magic >> w >> h >> maxval;
    in.get();
    if (!in || magic != "P6" || maxval != 255 || w <= 0 || h <= 0 || w > 100000 || h > 100000)
        return {};
    engine::BgrImage img(w, h);
    std::vector<unsigned char> row(std::size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        if (!in.read(reinterpret_cast<char*>(row.data()), std::streamsize(row.size())))
            return {};
        unsigned char* out = img.Row(y);
        for (int x = 0; x < w; ++x) {
            out[3 * x] = row[3 * x + 2];
            out[3 * x + 1] = row[3 * x + 1];
            out[3 * x + 2] = row[3 * x];
        }
    }
    return img;
}

}  // namespace orm::bench
