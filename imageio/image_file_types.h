#pragma once
// Which files are images to the program, and which encoder writes an output file.

#include <QByteArray>
#include <QString>

namespace orm {

// The extension of a path: from the last dot of its file name ("" when there is none).
QString PathExtension(const QString& path);

// Command line, browser and batch list: the lower-cased extension is at least 4 characters long
// and occurs in ".tif;.gif;.bmp;.jpg;.png" (so .jpeg and .tiff are not image files here).
bool IsSupportedImage(const QString& path);

// Next/previous file in a folder: .jpg, .tif, .bmp or .png, case ignored (GIF files are skipped).
bool IsNavigableImage(const QString& fileName);

// The MIME type of an output path by its upper-cased extension (".JPG", ".BMP", ".GIF", ".TIF",
// ".PNG"); empty for any other extension.
QString MimeTypeForOutputPath(const QString& path);

struct ImageEncoder {
    int index = -1;        // position in the list of encoders; -1 when none matches
    QString mimeType;
    QByteArray qtFormat;   // the Qt image writer's format; empty for the GIF writer (giflib)
};

// The first installed encoder whose MIME type equals the argument exactly.
ImageEncoder FindEncoderForMime(const QString& mimeType);

}  // namespace orm
