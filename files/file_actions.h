#pragma once
// The file actions a browser needs (copy, cut, paste, drags and drops, Trash, rename), as an
// interface, and done by the program's own file operations and the file managers' clipboard
// formats: what the browse window hands its browser. The browser pauses its folder watch itself
// and keeps its thumbnails in step from the outcome's report.

#include "files/file_operations.h"

#include <QString>
#include <QStringList>
#include <Qt>

class QClipboard;
class QMimeData;

namespace orm {

// The outcome of a file operation; `message` tells the user why it failed, when it did.
struct FileActionOutcome {
    bool ok = true;
    QString message;
    QStringList newPaths;  // the paths the files have after a copy, move or rename
    FileOpReport report;   // what was done
};

// The file operations and the clipboard of files. Copies and moves never overwrite (a taken
// name becomes "name (2).ext"); deletion moves files to the Trash.
class IBrowserFileActions {
  public:
    virtual ~IBrowserFileActions() = default;

    // Puts the files on the clipboard for other programs, as copied or as cut.
    virtual void PutOnClipboard(const QStringList& paths, bool cut) = 0;
    // Whether the clipboard holds files that can be pasted.
    virtual bool ClipboardHasFiles() const = 0;
    // The files the clipboard holds as cut (empty when it holds none, or holds them as copied).
    virtual QStringList ClipboardCutFiles() const = 0;
    // Pastes the clipboard's files into the folder: moved when they were cut (and the clipboard
    // emptied then), copied otherwise.
    virtual FileActionOutcome Paste(const QString& folder) = 0;

    // The data of a drag of these files out of the browser.
    virtual QMimeData* DragData(const QStringList& paths) = 0;
    // The files a drop offers (empty when it offers none).
    virtual QStringList DroppedFiles(const QMimeData& data) const = 0;
    // What dropping the files into the folder does: copy with Ctrl, move with Shift, else move
    // within one file system and copy across file systems.
    virtual Qt::DropAction DropActionFor(const QStringList& files, const QString& folder,
                                         Qt::KeyboardModifiers modifiers) const = 0;
    virtual FileActionOutcome Transfer(const QStringList& files, const QString& folder,
                                       bool move) = 0;

    virtual FileActionOutcome Trash(const QStringList& paths) = 0;
    // Gives the file a new name in its folder (a .wav companion follows).
    virtual FileActionOutcome Rename(const QString& path, const QString& newName) = 0;
};

class CFileActions : public IBrowserFileActions {
  public:
    // The application's clipboard unless another is given.
    explicit CFileActions(QClipboard* clipboard = nullptr);

    void PutOnClipboard(const QStringList& paths, bool cut) override;
    bool ClipboardHasFiles() const override;
    QStringList ClipboardCutFiles() const override;
    FileActionOutcome Paste(const QString& folder) override;

    QMimeData* DragData(const QStringList& paths) override;
    QStringList DroppedFiles(const QMimeData& data) const override;
    Qt::DropAction DropActionFor(const QStringList& files, const QString& folder,
                                 Qt::KeyboardModifiers modifiers) const override;
    FileActionOutcome Transfer(const QStringList& files, const QString& folder, bool move) override;

    FileActionOutcome Trash(const QStringList& paths) override;
    FileActionOutcome Rename(const QString& path, const QString& newName) override;

  private:
    QClipboard* clipboard_;
};

// The outcome the browser reads from a report: ok when everything was done, the failures as the
// message, the new paths, and the report itself.
FileActionOutcome OutcomeOf(const FileOpReport& report, const QString& failureIntro);

}  // namespace orm
