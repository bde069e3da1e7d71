#include "jpeg_test_util.h"

#include <stdlib.h>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <stdexcept>

namespace jpegtest {

Image MakePattern(int width, int height, int channels) {
    Image img{width, height, channels, std::vector<uint8_t>(size_t(width) * height * channels)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = img.pixels.data() + (size_t(y) * width + x) * channels;
            // Features of a few dozen pixels whatever the image size, like a photo's.
            const double fx = double(x % 96) / 96;
            const double fy = double(y % 80) / 80;
            const double wave = 0.5 + 0.5 * std::sin(6.0 * fx + 4.0 * fy);
            const bool square = ((x / 16) + (y / 16)) % 5 == 0;
            p[0] = uint8_t(std::lround(255 * (0.2 + 0.6 * fx * wave)) + (square ? 30 : 0));
            if (channels == 3) {
                p[1] = uint8_t(std::lround(255 * (0.15 + 0.7 * fy)));
                p[2] = uint8_t(std::lround(255 * (0.8 - 0.6 * wave * fy)));
            }
        }
    return img;
}

Image MakeNoise(int width, int height, int channels, uint32_t seed) {
    Image img{width, height, channels, std::vector<uint8_t>(size_t(width) * height * channels)};
    std::mt19937 rng(seed);
    for (uint8_t& b : img.pixels) b = uint8_t(rng() & 0xFF);
    return img;
}

double Psnr(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height || a.channels != b.channels)
        throw std::runtime_error("PSNR of images of different shapes");
    double se = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const double d = double(a.pixels[i]) - b.pixels[i];
        se += d * d;
    }
    if (se == 0)
        return std::numeric_limits<double>::infinity();
    return 10.0 * std::log10(255.0 * 255.0 * double(a.pixels.size()) / se);
}

Image FirstChannel(const Image& rgb) {
    Image g{rgb.width, rgb.height, 1, {}};
    for (size_t i = 0; i < rgb.pixels.size(); i += size_t(rgb.channels))
        g.pixels.push_back(rgb.pixels[i]);
    return g;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f),
                                std::istreambuf_iterator<char>());
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f);
}

std::optional<Image> ParsePnm(const std::vector<uint8_t>& b) {
    if (b.size() < 2 || b[0] != 'P' || (b[1] != '5' && b[1] != '6'))
        return std::nullopt;
    size_t pos = 2;
    long v[3] = {};
    for (long& n : v) {
        while (pos < b.size() && (std::isspace(b[pos]) || b[pos] == '#')) {
            if (b[pos] == '#')
                while (pos < b.size() && b[pos] != '\n') ++pos;
            else
                ++pos;
        }
        if (pos >= b.size() || !std::isdigit(b[pos]))
            return std::nullopt;
        while (pos < b.size() && std::isdigit(b[pos])) n = n * 10 + (b[pos++] - '0');
    }
    ++pos;
    Image img{int(v[0]), int(v[1]), b[1] == '6' ? 3 : 1, {}};
    const size_t need = size_t(img.width) * img.height * img.channels;
    if (v[2] != 255 || b.size() < pos + need)
        return std::nullopt;
    img.pixels.assign(b.begin() + long(pos), b.begin() + long(pos + need));
    return img;
}

std::optional<Image> ReadPnm(const std::string& path) {
    return ParsePnm(ReadFile(path));
}

bool WritePnm(const std::string& path, const Image& image) {
    std::string header = std::string("P") + (image.channels == 3 ? "6" : "5") + "\n" +
                         std::to_string(image.width) + " " + std::to_string(image.height) +
                         "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), image.pixels.begin(), image.pixels.end());
    return WriteFile(path, bytes);
}

Image Decode(const std::vector<uint8_t>& jpeg, MiniJpeg::ImageInfo* info) {
    MiniJpeg::DecodedImage d = MiniJpeg::DecodeMemory(jpeg.data(), jpeg.size());
    if (info)
        *info = d.info;
    return Image{d.info.width, d.info.height, d.info.bytesPerPixel(), std::move(d.pixels)};
}

std::vector<uint8_t> Encode(const Image& image, MiniJpeg::CoderParams params) {
    params.width = image.width;
    params.height = image.height;
    params.colour = image.channels == 3;
    return MiniJpeg::EncodeMemory(image.pixels.data(), image.stride(), params);
}

SplitStream Split(const std::vector<uint8_t>& j) {
    if (j.size() < 4 || j[0] != 0xFF || j[1] != 0xD8)
        throw std::runtime_error("not a JPEG stream");
    SplitStream s;
    size_t pos = 2;
    while (pos + 4 <= j.size()) {
        if (j[pos] != 0xFF)
            throw std::runtime_error("expected a marker");
        const uint8_t marker = j[pos + 1];
        const size_t len = size_t(j[pos + 2]) << 8 | j[pos + 3];
        if (pos + 2 + len > j.size())
            throw std::runtime_error("segment runs past the end");
        s.segments.push_back({marker, std::vector<uint8_t>(j.begin() + long(pos + 4),
                                                           j.begin() + long(pos + 2 + len))});
        pos += 2 + len;
        if (marker == 0xDA)
            break;
    }
    s.tail.assign(j.begin() + long(pos), j.end());
    return s;
}

std::vector<uint8_t> Join(const SplitStream& s) {
    std::vector<uint8_t> out = {0xFF, 0xD8};
    for (const Segment& seg : s.segments) {
        const size_t len = seg.payload.size() + 2;
        out.insert(out.end(), {0xFF, seg.marker, uint8_t(len >> 8), uint8_t(len & 0xFF)});
        out.insert(out.end(), seg.payload.begin(), seg.payload.end());
    }
    out.insert(out.end(), s.tail.begin(), s.tail.end());
    return out;
}

std::vector<const Segment*> SplitStream::find(uint8_t marker) const {
    std::vector<const Segment*> found;
    for (const Segment& s : segments)
        if (s.marker == marker)
            found.push_back(&s);
    return found;
}

int SplitStream::indexOf(uint8_t marker) const {
    for (size_t i = 0; i < segments.size(); ++i)
        if (segments[i].marker == marker)
            return int(i);
    return -1;
}

std::vector<uint8_t> AdobePayload(uint8_t transform) {
    return {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, transform};
}

bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool Run(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "minijpeg-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("cannot make a temporary folder");
    dir_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string CorpusDir() {
    const std::string dir = ORM_CORPUS_DIR;
    if (dir.empty() || !std::filesystem::exists(dir + "/MANIFEST.md"))
        return {};
    return dir;
}

}  // namespace jpegtest
