// Fuzz target for the .mns settings file reader: any bytes either give "Wrong file!" and leave
// the record alone, or give a record whose values are all in range.

#include "settings/settings_file.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orm;
    if (size > 4096)
        return 0;
    ResizeSettings s;
    s.width = 1234;
    const ResizeSettings before = s;
    const auto status = DecodeSettingsFile(std::span(data, size), s);
    if (status != SettingsFileStatus::Ok) {
        if (!(s == before))
            std::abort();
        return 0;
    }
    if (s.width < kMinPixels || s.width > kMaxPixels || s.height < kMinPixels ||
        s.height > kMaxPixels || !std::isfinite(s.dpi) || s.dpi < kMinDpi || s.dpi > kMaxDpi ||
        s.sizeUnit < 0 || s.sizeUnit >= kSizeUnitCount || s.resolutionUnit < 0 ||
        s.resolutionUnit >= kResolutionUnitCount || int(s.algorithm) < 0 ||
        int(s.algorithm) >= kAlgorithmCount || s.correction < 0 ||
        s.correction >= kCorrectionModeCount)
        std::abort();
    // What was read writes back and reads again to the same record.
    const auto again = EncodeSettingsFile(s);
    ResizeSettings t;
    if (DecodeSettingsFile(again, t) != SettingsFileStatus::Ok || !(t == s))
        std::abort();
    return 0;
}
