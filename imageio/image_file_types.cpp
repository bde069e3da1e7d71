#include "imageio/image_file_types.h"

#include <QFileInfo>
#include <QImageWriter>

#include <vector>

namespace orm {

namespace {

struct KnownEncoder {
    const char* mimeType;
    const char* qtFormat;  // nullptr: written with giflib
};

// The encoders the program knows, in a fixed order.
constexpr KnownEncoder kEncoders[] = {
    {"image/bmp", "bmp"},   {"image/jpeg", "jpeg"}, {"image/gif", nullptr},
    {"image/tiff", "tiff"}, {"image/png", "png"},   {"image/webp", "webp"},
};

}  // namespace

QString PathExtension(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

const QStringList& ImageFileExtensions() {
    static const QStringList extensions{
        QStringLiteral(".jpg"),  QStringLiteral(".jpeg"), QStringLiteral(".jpe"),
        QStringLiteral(".tif"),  QStringLiteral(".tiff"), QStringLiteral(".bmp"),
        QStringLiteral(".gif"),  QStringLiteral(".png"),  QStringLiteral(".webp"),
        QStringLiteral(".heic"), QStringLiteral(".heif"), QStringLiteral(".avif")};
    return extensions;
}

bool IsSupportedImage(const QString& path) {
    const QString ext = PathExtension(path);
    return !ext.isEmpty() && ImageFileExtensions().contains(ext, Qt::CaseInsensitive);
}

bool IsNavigableImage(const QString& fileName) {
    const QString ext = PathExtension(fileName);
    return IsSupportedImage(fileName) &&
           ext.compare(QLatin1String(".gif"), Qt::CaseInsensitive) != 0;
}

QString MimeTypeForOutputPath(const QString& path) {
    static const struct {
        const char* extension;
        const char* mimeType;
    } kWritten[] = {
        {".jpg", "image/jpeg"},  {".jpeg", "image/jpeg"}, {".jpe", "image/jpeg"},
        {".bmp", "image/bmp"},   {".gif", "image/gif"},   {".tif", "image/tiff"},
        {".tiff", "image/tiff"}, {".png", "image/png"},   {".webp", "image/webp"},
    };
    const QString ext = PathExtension(path);
    for (const auto& w : kWritten)
        if (ext.compare(QLatin1String(w.extension), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(w.mimeType);
    return {};
}

QString KeptOutputExtension(const QString& inputExtension) {
    for (const char* heif : {".heic", ".heif", ".avif"})
        if (inputExtension.compare(QLatin1String(heif), Qt::CaseInsensitive) == 0)
            return QStringLiteral(".jpg");
    return inputExtension;
}

ImageEncoder FindEncoderForMime(const QString& mimeType) {
    const QList<QByteArray> installed = QImageWriter::supportedImageFormats();
    int index = 0;
    for (const KnownEncoder& e : kEncoders) {
        const bool available = !e.qtFormat || installed.contains(QByteArray(e.qtFormat));
        if (!available)
            continue;
        if (mimeType == QLatin1String(e.mimeType))
            return ImageEncoder{index, mimeType,
                                e.qtFormat ? QByteArray(e.qtFormat) : QByteArray()};
        ++index;
    }
    return {};
}

}  // namespace orm
