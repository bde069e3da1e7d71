#pragma once
// Stepping to the next or previous image of a folder: the navigable files (IsNavigableImage: no
// GIF files), minus the files that already failed during this step, with wrap-around.

#include <QString>
#include <QStringList>

#include <optional>

namespace orm {

enum class StepDirection { Next, Previous };

// The neighbour of `reference` in `entries` (file names in listing order). Entries that are not
// navigable or are in `skip` (compared ignoring case) are left out first. None when the reference
// is not among what remains, or when it is all that remains.
std::optional<QString> FindNeighbourName(const QStringList& entries, const QString& reference,
                                         const QStringList& skip, StepDirection direction);

// The folder's file names in the order the user sees them in a file manager (by name, case
// ignored; the folder listing of the file system itself has no meaningful order on Linux).
QStringList ListFolderFiles(const QString& folder);

// The neighbour of the file at `referencePath` in its folder, as a full path; `skipPaths` holds
// full paths.
std::optional<QString> FindNeighbourFile(const QString& referencePath, const QStringList& skipPaths,
                                         StepDirection direction);

}  // namespace orm
