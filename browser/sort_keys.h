#pragma once
// The browser's orders. Every key sorts ascending; names compare without regard to case. Keys
// with a tie-break compare the full paths next; to make the order of equal entries the same on
// every run the sort is stable (the list order decides last).

#include "browser/browser_item.h"

#include <QSize>
#include <QString>

#include <functional>
#include <vector>

namespace orm {

enum class SortKey : int {
    Name = 0,         // file name with extension                       (no tie-break)
    Created = 1,      // creation time                                  (then path)
    Date = 2,         // last write time, "&Date"                       (then path)
    Unsorted = 3,     // the list order is kept
    Format = 4,       // extension, "&File Format"                      (then path)
    ImageSize = 5,    // width x 65536 + height, unsigned 32-bit        (no tie-break)
    ImageWidth = 6,   // "Image &Width"                                 (no tie-break)
    ImageHeight = 7,  // "Image &Height"                                (no tie-break)
    FileSize = 8,     // "File &Size"                                   (then path)
    NameNumber = 9,   // name without extension less its first 4 characters (then path)
};
constexpr int kSortKeyCount = 10;

// A stored number as a key; numbers outside 0..9 give Name.
SortKey SortKeyFromInt(int value);

// Whether the key needs image sizes (known only once thumbnails exist).
bool SortKeyNeedsImageSize(SortKey key);

// The image size of a file as its cached thumbnail records it; 0 x 0 when not cached.
using ImageSizeLookup = std::function<QSize(const QString& path)>;

// The text key 9 compares: "IMG_0012.JPG" gives "0012"; a name of four characters or fewer "".
QString NameNumberPart(const QString& fileName);
// The extension key 4 compares ("" when there is none), without the dot.
QString ExtensionPart(const QString& fileName);

// Sorts the items in place. File facts are read where not known yet (a file that has gone sorts
// with zeros). Image sizes are looked up once per item, not per comparison.
void SortItems(std::vector<CItem*>& items, SortKey key, const ImageSizeLookup& imageSize = {});

}  // namespace orm
