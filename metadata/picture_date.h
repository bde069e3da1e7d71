#pragma once
// The date a picture was taken, from its EXIF items.

#include <QDateTime>
#include <QString>

#include <optional>

namespace orm {

// "%d:%d:%d %d:%d:%d" with year 1970..3000, month 1..12, day 1..31, hour 0..24, minute and
// second 0..60, as local time (hour 24, minute or second 60 roll over into the next unit).
std::optional<QDateTime> ParseExifDateTime(const QByteArray& text);

// For .jpg, .tif, .tiff and .dng files (case ignored) that the metadata library can read: the
// first of date/time original (0x9003), digitized (0x9004) and date/time (0x0132) that exists,
// when its text is a usable date.
std::optional<QDateTime> ReadPictureDate(const QString& path);

}  // namespace orm
