#pragma once
// EXIF property items through exiv2: read from a file's bytes in the order of the file's
// directories (IFD0, EXIF, GPS, interoperability, then the thumbnail directory), and written
// into an encoded JPEG, TIFF or PNG file held in memory.

#include "metadata/property_item.h"

#include <QByteArray>
#include <QString>

namespace orm {

// Sets exiv2 up (quiet, its XMP parser ready) once per process; every use of exiv2 calls it
// first, as the XMP parser's set-up is not safe from two threads at once.
void InitExiv2Once();

// The items of a whole file in memory; empty when the file has none or exiv2 cannot read it.
PropertyItems ReadPropertyItems(const QByteArray& fileBytes);
// The same from a path (the file is read whole and closed again).
PropertyItems ReadPropertyItemsFromFile(const QString& path);

// Replaces the EXIF block of the encoded file with the items. An item exiv2 refuses is skipped.
// A maker note is laid out anew from its entries (kMakerNote items); the raw maker-note bytes are
// never written, so a maker note exiv2 does not understand is left out. When the block as a whole
// cannot be written, the maker note is left out and, failing that, the file keeps no EXIF block.
// The written maker note is read back: when an entry is lost or changed, an offset still points
// into the source's layout, or the reader reports an error, the note is left out and `note` says
// so (for the log). Returns false only when the file could not be handled at all (encoded stays
// unchanged then).
bool WritePropertyItems(QByteArray& encoded, const PropertyItems& items, QString* error = nullptr,
                        QString* note = nullptr);

// The items as an EXIF block on its own: a little-endian TIFF structure (from its byte-order mark,
// without the "Exif" prefix of a JPEG segment), for files whose container the caller lays out.
// The colour profile is not part of it. The maker note is laid out anew or, failing that, left
// out (also when it does not read back, as WritePropertyItems checks; `note` says so then); empty
// when there is nothing to write or exiv2 cannot lay the block out.
QByteArray EncodeExifBlock(const PropertyItems& items, QString* note = nullptr);

}  // namespace orm
