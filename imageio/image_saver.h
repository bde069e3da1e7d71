#pragma once
// Saving an output image: the encoder by the path's extension, the resolution, the source's
// metadata and a regenerated EXIF thumbnail. The file is written safely: an existing file is
// replaced only by a complete new one, and a failed save leaves nothing behind.

#include "imageio/image_loader.h"
#include "metadata/metadata_policy.h"
#include "metadata/property_item.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace orm {

struct SaveOptions {
    double dpi = 96.0;     // written into the output in both directions
    int jpegQuality = 75;  // 0..100, JPEG and WebP (WebP: 100 is lossless)
    // What of the source's metadata the file keeps (the thumbnail made only when it keeps it).
    MetadataPolicy strip = MetadataPolicy::Keep;
    // What transparent pixels are laid over in a format without alpha.
    QRgb background = qRgb(255, 255, 255);
};

// What the output takes from its source: the size (for the thumbnail rule) and the items.
struct SaveSource {
    QSize size;
    PropertyItems properties;
};

// True when the file was written. On false, error is empty when the path's extension names no
// known encoder (a silent refusal) and otherwise holds "Can't save file <path>." for the caller
// to show (or not, when it runs quietly).
bool SaveImage(const QImage& output, const QString& path, const SaveSource& source,
               const SaveOptions& options, QString* error = nullptr);
// With the source image: an output that holds exactly the source's pixels at its own size (the
// same-size copy) is written from the decoded image in its own format, so palette, 1-bit, grey,
// 16-bit and alpha sources keep it.
bool SaveImage(const QImage& output, const QString& path, const SourceImage& source,
               const SaveOptions& options, QString* error = nullptr);

// The bytes SaveImage writes: the file for the path's extension, with resolution and metadata.
// Empty on failure, with error as SaveImage words it. An image passed in without other owners
// (moved in) is not copied to set its resolution. `note` receives what was left out of a file
// that was written (a maker note that did not read back), for the log.
QByteArray EncodeImageFile(QImage output, const QString& path, const SaveSource& source,
                           const SaveOptions& options, QString* error = nullptr,
                           QString* note = nullptr);

// Whether output is the source's own pixels at its own size (in 24-bit colour or any format
// that converts to exactly them).
bool IsCopyOfSource(const QImage& output, const SourceImage& source);

// The message of a failed save.
QString CantSaveFileMessage(const QString& path);

}  // namespace orm
