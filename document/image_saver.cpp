#include "document/image_saver.h"

#include "document/exif_properties.h"
#include "document/gif_writer.h"
#include "document/image_file_types.h"
#include "document/output_metadata.h"
#include "document/safe_file_writer.h"

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

    try {
        if (output.isNull())
            throw std::runtime_error("no image");
        PropertyItems items;
        if (!source.properties.empty()) {
            OutputProperties props = BuildOutputProperties(source.properties, output.size(), options.dpi);
            if (ShouldRegenerateThumbnail(props.sourceHadThumbnail, source.size))
                SetRegeneratedThumbnail(props.items, output, RegeneratedThumbnailSize(source.size));
            items = std::move(props.items);
        }
        // A TIFF states its resolution in its own directory: write it exactly, not rounded
        // through dots per metre.
        if (mime == QLatin1String("image/tiff")) {
            const Rational r = DpiToRational(options.dpi);
            PropertyItems resolution = {MakeRationalItem(kPropXResolution, r.numerator, r.denominator),
                                        MakeRationalItem(kPropYResolution, r.numerator, r.denominator),
                                        MakeShortItem(kPropResolutionUnit, 2)};
            for (PropertyItem& add : resolution) {
                if (!FindItem(items, add.id))
                    items.insert(items.begin(), std::move(add));
            }
        }

        QImage image = output;
        const int dpm = int(std::lround(options.dpi / kInchPerMetre));
        image.setDotsPerMeterX(dpm);
        image.setDotsPerMeterY(dpm);

        QByteArray bytes = Encode(image, encoder, options.jpegQuality);
        if (bytes.isEmpty())
            throw std::runtime_error("encoding failed");
        if (!items.empty() && CarriesExif(mime))
            WritePropertyItems(bytes, items);  // metadata it refuses is left out, the picture is kept
        if (!WriteFileSafely(path, bytes))
            throw std::runtime_error("writing failed");
        return true;
    } catch (const std::exception&) {  // std::bad_alloc included
        if (error)
            *error = CantSaveFileMessage(path);
        return false;
    }
}

bool SaveImage(const QImage& output, const QString& path, const SourceImage& source,
               const SaveOptions& options, QString* error) {
    return SaveImage(output, path, SaveSource{source.image.size(), source.properties}, options, error);
}

}  // namespace orm
