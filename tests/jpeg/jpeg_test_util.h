#pragma once
// Helpers of the codec tests: images, PSNR, marker segments of a stream, external tools.

#include "jpeg/minijpeg.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jpegtest {

struct Image {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<uint8_t> pixels;

    size_t stride() const { return size_t(width) * channels; }
    const uint8_t* row(int y) const { return pixels.data() + size_t(y) * stride(); }
};

// A smooth colour (or grey) pattern with some edges, deterministic.
Image MakePattern(int width, int height, int channels);
// Uniform noise from a fixed seed.
Image MakeNoise(int width, int height, int channels, uint32_t seed);

// Peak signal-to-noise ratio in dB (infinity when identical); sizes must match.
double Psnr(const Image& a, const Image& b);
// The first channel of an image (a grey reference stored as P6 with R = G = B).
Image FirstChannel(const Image& rgb);

std::optional<Image> ReadPnm(const std::string& path);
std::optional<Image> ParsePnm(const std::vector<uint8_t>& bytes);
bool WritePnm(const std::string& path, const Image& image);
std::vector<uint8_t> ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Decodes with MiniJpeg into an Image (throws MiniJpeg::Error).
Image Decode(const std::vector<uint8_t>& jpeg, MiniJpeg::ImageInfo* info = nullptr);
// Encodes with MiniJpeg.
std::vector<uint8_t> Encode(const Image& image, MiniJpeg::CoderParams params);

// A JPEG stream split into its marker segments; the scan's entropy-coded data and everything
// after it stay in `tail`.
struct Segment {
    uint8_t marker;
    std::vector<uint8_t> payload;  // without the length field
};
struct SplitStream {
    std::vector<Segment> segments;  // from the one after SOI up to and including SOS
    std::vector<uint8_t> tail;      // entropy-coded data, RST markers, EOI, trailing bytes
    std::vector<const Segment*> find(uint8_t marker) const;
    int indexOf(uint8_t marker) const;  // first, or -1
};
SplitStream Split(const std::vector<uint8_t>& jpeg);
std::vector<uint8_t> Join(const SplitStream& s);

// Standard segment bodies.
std::vector<uint8_t> AdobePayload(uint8_t transform);

// External programs (libjpeg-turbo-progs). Empty when the tool is missing.
bool HaveTool(const std::string& name);
// Runs a shell command; true on exit status 0.
bool Run(const std::string& command);

// A fresh temporary folder, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

  private:
    std::string dir_;
};

std::string CorpusDir();  // empty when the corpus is missing

}  // namespace jpegtest
