#include "browser/sort_keys.h"

#include <algorithm>
#include <cstdint>

namespace orm {

SortKey SortKeyFromInt(int value) {
    return value >= 0 && value < kSortKeyCount ? SortKey(value) : SortKey::Name;
}

bool SortKeyNeedsImageSize(SortKey key) {
    return key == SortKey::ImageSize || key == SortKey::ImageWidth || key == SortKey::ImageHeight;
}

QString ExtensionPart(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot + 1);
}

QString NameNumberPart(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? fileName : fileName.left(dot);
    return base.size() <= 4 ? QString() : base.mid(4);
}

namespace {

// What one item is compared by, computed once before sorting.
struct SortEntry {
    CItem* item;
    QString text;    // keys 0, 4, 9
    int64_t number;  // keys 1, 2, 5, 6, 7
    double size;     // key 8
};

int CompareText(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive);
}

int CompareNumber(auto a, auto b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

void SortItems(std::vector<CItem*>& items, SortKey key, const ImageSizeLookup& imageSize) {
    if (key == SortKey::Unsorted || items.size() < 2)
        return;
    std::vector<SortEntry> entries;
    entries.reserve(items.size());
    for (CItem* item : items) {
        SortEntry e{item, {}, 0, 0};
        switch (key) {
            case SortKey::Name:
                e.text = item->FileName();
                break;
            case SortKey::Format:
                e.text = ExtensionPart(item->FileName());
                break;
            case SortKey::NameNumber:
                e.text = NameNumberPart(item->FileName());
                break;
            case SortKey::Created:
                e.number = item->Facts().created;
                break;
            case SortKey::Date:
                e.number = item->Facts().modified;
                break;
            case SortKey::FileSize:
                e.size = item->Facts().size;
                break;
            case SortKey::ImageSize:
            case SortKey::ImageWidth:
            case SortKey::ImageHeight: {
                const QSize s = imageSize ? imageSize(item->path) : QSize();
                const uint32_t w = uint32_t(std::max(0, s.width()));
                const uint32_t h = uint32_t(std::max(0, s.height()));
                e.number = key == SortKey::ImageWidth    ? int64_t(w)
                           : key == SortKey::ImageHeight ? int64_t(h)
                                                         : int64_t(uint32_t(w * 65536u + h));
                break;
            }
            case SortKey::Unsorted:
                break;
        }
        entries.push_back(std::move(e));
    }
    const bool pathTieBreak = key == SortKey::Created || key == SortKey::Date ||
                              key == SortKey::Format || key == SortKey::FileSize ||
                              key == SortKey::NameNumber;
    std::stable_sort(entries.begin(), entries.end(), [&](const SortEntry& a, const SortEntry& b) {
        int c = 0;
        switch (key) {
            case SortKey::Name:
            case SortKey::Format:
            case SortKey::NameNumber:
                c = CompareText(a.text, b.text);
                break;
            case SortKey::FileSize:
                c = CompareNumber(a.size, b.size);
                break;
            default:
                c = CompareNumber(a.number, b.number);
                break;
        }
        if (c == 0 && pathTieBreak)
            c = CompareText(a.item->path, b.item->path);
        return c < 0;
    });
    for (size_t i = 0; i < entries.size(); ++i) items[i] = entries[i].item;
}

}  // namespace orm
