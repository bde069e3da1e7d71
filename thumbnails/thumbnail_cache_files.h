#pragma once
// The byte formats of the thumbnail cache, in the framework archive encoding:
// - a folder file maps full image paths to thumbnail records: a count, then per entry the path
//   (string) and an object reference to a `CPaletteItemImg` (the class described at its first
//   use, schema 1) followed by the record;
// - the index maps folder keys to the full paths of their folder files: a count, then pairs of
//   strings.
// Readers take bytes from a crash, another version or a hostile user: every count and length is
// checked against the bytes left, and anything that does not parse makes the whole file unusable
// (the caller treats it as empty).

#include "settings/archive_coding.h"
#include "thumbnails/palette_item.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace orm {

constexpr char kThumbnailClassName[] = "CPaletteItemImg";
constexpr uint16_t kThumbnailSchema = 1;

// One thumbnail record. A thumbnail with a picture and no compressed data is written compressed.
void WriteThumbnailRecord(ArchiveWriter& w, const CPaletteItemImg& item);

// Reads a record into `item` (its picture and compressed data are replaced). Fails at the end of
// the bytes, on a thumbnail size that is no fit into the item's box (neither side touches the box,
// or a side exceeds it) and on counts and lengths beyond the bytes left.
bool ReadThumbnailRecord(ArchiveReader& r, CPaletteItemImg& item);

using FolderFileEntry = std::pair<QString, std::shared_ptr<const CPaletteItemImg>>;
using IndexEntry = std::pair<QString, QString>;  // folder key, folder file path

QByteArray EncodeFolderFile(const std::vector<FolderFileEntry>& entries);
// The entries in file order; nothing when the bytes are not a whole folder file. An entry that
// refers back to an earlier object shares it; null objects are left out.
std::optional<std::vector<FolderFileEntry>> DecodeFolderFile(std::span<const uint8_t> bytes);

QByteArray EncodeIndexFile(const std::vector<IndexEntry>& entries);
std::optional<std::vector<IndexEntry>> DecodeIndexFile(std::span<const uint8_t> bytes);

}  // namespace orm
