#pragma once
// The image-info list: what the "Image Info" dialog and `ormensura-cli info` show about a file.

#include "metadata/property_item.h"

#include <QString>

#include <optional>
#include <vector>

namespace orm {

struct InfoProperty {
    QString name;
    QString value;

    bool operator==(const InfoProperty&) const = default;
};

// One (name, value) pair per item in the items' order, for the items whose tag has a name and
// whose value has a text: ASCII items show their text, SHORT and LONG items with one value are
// formatted by their tag; other types and several values are not shown.
std::vector<InfoProperty> BuildPropertyList(const PropertyItems& items);

// The text of an ASCII item: its bytes up to the count or the first zero byte, as UTF-8 when
// they are valid UTF-8 and as Latin-1 otherwise.
QString AsciiItemText(const PropertyItem& item);

// "%u X %u".
QString FormatDimensions(uint32_t width, uint32_t height);
// 2 to the power of the bits per pixel (at most 2^24), with commas between groups of three
// digits: 1, 4, 8, 16 and 24 or more bits give 2, 16, 256, 65,536 and 16,777,216.
QString FormatColorCount(int bitsPerPixel);

struct ImageInfo {
    QString path;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    std::vector<InfoProperty> properties;
    // Said about the file beside its details (a resolution that is not used), or empty.
    QString note;
};

}  // namespace orm
