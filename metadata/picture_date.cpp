#include "metadata/picture_date.h"

#include "metadata/exif_properties.h"

#include <QFileInfo>

#include <cstdio>

namespace orm {

std::optional<QDateTime> ParseExifDateTime(const QByteArray& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    const QByteArray terminated = text + '\0';
    if (std::sscanf(terminated.constData(), "%d:%d:%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6)
        return std::nullopt;
    if (y < 1970 || y > 3000 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 24 || mi < 0 ||
        mi > 60 || s < 0 || s > 60)
        return std::nullopt;
    // Day 31 of a short month, hour 24 and minute or second 60 roll over, as a calendar
    // conversion of the fields does.
    const QDate date = QDate(y, mo, 1).addDays(d - 1);
    QDateTime local(date, QTime(0, 0), Qt::LocalTime);
    local = local.addSecs(qint64(h) * 3600 + qint64(mi) * 60 + s);
    if (!local.isValid())
        return std::nullopt;
    return local;
}

std::optional<QDateTime> ReadPictureDate(const QString& path) {
    const QString ext = QLatin1Char('.') + QFileInfo(path).suffix();
    bool listed = false;
    for (const char* e : {".jpg", ".tif", ".tiff", ".dng"})
        listed = listed || ext.compare(QLatin1String(e), Qt::CaseInsensitive) == 0;
    if (!listed)
        return std::nullopt;
    const PropertyItems items = ReadPropertyItemsFromFile(path);
    for (uint32_t tag : {0x9003u, 0x9004u, 0x0132u}) {
        for (const PropertyItem& item : items) {
            if (item.id != tag || item.group == ExifGroup::kThumbnail ||
                item.group == ExifGroup::kGps || item.group == ExifGroup::kInterop)
                continue;
            return ParseExifDateTime(item.value.left(qsizetype(item.count)));
        }
    }
    return std::nullopt;
}

}  // namespace orm
