#pragma once
// The file operations of the browser, the folder tree and the batch list: copy and move into a
// folder, delete to the Trash, and a new name in place. No file is ever overwritten and none is
// lost:
// - A name that is taken gets the next free "name (2).ext", "name (3).ext", ... (folders the
//   same without an extension); the choice is atomic, so a file that appears meanwhile is safe.
// - A copied file is written under no name until it is complete and on disk (SafeFileWriter);
//   a failure (a full disk) leaves no partial file, and the source is never touched.
// - A move within one file system is a rename. Across file systems it copies, makes the copy and
//   its folder entry durable, and only then deletes the source.
// - A folder is copied as a whole or not at all: a failure inside removes what was made.
// - Delete moves to the freedesktop Trash (restorable), never deletes.
// Copies keep the source's modification time and permissions. Links are copied as links;
// pipes, devices and sockets are refused. Sources that do not exist are skipped.
//
// The browser's monitor is paused meanwhile. The report says what was done, so that whoever
// keeps something in step with the files (the thumbnail cache) can follow. All of it runs on the
// caller's thread; the progress callback may cancel between files and between blocks of one
// file (the file in work is then left untouched).

#include "imageio/file_look.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace orm {

class CFolderMonitor;

enum class FileOp { Move = 1, Copy = 2, Delete = 3, Rename = 4 };

struct FileOpProgress {
    int fileIndex = 0;  // of the sources that exist
    int fileCount = 0;
    QString current;        // the source in work
    int64_t bytesDone = 0;  // of the file in work
    int64_t bytesTotal = 0;
};

struct FileOpContext {
    CFolderMonitor* monitor = nullptr;  // paused while the operation runs
    // Called before each file and after each block; false cancels.
    std::function<bool(const FileOpProgress&)> progress;
};

struct FileOpEntry {
    QString source;
    QString result;  // the new path (copy, move, rename) or where it lies in the Trash
    QString error;   // why it failed (a move may have a result and an error: the copy is
                     // complete but the source could not be removed)
    bool isFolder = false;
    bool Done() const { return error.isEmpty() && !result.isEmpty(); }
};

// A file (not a folder) that now has another path, or a copy at another path.
struct FilePathChange {
    QString from;
    QString to;
    bool operator==(const FilePathChange&) const = default;
};

struct FileOpReport {
    FileOp op = FileOp::Copy;
    std::vector<FileOpEntry> entries;  // the existing sources handled, in order
    QStringList missing;               // sources that did not exist; skipped
    bool cancelled = false;            // the sources after the cancelled one were not handled

    // Every existing source done and nothing cancelled.
    bool Succeeded() const;
    // "path: reason" of each failed entry.
    QStringList Failures() const;
    // The results of the done entries.
    QStringList Results() const;
    // The files copied, moved or renamed to a new path (a move that copied but could not remove
    // its source included); none for the Trash.
    std::vector<FilePathChange> FileChanges() const;
    // The sources moved to the Trash.
    QStringList Trashed() const;
};

// Copies or moves the sources into `targetFolder`, or (Delete; the folder is ignored) moves
// them to the Trash.
FileOpReport RunFileOperation(FileOp op, const QStringList& sources, const QString& targetFolder,
                              const FileOpContext& context = {});

inline FileOpReport CopyFiles(const QStringList& sources, const QString& targetFolder,
                              const FileOpContext& context = {}) {
    return RunFileOperation(FileOp::Copy, sources, targetFolder, context);
}
inline FileOpReport MoveFiles(const QStringList& sources, const QString& targetFolder,
                              const FileOpContext& context = {}) {
    return RunFileOperation(FileOp::Move, sources, targetFolder, context);
}
inline FileOpReport TrashFiles(const QStringList& sources, const FileOpContext& context = {}) {
    return RunFileOperation(FileOp::Delete, sources, QString(), context);
}

// Gives a file or folder a new name in its folder; never replaces an existing name. An image
// with a sound companion (below) takes it along: both are renamed or neither. The report has
// the entry of the image, then the companion's.
FileOpReport RenameFile(const QString& path, const QString& newName,
                        const FileOpContext& context = {});

// Why a text cannot be a file name ("/" inside, empty, "." or ".."), or empty when it can.
QString FileNameProblem(const QString& name);

// "name (n).ext" for "name.ext"; "name (n)" without an extension or for a folder; a leading dot
// does not start an extension (".profile (2)").
QString NumberedName(const QString& fileName, int n, bool isFolder = false);

// Whether `source` (the link itself for a link) lies on the file system of `folder`.
bool SameFileSystem(const QString& source, const QString& folder);

// Moves one file or folder to the user's Trash; false with a reason. `whereInTrash` receives
// its path there.
bool MoveToTrash(const QString& path, QString* whereInTrash = nullptr, QString* error = nullptr);

}  // namespace orm
