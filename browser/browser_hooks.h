#pragma once
// What the browser needs of the parts around it, as small interfaces: the view that shows it
// (scrolling, invalidating, menus, the rename editor, dialogs, drags), the watch of the browsed
// folder, and the file operations and clipboard. The view implements the first; the browse window
// hands the browser the other two.

#include "browser/browser_commands.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

class QMimeData;

namespace orm {

// The view of a browser. Rectangles and points are in content (scroll) coordinates unless named
// otherwise.
class IThumbsHost {
  public:
    virtual ~IThumbsHost() = default;

    virtual QSize ClientSize() const = 0;
    // The content point shown at the client area's top-left corner.
    virtual QPoint ScrollPosition() const = 0;
    virtual void ScrollTo(QPoint contentTopLeft) = 0;
    // The browser's ScrollSize() changed.
    virtual void ContentSizeChanged() = 0;
    virtual void InvalidateAll() = 0;
    virtual void InvalidateContent(const QRect& rect) = 0;
    // Paints what is invalid now rather than at the next turn of the event loop.
    virtual void UpdateNow() = 0;

    // Shows the menu at a screen position and returns the chosen command (0: none).
    virtual int ExecMenu(const BrowserMenu& menu, QPoint globalPos) = 0;
    // Opens the in-place editor over the label; the view calls CommitRename or nothing.
    virtual void BeginRename(int index, const QRect& label, const QString& name) = 0;
    // The image information dialog of one file.
    virtual void ShowImageInfo(const QString& path) = 0;
    // Runs a drag of the data (taken over) and returns the action the target took. `picture`
    // (may be null) is the thumbnail of the item the drag started on, shown under the pointer.
    virtual Qt::DropAction ExecDrag(QMimeData* data, Qt::DropActions allowed,
                                    const QImage& picture) = 0;
};

// The watch of the browsed folder. While the browser changes files itself the watch is paused,
// so that its own changes do not read the folder again.
class IFolderWatch {
  public:
    virtual ~IFolderWatch() = default;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
};

// The outcome of a file operation; `message` tells the user why it failed, when it did.
struct FileActionOutcome {
    bool ok = true;
    QString message;
    QStringList newPaths;  // the paths the files have after a copy, move or rename
};

// The file operations and the clipboard of files. Copies and moves never overwrite (a taken
// name becomes "name (2).ext"); deletion moves files to the Trash.
class IBrowserFileActions {
  public:
    virtual ~IBrowserFileActions() = default;

    // Called for every file copied or moved: (old path, new path).
    using CopiedCallback = std::function<void(const QString&, const QString&)>;

    // Puts the files on the clipboard for other programs, as copied or as cut.
    virtual void PutOnClipboard(const QStringList& paths, bool cut) = 0;
    // Whether the clipboard holds files that can be pasted.
    virtual bool ClipboardHasFiles() const = 0;
    // The files the clipboard holds as cut (empty when it holds none, or holds them as copied).
    virtual QStringList ClipboardCutFiles() const = 0;
    // Pastes the clipboard's files into the folder: moved when they were cut (and the clipboard
    // emptied then), copied otherwise.
    virtual FileActionOutcome Paste(const QString& folder, const CopiedCallback& copied) = 0;

    // The data of a drag of these files out of the browser.
    virtual QMimeData* DragData(const QStringList& paths) = 0;
    // The files a drop offers (empty when it offers none).
    virtual QStringList DroppedFiles(const QMimeData& data) const = 0;
    // What dropping the files into the folder does: copy with Ctrl, move with Shift, else move
    // within one file system and copy across file systems.
    virtual Qt::DropAction DropActionFor(const QStringList& files, const QString& folder,
                                         Qt::KeyboardModifiers modifiers) const = 0;
    virtual FileActionOutcome Transfer(const QStringList& files, const QString& folder, bool move,
                                       const CopiedCallback& copied) = 0;

    virtual FileActionOutcome Trash(const QStringList& paths) = 0;
    // Gives the file a new name in its folder (a .wav companion follows).
    virtual FileActionOutcome Rename(const QString& path, const QString& newName) = 0;
};

}  // namespace orm
