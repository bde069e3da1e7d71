#pragma once
// The thumbnails that file managers share under $XDG_CACHE_HOME/thumbnails (the freedesktop
// thumbnail rules): a PNG per image in normal/ (128 pixels), large/ (256), x-large/ (512) or
// xx-large/ (1024), named by the MD5 of the image's file URI. One is valid only while its
// Thumb::MTime (and Thumb::Size, when it has one) match the image file, and only when its
// Thumb::URI is the image's. The browser reads them before decoding anything; it never writes
// there.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace orm {

// file:// and the absolute path's bytes, each byte outside letters, digits and -._~!$&'()*+,/:=@
// as %XX (upper-case hexadecimal), as GLib and Qt write file URIs.
QByteArray SharedThumbnailUri(const QString& absolutePath);

// $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails without it.
QString SharedThumbnailFolder();

// The files that may hold the thumbnail of the image, best first for a box of `box`: the
// smallest size at least as large as the box, then the larger ones, then the smaller ones.
QStringList SharedThumbnailCandidates(const QString& absolutePath, const QString& folder,
                                      QSize box);

struct SharedThumbnail {
    QImage picture;
    QSize imageSize;  // Thumb::Image::Width and Height; invalid when the thumbnail does not say
};

// The first valid thumbnail of the candidates, or none. fileSize and modifiedSeconds are the
// image file's own. A thumbnail larger than 1024 pixels, or a file larger than 16 MB, is none.
std::optional<SharedThumbnail> ReadSharedThumbnail(const QString& absolutePath, int64_t fileSize,
                                                   int64_t modifiedSeconds, const QString& folder,
                                                   QSize box);

}  // namespace orm
