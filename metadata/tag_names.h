#pragma once
// Names and value texts of the tags the image-info list shows.

#include <QString>

#include <cstdint>

namespace orm {

// The tag's display name; nullptr for tags the list never shows.
const char* TagName(uint32_t tag);

// Number of tags that have a name.
int NamedTagCount();

// The value text of a SHORT or LONG tag with one value: a named meaning for some tags, the
// number in decimal for most, and empty for the tags whose numbers mean nothing to a reader.
QString FormatTagValue(uint32_t tag, uint32_t number);

}  // namespace orm
