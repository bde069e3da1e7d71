#pragma once
// Binary PPM (P6) and PGM (P5) images with 8-bit samples, for the minijpeg tool.

#include <cstdint>
#include <string>
#include <vector>

namespace minijpeg {

struct NetpbmImage {
    int width = 0;
    int height = 0;
    int channels = 0;             // 3 (P6) or 1 (P5)
    std::vector<uint8_t> pixels;  // rows of width x channels bytes
};

// Parses P6/P5 with a maximum value of 255 (comments allowed). Returns false with a reason.
bool ParseNetpbm(const std::vector<uint8_t>& bytes, NetpbmImage& image, std::string& error);
std::vector<uint8_t> FormatNetpbm(const NetpbmImage& image);

}  // namespace minijpeg
