#pragma once
// Which files are images to the program, and which encoder writes an output file.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orm {

// The extension of a path: from the last dot of its file name ("" when there is none).
QString PathExtension(const QString& path);

// The extensions of the image files the program opens, lower case with the dot: .jpg .jpeg .jpe
// .tif .tiff .bmp .gif .png .webp (WebP is read by Qt's image formats plugin) .heic .heif .avif
// (read with libheif).
const QStringList& ImageFileExtensions();

// Command line, Open dialog, drops, browser and batch list: the extension is one of
// ImageFileExtensions(), case ignored.
bool IsSupportedImage(const QString& path);

// Next/previous file in a folder: the same extensions without .gif (GIF files are skipped).
bool IsNavigableImage(const QString& fileName);

// The MIME type of an output path by its extension, case ignored: .jpg .jpeg .jpe "image/jpeg",
// .tif .tiff "image/tiff", .bmp, .gif, .png, .webp; empty for any other extension.
QString MimeTypeForOutputPath(const QString& path);

// The extension an output keeps from its input when its format is not changed: the input's own,
// except for HEIF and AVIF photos (.heic .heif .avif, read but not written), which become JPEG
// files (".jpg").
QString KeptOutputExtension(const QString& inputExtension);

struct ImageEncoder {
    int index = -1;  // position in the list of encoders; -1 when none matches
    QString mimeType;
    QByteArray qtFormat;  // the Qt image writer's format; empty for the GIF writer (giflib)
};

// The first installed encoder whose MIME type equals the argument exactly. WebP is written by
// Qt's image formats plugin: without it "image/webp" has no encoder.
ImageEncoder FindEncoderForMime(const QString& mimeType);

}  // namespace orm
