#include "metadata/image_info.h"

#include "metadata/exif_properties.h"
#include "metadata/tag_names.h"

#include <QFile>
#include <QStringDecoder>

namespace orm {

QString AsciiItemText(const PropertyItem& item) {
    QByteArray bytes = item.value.left(qsizetype(item.count));
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

std::vector<InfoProperty> BuildPropertyList(const PropertyItems& items) {
    std::vector<InfoProperty> list;
    for (const PropertyItem& item : items) {
        if (item.group == ExifGroup::kThumbnail || item.group == ExifGroup::kMakerNote)
            continue;
        const char* name = TagName(item.id);
        if (!name)
            continue;
        QString value;
        uint32_t number = 0;
        if (item.type == 2)
            value = AsciiItemText(item);
        else if (((item.type == 3 && item.value.size() == 2) ||
                  (item.type == 4 && item.value.size() == 4)) &&
                 ItemNumber(item, number))
            value = FormatTagValue(item.id, number);
        if (!value.isEmpty())
            list.push_back({QString::fromLatin1(name), value});
    }
    return list;
}

QString FormatDimensions(uint32_t width, uint32_t height) {
    return QStringLiteral("%1 X %2").arg(width).arg(height);
}

QString FormatColorCount(int bitsPerPixel) {
    const int bits = std::clamp(bitsPerPixel, 0, 24);
    const uint32_t n = uint32_t(1) << bits;
    const uint32_t millions = n / 1000000, thousands = n / 1000 % 1000, rest = n % 1000;
    if (millions > 0)
        return QStringLiteral("%1,%2,%3")
            .arg(millions)
            .arg(thousands, 3, 10, QLatin1Char('0'))
            .arg(rest, 3, 10, QLatin1Char('0'));
    if (thousands > 0)
        return QStringLiteral("%1,%2").arg(thousands).arg(rest, 3, 10, QLatin1Char('0'));
    return QString::number(rest);
}

}  // namespace orm
