#include "imageio/image_saver.h"

#include "metadata/exif_properties.h"
#include "imageio/gif_writer.h"
#include "imageio/image_file_types.h"
#include "metadata/output_metadata.h"
#include "imageio/safe_file_writer.h"

#include <QBuffer>
#include <QImageWriter>

#include <cmath>
#include <new>

namespace orm {

namespace {

constexpr double kInchPerMetre = 0.0254;
constexpr int kTiffLzw = 1;  // QImageWriter::setCompression for TIFF

bool CarriesExif(const QString& mime) {
    return mime == QLatin1String("image/jpeg") || mime == QLatin1String("image/tiff") ||
           mime == QLatin1String("image/png");
}

QByteArray Encode(const QImage& image, const ImageEncoder& encoder, int jpegQuality) {
    if (encoder.qtFormat.isEmpty())
        return EncodeGif(image);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&buffer, encoder.qtFormat);
    if (encoder.mimeType == QLatin1String("image/jpeg"))
        writer.setQuality(jpegQuality);
    if (encoder.mimeType == QLatin1String("image/tiff"))
        writer.setCompression(kTiffLzw);
    if (!writer.write(image))
        return {};
    return bytes;
}

}  // namespace

QString CantSaveFileMessage(const QString& path) {
    return QStringLiteral("Can't save file %1.").arg(path);
}

namespace {

// Encodes the image with its metadata and writes the file safely; false on any failure, with
// the system's reason in `reason` when writing the file failed.
bool EncodeAndWrite(const QImage& output, const QString& path, const ImageEncoder& encoder,
                    const SaveSource& source, const SaveOptions& options, QString* reason) {
    if (output.isNull())
        return false;
    PropertyItems items;
    if (!source.properties.empty()) {
        OutputProperties props = BuildOutputProperties(source.properties, output.size(), options.dpi);
        if (ShouldRegenerateThumbnail(props.sourceHadThumbnail, source.size))
            SetRegeneratedThumbnail(props.items, output, RegeneratedThumbnailSize(source.size));
        items = std::move(props.items);
        if (encoder.mimeType == QLatin1String("image/tiff"))
            AddThumbnailSizeItems(items);
    }

    QImage image = output;
    const int dotsPerMetre = int(std::lround(options.dpi / kInchPerMetre));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);

    QByteArray bytes = Encode(image, encoder, options.jpegQuality);
    if (bytes.isEmpty())
        return false;
    // The encoder's JFIF density wraps above 65535 dpi and may round to dots per centimetre.
    if (encoder.mimeType == QLatin1String("image/jpeg"))
        SetJfifDensity(bytes, options.dpi);
    if (!items.empty() && CarriesExif(encoder.mimeType))
        WritePropertyItems(bytes, items);  // items it refuses are left out; the picture is kept
    // A TIFF states its resolution as a fraction: write the exact value, not the one rounded
    // through dots per metre.
    if (encoder.mimeType == QLatin1String("image/tiff"))
        SetTiffResolution(bytes, DpiToRational(options.dpi));
    return WriteFileSafely(path, bytes, reason);
}

}  // namespace

bool SaveImage(const QImage& output, const QString& path, const SaveSource& source,
               const SaveOptions& options, QString* error) {
    if (error)
        error->clear();
    const QString mime = MimeTypeForOutputPath(path);
    if (mime.isEmpty())
        return false;
    const ImageEncoder encoder = FindEncoderForMime(mime);
    if (encoder.index < 0)
        return false;
    bool written = false;
    QString reason;
    try {
        written = EncodeAndWrite(output, path, encoder, source, options, &reason);
    } catch (const std::bad_alloc&) {
        written = false;
        reason = QStringLiteral("Not enough memory.");
    }
    if (!written && error) {
        *error = CantSaveFileMessage(path);
        if (!reason.isEmpty())
            *error += QLatin1Char('\n') + reason;
    }
    return written;
}

bool SaveImage(const QImage& output, const QString& path, const SourceImage& source,
               const SaveOptions& options, QString* error) {
    return SaveImage(output, path, SaveSource{source.image.size(), source.properties}, options, error);
}

}  // namespace orm
