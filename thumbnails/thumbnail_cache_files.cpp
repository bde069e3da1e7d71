#include "thumbnails/thumbnail_cache_files.h"

#include "thumbnails/thumbnail_codec.h"

#include <unordered_map>

namespace orm {

namespace {

// The smallest encodings, to refuse counts that the bytes left cannot hold before reading on:
// an empty 8-bit string (1 byte) and a back reference (2 bytes) per folder-file entry; two empty
// strings per index entry; 16 bytes per rectangle.
constexpr size_t kMinFolderEntryBytes = 3;
constexpr size_t kMinIndexEntryBytes = 2;
constexpr size_t kRectBytes = 16;

std::span<const uint8_t> Span(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size())};
}

bool SizeFitsBox(int32_t side, int32_t box) {
    return side >= 0 && side <= box;
}

}  // namespace

void WriteThumbnailRecord(ArchiveWriter& w, const CPaletteItemImg& item) {
    QByteArray jpeg = item.jpegData;
    if (jpeg.isEmpty() && !item.picture.isNull())
        jpeg = CompressPicture(item.picture);
    w.WriteTime(item.fileTime);
    w.WriteInt32(item.thumbWidth);
    w.WriteInt32(item.thumbHeight);
    w.WriteInt32(jpeg.isEmpty() ? 0 : 1);
    if (!jpeg.isEmpty()) {
        w.WriteDword(uint32_t(jpeg.size()));
        w.WriteRaw(Span(jpeg));
    }
    for (int32_t v : {item.imageWidth, item.imageHeight, item.bitsPerPixel, item.spare1,
                      item.spare2, item.isFinal})
        w.WriteInt32(v);
    w.WriteString(item.caption1);
    w.WriteString(item.caption2);
    w.WriteTime(item.ageTime);
    for (int32_t v : {item.reserved1, item.reserved2, item.reserved3, item.reserved4,
                      item.reserved5, item.reserved6, item.reserved0})
        w.WriteInt32(v);
    w.WriteByte(item.reservedByte ? 1 : 0);
    w.WriteCount(uint32_t(item.rects.size()));
    for (const StoredRect& rc : item.rects)
        for (int32_t v : {rc.left, rc.top, rc.right, rc.bottom}) w.WriteInt32(v);
}

bool ReadThumbnailRecord(ArchiveReader& r, CPaletteItemImg& item) {
    item.picture = QImage();
    item.jpegData.clear();
    if (!r.ReadTime(item.fileTime))
        return false;
    if (!r.ReadInt32(item.thumbWidth) || !r.ReadInt32(item.thumbHeight))
        return false;
    // A thumbnail fitted into the box touches it on one side and exceeds it on none.
    if (item.thumbWidth != item.boxWidth && item.thumbHeight != item.boxHeight)
        return false;
    if (!SizeFitsBox(item.thumbWidth, item.boxWidth) ||
        !SizeFitsBox(item.thumbHeight, item.boxHeight))
        return false;
    int32_t hasJpeg = 0;
    if (!r.ReadInt32(hasJpeg))
        return false;
    if (hasJpeg != 0) {
        uint32_t length = 0;
        std::span<const uint8_t> bytes;
        if (!r.ReadDword(length) || !r.ReadRaw(length, bytes))
            return false;
        item.jpegData =
            QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    for (int32_t* v : {&item.imageWidth, &item.imageHeight, &item.bitsPerPixel, &item.spare1,
                       &item.spare2, &item.isFinal})
        if (!r.ReadInt32(*v))
            return false;
    if (!r.ReadString(item.caption1) || !r.ReadString(item.caption2) || !r.ReadTime(item.ageTime))
        return false;
    for (int32_t* v : {&item.reserved1, &item.reserved2, &item.reserved3, &item.reserved4,
                       &item.reserved5, &item.reserved6, &item.reserved0})
        if (!r.ReadInt32(*v))
            return false;
    uint8_t byte = 0;
    uint32_t count = 0;
    if (!r.ReadByte(byte) || !r.ReadCount(count))
        return false;
    item.reservedByte = byte != 0;
    if (count > r.remaining() / kRectBytes)
        return false;
    item.rects.clear();
    item.rects.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        StoredRect rc;
        r.ReadInt32(rc.left);  // the count check above left room for all four
        r.ReadInt32(rc.top);
        r.ReadInt32(rc.right);
        r.ReadInt32(rc.bottom);
        item.rects.push_back(rc);
    }
    return true;
}

QByteArray EncodeFolderFile(const std::vector<FolderFileEntry>& entries) {
    ArchiveWriter w;
    ArchiveObjectWriter objects;
    w.WriteCount(uint32_t(entries.size()));
    for (const auto& [path, item] : entries) {
        w.WriteString(path);
        if (!item) {
            objects.WriteNull(w);
            continue;
        }
        objects.WriteNewObject(w, kThumbnailClassName, kThumbnailSchema);
        WriteThumbnailRecord(w, *item);
    }
    return w.bytes();
}

std::optional<std::vector<FolderFileEntry>> DecodeFolderFile(std::span<const uint8_t> bytes) {
    ArchiveReader r(bytes);
    ArchiveObjectReader objects;
    uint32_t count = 0;
    if (!r.ReadCount(count) || count > r.remaining() / kMinFolderEntryBytes)
        return std::nullopt;
    std::unordered_map<uint32_t, std::shared_ptr<const CPaletteItemImg>> read;
    std::vector<FolderFileEntry> entries;
    for (uint32_t i = 0; i < count; ++i) {
        QString path;
        ArchiveObjectReader::Tag tag;
        if (!r.ReadString(path) || !objects.ReadTag(r, tag))
            return std::nullopt;
        if (tag.kind == ArchiveObjectReader::Tag::Null)
            continue;
        if (tag.className != kThumbnailClassName || tag.schema != kThumbnailSchema)
            return std::nullopt;
        if (tag.kind == ArchiveObjectReader::Tag::Reference) {
            const auto earlier = read.find(tag.object);
            if (earlier == read.end())
                return std::nullopt;
            entries.emplace_back(path, earlier->second);
            continue;
        }
        auto item = std::make_shared<CPaletteItemImg>();
        if (!ReadThumbnailRecord(r, *item))
            return std::nullopt;
        read[tag.object] = item;
        entries.emplace_back(path, std::move(item));
    }
    return entries;
}

QByteArray EncodeIndexFile(const std::vector<IndexEntry>& entries) {
    ArchiveWriter w;
    w.WriteCount(uint32_t(entries.size()));
    for (const auto& [key, file] : entries) {
        w.WriteString(key);
        w.WriteString(file);
    }
    return w.bytes();
}

std::optional<std::vector<IndexEntry>> DecodeIndexFile(std::span<const uint8_t> bytes) {
    ArchiveReader r(bytes);
    uint32_t count = 0;
    if (!r.ReadCount(count) || count > r.remaining() / kMinIndexEntryBytes)
        return std::nullopt;
    std::vector<IndexEntry> entries;
    for (uint32_t i = 0; i < count; ++i) {
        QString key, file;
        if (!r.ReadString(key) || !r.ReadString(file))
            return std::nullopt;
        entries.emplace_back(std::move(key), std::move(file));
    }
    return entries;
}

}  // namespace orm
