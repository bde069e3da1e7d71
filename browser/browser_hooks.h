#pragma once
// What the browser needs of the view that shows it: scrolling, invalidating, menus, the rename
// editor, dialogs, drags. The watch of the browsed folder (files/folder_monitor.h) and the file
// actions (files/file_actions.h) are the other two things the browse window hands the browser.

#include "browser/browser_commands.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

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

}  // namespace orm
