#include "imageio/image_saver.h"

#include "imageio/gif_writer.h"
#include "imageio/output_formats.h"
#include "imageio/png_writer.h"
#include "imageio/safe_file_writer.h"
#include "imageio/transparency.h"
#include "imageio/webp_metadata.h"
#include "metadata/exif_properties.h"
#include "metadata/output_metadata.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>

#include <cmath>
#include <new>

namespace orm {

namespace {

constexpr double kInchPerMetre = 0.0254;
constexpr int kTiffLzw = 1;  // QImageWriter::setCompression for TIFF

// EXIF and the colour profile of a WebP file, written with libwebp's muxer (exiv2 0.27 files the
// profile under the wrong chunk name).
void WriteWebpItems(QByteArray& webp, const PropertyItems& items, QString* note) {
    const PropertyItem* profile = FindItem(items, kPropIccProfile);
    SetWebpMetadata(webp, EncodeExifBlock(items, note), profile ? profile->value : QByteArray());
}

// Qt's TIFF writer stores a 1-bit image as black and white whatever its two colours are; a
// two-colour palette of other colours is written as an 8-bit palette instead.
bool IsBlackAndWhite(const QImage& mono) {
    const QList<QRgb> table = mono.colorTable();
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    return table.size() == 2 &&
           ((table[0] == black && table[1] == white) || (table[0] == white && table[1] == black));
}

// The format's largest side, as its writer would refuse it.
QString TooLargeForFormat(const OutputFormat& format) {
    return QStringLiteral("%1 images are at most %2 pixels wide and high")
        .arg(QLatin1String(format.name))
        .arg(format.maxSide);
}

QByteArray Encode(const QImage& given, const OutputFormat& format, const SaveOptions& options,
                  QString* reason) {
    const int quality = options.jpegQuality;
    // A file without alpha shows transparent pixels over the background (white unless chosen);
    // its encoder would show the colours that lie hidden under them.
    if (!format.keepsAlpha && HasTransparency(given)) {
        const QImage flat = CompositeOver(given, options.background);
        if (flat.isNull()) {
            *reason = QStringLiteral("Not enough memory.");
            return {};
        }
        return Encode(flat, format, options, reason);
    }
    // JPEG's own limit is left to its writer, which words it.
    if (format.maxSide > 0 && format.kind != OutputKind::Jpeg &&
        (given.width() > format.maxSide || given.height() > format.maxSide)) {
        *reason = TooLargeForFormat(format);
        return {};
    }
    if (format.kind == OutputKind::Gif)
        return EncodeGif(given, reason);
    // 24-bit colour as PNG: the fast writer (other formats, kept for same-size copies, go to Qt's).
    if (format.kind == OutputKind::Png && FastPngWriterTakes(given.format()))
        return EncodePng24(given, reason);
    QImage image = given;
    if (format.kind == OutputKind::Tiff &&
        (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB) &&
        !IsBlackAndWhite(image))
        image = image.convertToFormat(QImage::Format_Indexed8);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&buffer, format.qtName);
    if (format.quality != QualityUse::None)
        writer.setQuality(quality);
    if (format.kind == OutputKind::Tiff)
        writer.setCompression(kTiffLzw);
    if (!writer.write(image)) {
        *reason = writer.errorString();
        return {};
    }
    return bytes;
}

}  // namespace

QString CantSaveFileMessage(const QString& path) {
    return QStringLiteral("Can't save file %1.").arg(path);
}

