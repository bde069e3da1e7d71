#pragma once
// Folders of the program's named files: <data>/ORVEN Mensura/<subfolder>/ under the per-user
// generic data location ("Settings" for .mns files, "Batches" for .mnb files).

#include <QString>
#include <QStringList>

namespace orm {

inline constexpr const char* kApplicationTitle = "ORVEN Mensura";
inline constexpr const char* kSettingsSubfolder = "Settings";
inline constexpr const char* kBatchesSubfolder = "Batches";
inline constexpr const char* kSettingsExtension = "mns";

// The folder path, ending with '/'. With create, missing levels are made; the path is
// returned even when that fails (listing it then finds nothing).
QString StorageFolder(const QString& subfolder, bool create = true);
QString SettingsFolder(bool create = true);

// File names in a folder whose names end in "." + extension, compared ignoring case.
QStringList FilesWithExtension(const QString& folder, const QString& extension);

// Whether at least one settings file exists (enables "Load settings").
bool HasSavedSettings();

}  // namespace orm
