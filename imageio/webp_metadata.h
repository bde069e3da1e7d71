#pragma once
// Metadata of WebP outputs. Qt's writer stores pixels only; the EXIF block and the colour profile
// are added afterwards with libwebp's own muxer, which turns a simple file into the extended
// format and writes its header chunk (canvas size; flags for the profile, alpha and EXIF).

#include <QByteArray>

namespace orm {

// Adds the EXIF block (a TIFF structure; none when empty) and the ICC profile (none when empty)
// to the WebP file held in memory, replacing any it had. False, with the file unchanged, when
// the bytes are not a WebP file libwebp can take apart or it refuses a chunk.
bool SetWebpMetadata(QByteArray& webp, const QByteArray& exif, const QByteArray& iccProfile);

}  // namespace orm