namespace {

// Encodes the image with its metadata; empty on failure, with the reason when one is known.
QByteArray EncodeWithMetadata(QImage image, const OutputFormat& format, const SaveSource& source,
                              const SaveOptions& options, QString* reason, QString* note) {
    const QImage& output = image;
    if (output.isNull())
        return {};
    PropertyItems items;
    if (!source.properties.empty()) {
        OutputProperties props =
            BuildOutputProperties(source.properties, output.size(), options.dpi);
        if (options.strip != MetadataPolicy::All &&
            ShouldRegenerateThumbnail(props.sourceHadThumbnail, source.size))
            SetRegeneratedThumbnail(props.items, output, RegeneratedThumbnailSize(source.size));
        items = std::move(props.items);
        ApplyMetadataPolicy(items, options.strip);
    }
    // A TIFF keeps only what TIFF readers take without a warning; its thumbnail is a page.
    const bool tiff = format.kind == OutputKind::Tiff;
    QImage tiffThumbnail;
    if (tiff) {
        tiffThumbnail = ThumbnailOfItems(items);
        items = TiffOutputItems(items);
    }

    // An image shared with the caller is copied here (Qt detaches it); one passed in alone is not.
    // The source's colour profile is carried byte for byte with the metadata; the encoders must
    // not add one of their own making from a decoded colour space.
    image.setColorSpace(QColorSpace());
    const int dotsPerMetre = int(std::lround(options.dpi / kInchPerMetre));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    if (image.isNull()) {
        *reason = QStringLiteral("Not enough memory.");
        return {};
    }

    QByteArray bytes = Encode(image, format, options, reason);
    if (bytes.isEmpty())
        return {};
    // The encoder's JFIF density wraps above 65535 dpi and may round to dots per centimetre.
    if (format.kind == OutputKind::Jpeg)
        SetJfifDensity(bytes, options.dpi);
    // exiv2 writes the items of JPEG, TIFF and PNG files; WebP's go through libwebp's muxer.
    if (!items.empty() && format.carriesExif && format.kind != OutputKind::Webp)
        WritePropertyItems(bytes, items, nullptr, note);  // what it refuses is left out
    if (!items.empty() && format.kind == OutputKind::Webp)
        WriteWebpItems(bytes, items, note);
    if (format.kind == OutputKind::Png)
        NameIccProfileChunk(bytes);
    // A TIFF states its resolution as a fraction: write the exact value, not the one rounded
    // through dots per metre.
    if (tiff) {
        SetTiffResolution(bytes, DpiToRational(options.dpi));
        AppendTiffThumbnailPage(bytes, tiffThumbnail);
    }
    return bytes;
}

// The save message: the path, then the reason when one is known.
void SetSaveError(QString* error, const QString& path, const QString& reason) {
    if (!error)
        return;
    *error = CantSaveFileMessage(path);
    if (!reason.isEmpty())
        *error += QLatin1Char('\n') + reason;
}

}  // namespace

QByteArray EncodeImageFile(QImage output, const QString& path, const SaveSource& source,
                           const SaveOptions& options, QString* error, QString* note) {
    if (error)
        error->clear();
    const OutputFormat* format = OutputFormatForPath(path);
    if (!format || !EncoderInstalled(*format))
        return {};
    QByteArray bytes;
    QString reason;
    try {
        bytes = EncodeWithMetadata(std::move(output), *format, source, options, &reason, note);
    } catch (const std::bad_alloc&) {
        bytes.clear();
        reason = QStringLiteral("Not enough memory.");
    }
    if (bytes.isEmpty())
        SetSaveError(error, path, reason);
    return bytes;
}

bool SaveImage(const QImage& output, const QString& path, const SaveSource& source,
               const SaveOptions& options, QString* error) {
    const QByteArray bytes = EncodeImageFile(output, path, source, options, error);
    if (bytes.isEmpty())
        return false;
    QString reason;
    if (!WriteFileSafely(path, bytes, &reason)) {
        SetSaveError(error, path, reason);
        return false;
    }
    return true;
}

bool IsCopyOfSource(const QImage& output, const SourceImage& source) {
    if (output.isNull() || output.size() != source.image.size())
        return false;
    if (output.constBits() == source.image.constBits())
        return true;  // the very pixels, shared
    if (output.format() == QImage::Format_BGR888)
        return output == source.image;
    return output.convertToFormat(QImage::Format_BGR888) == source.image;
}

bool SaveImage(const QImage& output, const QString& path, const SourceImage& source,
               const SaveOptions& options, QString* error) {
    const bool ownFormat = !source.original.isNull() && IsCopyOfSource(output, source);
    return SaveImage(ownFormat ? source.original : output, path,
                     SaveSource{source.FileSize(), source.properties}, options, error);
}

}  // namespace orm
