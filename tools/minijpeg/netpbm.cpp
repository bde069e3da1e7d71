#include "netpbm.h"

#include <cstdio>

namespace minijpeg {

namespace {

// Reads the next header number, skipping white space and '#' comments.
bool headerNumber(const std::vector<uint8_t>& b, size_t& pos, long& value) {
    for (;;) {
        while (pos < b.size() &&
               (b[pos] == ' ' || b[pos] == '\t' || b[pos] == '\n' || b[pos] == '\r'))
            ++pos;
        if (pos < b.size() && b[pos] == '#') {
            while (pos < b.size() && b[pos] != '\n') ++pos;
            continue;
        }
        break;
    }
    if (pos >= b.size() || b[pos] < '0' || b[pos] > '9')
        return false;
    value = 0;
    while (pos < b.size() && b[pos] >= '0' && b[pos] <= '9') {
        value = value * 10 + (b[pos++] - '0');
        if (value > 1000000)
            return false;
    }
    return true;
}

}  // namespace

bool ParseNetpbm(const std::vector<uint8_t>& bytes, NetpbmImage& image, std::string& error) {
    if (bytes.size() < 2 || bytes[0] != 'P' || (bytes[1] != '6' && bytes[1] != '5')) {
        error = "not a binary PPM (P6) or PGM (P5) file";
        return false;
    }
    size_t pos = 2;
    long w = 0, h = 0, maxval = 0;
    if (!headerNumber(bytes, pos, w) || !headerNumber(bytes, pos, h) ||
        !headerNumber(bytes, pos, maxval) || pos >= bytes.size()) {
        error = "bad PPM/PGM header";
        return false;
    }
    ++pos;  // the single white-space byte before the samples
    if (w < 1 || h < 1 || maxval != 255) {
        error = "unsupported PPM/PGM: needs a non-empty image with 8-bit samples";
        return false;
    }
    image.width = int(w);
    image.height = int(h);
    image.channels = bytes[1] == '6' ? 3 : 1;
    const size_t need = size_t(w) * size_t(h) * size_t(image.channels);
    if (bytes.size() - pos < need) {
        error = "PPM/PGM data is truncated";
        return false;
    }
    image.pixels.assign(bytes.begin() + long(pos), bytes.begin() + long(pos + need));
    return true;
}

std::vector<uint8_t> FormatNetpbm(const NetpbmImage& image) {
    char header[64];
    const int n = std::snprintf(header, sizeof header, "P%c\n%d %d\n255\n",
                                image.channels == 3 ? '6' : '5', image.width, image.height);
    std::vector<uint8_t> out(header, header + n);
    out.insert(out.end(), image.pixels.begin(), image.pixels.end());
    return out;
}

}  // namespace minijpeg
