#pragma once
// Batch files (.mnb): the header "ORVEN Mensura 2.0 Batch" in UTF-16LE (46 bytes, no terminator),
// an int32 entry count, then per entry the path (archive string), target width and height
// (int32), resolution (float32), algorithm and correction (int32). Little-endian throughout.
// When some entry samples on pixel centres, the records are followed by the tag "ORMX", the entry
// count (int32) and one int32 of flags per entry (bit 0: centred); files without it (all earlier
// ones) read as before, and earlier versions stop reading before it.

#include "batch/batch_entry.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orm {

inline constexpr size_t kBatchHeaderSize = 46;
inline constexpr const char* kBatchFileExtension = "mnb";

// Brings values read from a file into range: an unknown algorithm or correction takes its
// default, a size outside 0..100000 becomes 0 (no size), an unusable resolution 300; the entry
// starts unselected.
void SanitizeEntry(BatchEntry& entry);

QByteArray EncodeBatchFile(const std::vector<BatchEntry>& entries);

enum class BatchFileStatus {
    Ok,
    WrongFile,   // the header does not match
    Damaged,     // the file ends inside an entry, or a count or length is impossible
    IoError,     // the file could not be opened, read or written
    NoSuchName,  // a named batch that does not exist
};

struct BatchFileResult {
    BatchFileStatus status = BatchFileStatus::Ok;
    std::vector<BatchEntry> entries;  // every stored entry, in file order (Ok only)
    QString message;                  // for the user; empty on success
    bool ok() const { return status == BatchFileStatus::Ok; }
};

// Decodes every entry record; values out of range are brought into range (SanitizeEntry).
BatchFileResult DecodeBatchFile(std::span<const uint8_t> bytes);

// The texts the user sees.
QString WrongBatchFileText();  // "Wrong file!"
QString DamagedBatchFileText(const QString& path);

}  // namespace orm
