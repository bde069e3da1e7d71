#include "pipeline/quality_search.h"

#include <algorithm>

namespace orm {

QualitySearchResult FindQualityForSize(qint64 maxBytes, int highestQuality,
                                       const EncodeAtQuality& encode) {
    QualitySearchResult result;
    // Each try answers "does quality q fit?"; the answer sought is the highest q that does, or
    // none. The highest quality is tried first, then the range below it is halved: 1 + 7 tries
    // tell 100 qualities and "none" apart (2^7 = 128 >= 100).
    int low = 1;
    int high = std::clamp(highestQuality, 1, 100);
    bool first = true;
    while (low <= high && result.encodes < kMaxQualitySearchEncodes) {
        const int q = first ? high : low + (high - low) / 2;
        first = false;
        QString error;
        QByteArray bytes = encode(q, &error);
        ++result.encodes;
        if (bytes.isEmpty()) {
            result.error = error.isEmpty() ? QStringLiteral("the encoder failed") : error;
            result.quality = 0;
            result.bytes.clear();
            return result;
        }
        if (bytes.size() <= maxBytes) {
            result.quality = q;
            result.bytes = std::move(bytes);
            low = q + 1;
        } else {
            if (q == 1)
                result.lowestSize = bytes.size();
            high = q - 1;
        }
    }
    return result;
}

}  // namespace orm
