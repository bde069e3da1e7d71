#pragma once
// The highest encoder quality whose file fits a size limit: a bisection over the qualities
// 1..highest, at most kMaxQualitySearchEncodes encodes. It works with any encoder that takes a
// quality (JPEG, WebP) and assumes only that a higher quality does not make a smaller file,
// which holds closely enough for these encoders: the quality found fits, and the one above it
// did not when it was tried.

#include <QByteArray>
#include <QString>

#include <functional>

namespace orm {

inline constexpr int kMaxQualitySearchEncodes = 8;

// Encodes the output at a quality (1..100); empty with a reason in error on failure.
using EncodeAtQuality = std::function<QByteArray(int quality, QString* error)>;

struct QualitySearchResult {
    int quality = 0;        // the quality found; 0 when none fits (or the encoder failed)
    QByteArray bytes;       // the file at that quality
    qint64 lowestSize = 0;  // when none fits: the size at quality 1
    int encodes = 0;
    QString error;  // the encoder's failure, which ends the search
    bool Fits() const { return quality > 0; }
};

// highestQuality is clamped to 1..100. Qualities are tried from the highest down by halving the
// range that is left, so a file that fits at the highest quality takes one encode.
QualitySearchResult FindQualityForSize(qint64 maxBytes, int highestQuality,
                                       const EncodeAtQuality& encode);

}  // namespace orm
