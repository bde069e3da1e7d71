#pragma once
// Encoding an output beyond the plain encoder: the file-size limit (the highest quality that
// fits, for the encoders whose quality sets the size), and the input file copied as it is when
// the output has its type.

#include "imageio/image_saver.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace orm {

// A limit on the size of each output file; 0: none.
struct OutputSizeLimit {
    qint64 maxBytes = 0;
    int highestQuality = 100;  // the search's upper quality (1..100)
    bool Active() const { return maxBytes > 0; }
    bool operator==(const OutputSizeLimit&) const = default;
};

// Whether the encoder's quality sets the size of an output file (JPEG, WebP), by its extension.
bool QualitySetsSize(const QString& path);

struct EncodedOutput {
    QByteArray bytes;       // the file; empty on failure or when it cannot fit
    QString error;          // EncodeImageFile's message on failure
    QString note;           // what was left out of the written file (EncodeImageFile)
    int quality = 0;        // the quality the size limit chose (0: no search)
    bool tooLarge = false;  // even quality 1 is larger than the limit (bytes empty)
    qint64 lowestSize = 0;  // then: its size at quality 1
};

// EncodeImageFile, within the limit when one is set and the output's type takes it; other types
// are encoded as usual (the caller may warn).
EncodedOutput EncodeOutputFile(QImage image, const QString& path, const SaveSource& source,
                               const SaveOptions& options, const OutputSizeLimit& limit);

// "No quality fits 10 KB: quality 1 gives 14 KB".
QString TooLargeReason(qint64 lowestSize, qint64 maxBytes);
// The warning for an output whose type has no quality to shrink it by.
QString LimitNotAppliedWarning(const QString& path);

// The input file's bytes when its content is of the type the output path names (a JPEG for a
// .jpg output, ...), so it can be copied as it is; empty otherwise or when it cannot be read.
QByteArray SameTypeInputBytes(const QString& input, const QString& output);

}  // namespace orm
