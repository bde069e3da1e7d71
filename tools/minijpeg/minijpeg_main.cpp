// minijpeg: a developer tool over the own JPEG codec.
//   minijpeg decode IN.jpg OUT.ppm|OUT.pgm
//   minijpeg encode IN.ppm|IN.pgm OUT.jpg [--quality Q] [--422] [--single-dqt] [--dpi N]
// Exit status: 0 success, 1 the codec refused the data ("Jpeg error"), 2 usage, 3 file error.

#include "jpeg/minijpeg.h"
#include "netpbm.h"
#include "tool_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

namespace {

constexpr int kExitJpegError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFile = 3;

int usage() {
    std::fprintf(stderr,
                 "usage: minijpeg decode IN.jpg OUT.ppm|OUT.pgm\n"
                 "       minijpeg encode IN.ppm|IN.pgm OUT.jpg [--quality Q] [--422] "
                 "[--single-dqt] [--dpi N]\n");
    return kExitUsage;
}

const char* unitName(uint8_t code) {
    switch (code) {
        case MiniJpeg::kAspectOnly:
            return "aspect";
        case MiniJpeg::kDotsPerInch:
            return "dpi";
        case MiniJpeg::kDotsPerCm:
            return "dpcm";
        default:
            return "none";
    }
}

int decode(const std::string& in, const std::string& out) {
    std::vector<uint8_t> bytes;
    std::string why;
    if (!minijpeg::ReadFileBytes(in, bytes, why)) {
        std::fprintf(stderr, "minijpeg: cannot read %s: %s\n", in.c_str(), why.c_str());
        return kExitFile;
    }
    MiniJpeg::DecodedImage image;
    try {
        image = MiniJpeg::DecodeMemory(bytes.data(), bytes.size());
    } catch (const MiniJpeg::Error& e) {
        std::fprintf(stderr, "minijpeg: %s: %s\n", e.what(), in.c_str());
        return kExitJpegError;
    }
    const MiniJpeg::ImageInfo& i = image.info;
    std::printf(
        "width %d\nheight %d\ncomponents %d\ndensity unit %d (%s)\n"
        "x density %d\ny density %d\n",
        i.width, i.height, i.colour ? 3 : 1, i.densityUnit, unitName(i.densityUnit), i.xDensity,
        i.yDensity);
    minijpeg::NetpbmImage pnm{i.width, i.height, i.bytesPerPixel(), std::move(image.pixels)};
    if (!minijpeg::WriteFileBytes(out, minijpeg::FormatNetpbm(pnm), why)) {
        std::fprintf(stderr, "minijpeg: cannot write %s: %s\n", out.c_str(), why.c_str());
        return kExitFile;
    }
    return 0;
}

bool parseInt(const char* s, int lo, int hi, int& value) {
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (!*s || *end || v < lo || v > hi)
        return false;
    value = int(v);
    return true;
}

int encode(const std::string& in, const std::string& out, int argc, char** argv) {
    MiniJpeg::CoderParams p;
    for (int a = 0; a < argc; ++a) {
        const std::string opt = argv[a];
        if (opt == "--quality" && a + 1 < argc) {
            if (!parseInt(argv[++a], 1, 100, p.quality))
                return usage();
        } else if (opt == "--422") {
            p.subsample422 = true;
        } else if (opt == "--single-dqt") {
            p.singleQuantSegment = true;
        } else if (opt == "--dpi" && a + 1 < argc) {
            int dpi = 0;
            if (!parseInt(argv[++a], 1, 65535, dpi))
                return usage();
            p.densityUnit = MiniJpeg::kDotsPerInch;
            p.xDensity = p.yDensity = uint16_t(dpi);
        } else {
            return usage();
        }
    }
    std::vector<uint8_t> bytes;
    std::string why;
    if (!minijpeg::ReadFileBytes(in, bytes, why)) {
        std::fprintf(stderr, "minijpeg: cannot read %s: %s\n", in.c_str(), why.c_str());
        return kExitFile;
    }
    minijpeg::NetpbmImage image;
    if (!minijpeg::ParseNetpbm(bytes, image, why)) {
        std::fprintf(stderr, "minijpeg: %s: %s\n", in.c_str(), why.c_str());
        return kExitFile;
    }
    p.width = image.width;
    p.height = image.height;
    p.colour = image.channels == 3;
    std::vector<uint8_t> jpeg;
    try {
        jpeg = MiniJpeg::EncodeMemory(image.pixels.data(), size_t(image.width) * image.channels, p);
    } catch (const MiniJpeg::Error& e) {
        std::fprintf(stderr, "minijpeg: %s: %s\n", e.what(), in.c_str());
        return kExitJpegError;
    }
    if (!minijpeg::WriteFileBytes(out, jpeg, why)) {
        std::fprintf(stderr, "minijpeg: cannot write %s: %s\n", out.c_str(), why.c_str());
        return kExitFile;
    }
    return 0;
}

int run(int argc, char** argv) {
    if (argc < 4)
        return usage();
    const std::string cmd = argv[1];
    if (cmd == "decode" && argc == 4)
        return decode(argv[2], argv[3]);
    if (cmd == "encode")
        return encode(argv[2], argv[3], argc - 4, argv + 4);
    return usage();
}

}  // namespace

int main(int argc, char** argv) {
    // Anything the codec and the files did not foresee ends with a message, never an abort.
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "minijpeg: not enough memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "minijpeg: %s\n", e.what());
    }
    return kExitFile;
}
