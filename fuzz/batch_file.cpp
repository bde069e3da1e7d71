// Fuzz target for the .mnb batch file reader: any bytes give a clear status; what decodes has
// every value in range and encodes back to a file that decodes to the same entries.

#include "batch/batch_file.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orm;
    if (size > 1 << 16)
        return 0;
    const BatchFileResult r = DecodeBatchFile(std::span(data, size));
    if (!r.ok()) {
        if (!r.entries.empty())
            std::abort();
        return 0;
    }
    for (const BatchEntry& e : r.entries) {
        if (AlgorithmIndex(e.algorithm) < 0 || AlgorithmIndex(e.algorithm) >= kAlgorithmCount ||
            e.correction < 0 || e.correction >= kCorrectionModeCount || e.width < 0 ||
            e.width > kMaxPixels || e.height < 0 || e.height > kMaxPixels ||
            !std::isfinite(e.dpi) || e.selected != 0)
            std::abort();
    }
    const QByteArray again = EncodeBatchFile(r.entries);
    const BatchFileResult back = DecodeBatchFile(
        std::span(reinterpret_cast<const uint8_t*>(again.constData()), size_t(again.size())));
    if (!back.ok() || back.entries != r.entries)
        std::abort();
    return 0;
}
