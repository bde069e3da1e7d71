#pragma once
// Files that end too early. Qt's JPEG and GIF readers still make a picture of a cut-off file
// (JPEG: the missing part grey; GIF: blank) and report success. The program keeps accepting such
// files, which are often still useful, but says so; these checks walk the file's structure to
// find out. They read untrusted bytes: every length is checked against the end.

#include <QByteArray>
#include <QString>

namespace orm {

// A JPEG (SOI first) whose data ends before its EOI marker.
bool IsTruncatedJpeg(const QByteArray& bytes);

// A GIF whose first picture's data ends before its terminating block.
bool IsTruncatedGif(const QByteArray& bytes);

// What fills the part of a cut-off JPEG that is missing.
inline constexpr char kMissingPartGrey[] = "the missing part is grey";

// For a damaged file, what the user sees where data is missing ("the missing part is grey");
// empty when the file is whole or of another type.
QString DamageDescription(const QByteArray& bytes);

// "warning: FILE is damaged; the missing part is grey".
QString DamagedFileWarning(const QString& path, const QString& damage);

}  // namespace orm
