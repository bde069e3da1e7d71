#pragma once
// Named settings files (.mns): a 52-byte UTF-16LE header "ORVEN Mensura 2.0 Settings", then ten
// little-endian 4-byte fields: width, height, dpi (IEEE single), resolutionUnit, sizeUnit,
// correction, algorithm, inPercent, editPrintSize, lockSettings. 92 bytes in all.

#include "settings/resize_settings.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orm {

inline constexpr size_t kSettingsHeaderSize = 52;
inline constexpr size_t kSettingsFileSize = 92;

std::vector<uint8_t> EncodeSettingsFile(const ResizeSettings& s);

enum class SettingsFileStatus {
    Ok,          // the header matched; the fields present were taken over
    WrongFile,   // the header did not match; nothing changed
    IoError,     // the file could not be opened, read or written
    NoSuchName,  // a named entry that does not exist
};

// Takes over the whole fields that the bytes hold after a matching header; fields the bytes
// do not reach keep their values. The record is then brought into range.
SettingsFileStatus DecodeSettingsFile(std::span<const uint8_t> bytes, ResizeSettings& s);

struct SettingsFileResult {
    SettingsFileStatus status = SettingsFileStatus::Ok;
    QString message;  // for the user; empty on success
    bool ok() const { return status == SettingsFileStatus::Ok; }
};

// Reads at most the 92 bytes of the format from the file.
SettingsFileResult LoadSettingsFile(const QString& path, ResizeSettings& s);
// Writes through a temporary file renamed over the target, so a failure leaves any old file.
SettingsFileResult SaveSettingsFile(const QString& path, const ResizeSettings& s);

// Loads the named entry of the settings folder (names compare ignoring case) into the record.
// On failure returns false, leaves the record as it was and sets *error
// ("No such name exists.", "Wrong file!" or the file error).
bool LoadNamedSettings(const QString& name, ResizeSettings& s, QString* error);

}  // namespace orm
