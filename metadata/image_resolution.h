#pragma once
// The resolution an image file states, exactly as stated: JPEG (JFIF density, else the EXIF
// resolution) and TIFF in dots per inch or per centimetre, PNG (pHYs) and BMP in dots per metre.
// A file that states none reports 96 x 96 dots per inch.

#include "metadata/byte_source.h"

namespace orm {

constexpr double kDefaultDpi = 96.0;

// Resolutions a file may state; others (0xFFFFFFFF dots per metre, 4e9 dpi, infinity) are
// taken as absent, since encoders fail on them or write nonsense.
constexpr double kMinFileDpi = 1.0;
constexpr double kMaxFileDpi = 100000.0;

struct ImageResolution {
    double dpiX = kDefaultDpi;
    double dpiY = kDefaultDpi;
    // The file stated a resolution outside kMinFileDpi..kMaxFileDpi; the default is used instead.
    bool outOfRange = false;
};

ImageResolution ReadImageResolution(const ByteSource& file);

// Dots per inch of a resolution stored as whole dots per metre (PNG, BMP). Writers store the
// nearest whole number, so the resolution with the fewest decimals (at most two) that is stored
// as this number is the one meant: 3937 is 100 dpi, not 99.9998.
double DpiFromDotsPerMetre(uint32_t dotsPerMetre);

}  // namespace orm
