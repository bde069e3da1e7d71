// Fuzz target for the claim checks: any bytes give an answer without reading out of bounds, a
// claim is never of a negative size, and a JPEG or GIF the checks accept stays accepted with
// more bytes behind it.

#include "imageio/claimed_size_check.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orm;
    if (size > 1 << 16)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<SizeClaim> claim = ReadSizeClaim(bytes);
    if (claim && (claim->width < 0 || claim->height < 0 || claim->minimumBytes < 0))
        std::abort();
    const bool refused = ImplausibleSizeReason(bytes).has_value();
    // Zero bytes behind a JPEG or a GIF never make a claim larger (behind a PNG, a WebP or a
    // TIFF they may complete a chunk or a directory that was cut off, so those are left out).
    const bool walked = bytes.startsWith("\xff\xd8") || bytes.startsWith("GIF8");
    if (!refused && claim && walked && ImplausibleSizeReason(bytes + QByteArray(64, '\0')))
        std::abort();
    return 0;
}
