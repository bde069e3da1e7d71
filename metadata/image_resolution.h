#pragma once
// The resolution an image file states, exactly as stated: JPEG (JFIF density, else the EXIF
// resolution) and TIFF in dots per inch or per centimetre, PNG (pHYs) and BMP in dots per metre.
// A file that states none reports 96 x 96 dots per inch.

#include "metadata/byte_source.h"

namespace orm {

constexpr double kDefaultDpi = 96.0;

struct ImageResolution {
    double dpiX = kDefaultDpi;
    double dpiY = kDefaultDpi;
};

ImageResolution ReadImageResolution(const ByteSource& file);

}  // namespace orm
