#include "document/rgb_line_source.h"

namespace orm {

// JPEG thumbnails are decoded with the own codec once it is linked in; until then a JPEG
// thumbnail gives no picture.
std::unique_ptr<RgbLineSource> OpenJpegLines(std::span<const uint8_t>) {
    return nullptr;
}

}  // namespace orm
