#include "pipeline/output_encoding.h"

#include "imageio/file_reader.h"
#include "imageio/image_loader.h"
#include "imageio/output_formats.h"
#include "pipeline/quality_search.h"

namespace orm {

bool QualitySetsSize(const QString& path) {
    const OutputFormat* format = OutputFormatForPath(path);
    return format && format->quality != QualityUse::None;
}

EncodedOutput EncodeOutputFile(QImage image, const QString& path, const SaveSource& source,
                               const SaveOptions& options, const OutputSizeLimit& limit) {
    EncodedOutput out;
    if (!limit.Active() || !QualitySetsSize(path)) {
        out.bytes = EncodeImageFile(std::move(image), path, source, options, &out.error, &out.note);
        return out;
    }
    // The image is shared by the tries; each encode copies it only where it sets the resolution.
    const QualitySearchResult found =
        FindQualityForSize(limit.maxBytes, limit.highestQuality, [&](int quality, QString* error) {
            SaveOptions at = options;
            at.jpegQuality = quality;
            return EncodeImageFile(image, path, source, at, error, &out.note);
        });
    if (!found.error.isEmpty()) {
        out.error = found.error;
        return out;
    }
    if (!found.Fits()) {
        out.tooLarge = true;
        out.lowestSize = found.lowestSize;
        return out;
    }
    out.bytes = found.bytes;
    out.quality = found.quality;
    return out;
}

namespace {

// 14 KB, 1.5 MB, 900 bytes: one decimal at most, in the C locale.
QString ShortSizeText(qint64 bytes) {
    if (bytes < 1024)
        return QStringLiteral("%1 bytes").arg(bytes);
    const bool mega = bytes >= qint64(1) << 20;
    const double value = double(bytes) / (mega ? 1048576.0 : 1024.0);
    QString text = QString::number(value, 'f', 1);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text + (mega ? QStringLiteral(" MB") : QStringLiteral(" KB"));
}

}  // namespace

QString TooLargeReason(qint64 lowestSize, qint64 maxBytes) {
    return QStringLiteral("No quality fits %1: quality 1 gives %2")
        .arg(ShortSizeText(maxBytes), ShortSizeText(lowestSize));
}

QString LimitNotAppliedWarning(const QString& path) {
    return QStringLiteral(
               "warning: %1: the file size limit applies to JPEG and WebP files only; written "
               "without it")
        .arg(path);
}

QByteArray SameTypeInputBytes(const QString& input, const QString& output) {
    const OutputFormat* outputType = OutputFormatForPath(output);
    if (!outputType)
        return {};
    QByteArray bytes;
    if (!ReadWholeFile(input, bytes))
        return {};
    const std::optional<ImageHeader> header = ReadImageHeader(bytes);
    if (!header)
        return {};
    if (OutputFormatForQtName(header->type.constData()) != outputType)
        return {};
    return bytes;
}

}  // namespace orm
