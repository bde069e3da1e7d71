#include "metadata/property_item.h"

namespace orm {

namespace {

void AppendLe(QByteArray& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.append(char(uint8_t(v >> (8 * i))));
}

uint32_t ReadLe(const QByteArray& in, int at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint32_t(uint8_t(in[at + i])) << (8 * i);
    return v;
}

}  // namespace

PropertyItem MakeShortItem(uint32_t id, uint16_t value, ExifGroup group) {
    PropertyItem item{id, 3, 1, {}, group};
    AppendLe(item.value, value, 2);
    return item;
}

PropertyItem MakeLongItem(uint32_t id, uint32_t value, ExifGroup group) {
    PropertyItem item{id, 4, 1, {}, group};
    AppendLe(item.value, value, 4);
    return item;
}

PropertyItem MakeRationalItem(uint32_t id, uint32_t numerator, uint32_t denominator,
                              ExifGroup group) {
    PropertyItem item{id, 5, 1, {}, group};
    AppendLe(item.value, numerator, 4);
    AppendLe(item.value, denominator, 4);
    return item;
}

PropertyItem MakeAsciiItem(uint32_t id, const QByteArray& text, ExifGroup group) {
    return PropertyItem{id, 2, uint32_t(text.size()), text, group};
}

bool ItemNumber(const PropertyItem& item, uint32_t& out) {
    if (item.type == 3 && item.value.size() >= 2) {
        out = ReadLe(item.value, 0, 2);
        return true;
    }
    if (item.type == 4 && item.value.size() >= 4) {
        out = ReadLe(item.value, 0, 4);
        return true;
    }
    return false;
}

const PropertyItem* FindItem(const PropertyItems& items, uint32_t id) {
    for (const PropertyItem& item : items)
        if (item.id == id && item.group != ExifGroup::kMakerNote)
            return &item;
    return nullptr;
}

}  // namespace orm
