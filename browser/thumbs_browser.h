#pragma once
// The thumbnail browser: a plain object (not a widget) that holds the display list of a folder's
// image files and all the logic of browsing it: listing and sorting, the cell layout, selection
// by mouse, band and keys, the context menus and their commands, in-place rename, drags and
// drops. A view (ui/thumbs_view.h) draws it and forwards its input; the browser talks back to
// the view through IThumbsHost.
//
// CImgThumbsBrowser is the browser of the browse window; the batch basket derives from it. What a
// derived browser may change: the layout (Mode), the items (MakeItem: an item type of its own),
// the cell's name line (DrawItemName), the context menus and commands (ContextMenuFor, OnCommand,
// CommandEnabled), paste and drops (Paste, CanPaste, DragOver, AcceptDroppedFiles), double-clicks
// (DoubleClick), clicks (OnLButtonDown) and listing (ReloadList).
//
// User-interface thread only. The browser hands the builder its list and visible files; the
// builder's thumbnailReady reaches it queued, on its own thread.

#include "browser/browser_commands.h"
#include "browser/browser_hooks.h"
#include "browser/browser_item.h"
#include "browser/sort_keys.h"
#include "browser/thumb_cell_painter.h"
#include "browser/thumbs_layout.h"
#include "files/file_actions.h"
#include "files/folder_monitor.h"
#include "thumbnails/thumbs_builder_threads.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QMimeData;
class QPainter;

namespace orm {

class SettingsModel;

class CThumbsBrowser : public QObject {
    Q_OBJECT
  public:
    // The builder makes the thumbnails (its cache holds them); the settings give the icon zoom,
    // the colours, the start order and the prompt. Both outlive the browser.
    CThumbsBrowser(CThumbsBuilderThreads& builder, SettingsModel& settings,
                   QObject* parent = nullptr);
    ~CThumbsBrowser() override;

    // ---- Wiring -----------------------------------------------------------------------------
    // The view; its first update runs ReloadList (as the view's creation does).
    void SetHost(IThumbsHost* host);
    IThumbsHost* Host() const { return host_; }
    // Paused around the browser's own file operations (not owned; may be null).
    void SetFolderWatch(IFolderWatch* watch) { watch_ = watch; }
    // Copy, cut, paste, delete, rename and drops (not owned; null disables them).
    void SetFileActions(IBrowserFileActions* actions) { actions_ = actions; }
    IBrowserFileActions* FileActions() const { return actions_; }

    CThumbsBuilderThreads& Builder() const { return builder_; }
    SettingsModel& Settings() const { return settings_; }

    // ---- The list ---------------------------------------------------------------------------
    const QString& Location() const { return location_; }
    // The folder to list next (ReadFolder lists it); empty browses nothing.
    void SetLocation(const QString& folder);
    int Count() const { return int(items_.size()); }
    CItem& Item(int index) { return *items_.at(size_t(index)); }
    const CItem& Item(int index) const { return *items_.at(size_t(index)); }
    // The index of the item with this path (exactly), or -1.
    int IndexOf(const QString& path) const;
    QStringList Paths() const;
    double TotalSize() const { return totalSize_; }
    bool PrioritizeVisible() const { return prioritizeVisible_; }
    int SortKeyValue() const { return int(sortKey_); }

    // The full scan: the selection is kept (by path), files of 15 bytes or less are left out,
    // the list is sorted, the view laid out and painted, and the builder handed the paths.
    void ReadFolder();
    // The quick re-listing (view's first update, "&Refresh"): all items start unselected, no file
    // is left out for its size, and keys that need image sizes keep the folder's order.
    virtual void ReloadList();
    // The re-listing that follows changes on disk: as ReloadList, but the selection is kept (the
    // user did not ask for it and should not lose what they picked).
    void QuietRefresh();
    // Why the folder could not be listed ("Permission denied"), or empty.
    const QString& LocationProblem() const { return locationProblem_; }
    // Sorts by the key (kept for this run only) and repaints.
    void Sort(int key);

    // ---- Layout -----------------------------------------------------------------------------
    virtual LayoutMode Mode() const { return LayoutMode::Grid; }
    int Zoom() const;
    QSize CellSize() const;
    ThumbsLayout Layout() const;
    QRect ItemRect(int index) const { return Layout().ItemRect(index); }
    QSize ScrollSize() const { return Layout().ScrollSize(); }
    // The icon zoom changed: lay out and repaint at the new cell size.
    void ZoomChanged();

    // ---- Selection --------------------------------------------------------------------------
    QStringList SelectedPaths() const;
    int SelectedCount() const;
    void SelectAll();
    // Clears the selection and selects the range (inclusive, either order).
    void SelectRange(int from, int to);
    void SetSelected(int index, bool selected);
    void ClearSelection();
    // Called after every change of the selection.
    virtual void OnSelectionChanged();

    // ---- Cut files (drawn grey and half transparent) -----------------------------------------
    const QSet<QString>& CutPaths() const { return cutPaths_; }
    void SetCutPaths(const QStringList& paths);
    // Drops the paths whose files are gone; empties the list when the clipboard no longer holds
    // the files as cut.
    void CheckCutList();

    // ---- Input from the view (points in client coordinates) -----------------------------------
    virtual void OnLButtonDown(QPoint client, Qt::KeyboardModifiers modifiers);
    virtual void OnLButtonUp(QPoint client, Qt::KeyboardModifiers modifiers);
    virtual void OnMouseMove(QPoint client, Qt::MouseButtons buttons);
    virtual void OnLButtonDblClk(QPoint client);
    virtual void ContextMenu(QPoint client, QPoint global);
    // True when the key was used.
    virtual bool OnKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // The view's 100 ms timer: selected names scroll, a band scrolls on.
    virtual void OnTimer();
    // The rubber band in content coordinates, or an empty rectangle.
    QRect BandRect() const;

    // ---- Painting ---------------------------------------------------------------------------
    // Paints the cells that meet `clip` (content coordinates; the painter is set up for them).
    // With more than 40 items the visible files that lack thumbnails go to the head of the
    // builder's queue (each once per listing).
    virtual void Draw(QPainter& painter, const QRect& clip, const QRect& visible);
    virtual void DrawItem(QPainter& painter, int index, const QRect& clip,
                          const ThumbnailPtr& thumb);
    // The name line of a cell; a basket writes its own details here.
    virtual void DrawItemName(QPainter& painter, int index, const QRect& cell, bool selected);
    CellFrameCache& FrameCache() { return frames_; }
    // The tooltip of the point (client coordinates); empty for none.
    virtual QString ToolTipAt(QPoint) const { return {}; }

    // ---- Commands ---------------------------------------------------------------------------
    // The menu for a context: kOneItem, kItems or kEmptySpace.
    virtual BrowserMenu ContextMenuFor(int menuNumber) const;
    virtual bool CommandEnabled(int id) const;
    // Runs a command; false when it is not the browser's.
    virtual bool OnCommand(int id);

    virtual void DoubleClick();
    virtual void Copy(bool cut);
    virtual bool CanPaste() const;
    virtual void Paste();
    virtual void DeleteSelected() {}
    virtual void ShowProperties() {}
    // In-place rename: opens the view's editor over the item's name; the editor ends with
    // CommitRename (Enter, or the focus leaving it) or nothing (Escape).
    void BeginRename(int index);
    virtual void CommitRename(int index, const QString& newName);
    // A press on the name of the only selected item renames it once a double-click can no longer
    // follow: after the desktop's double-click interval, or after `ms` (tests).
    void SetRenameDelay(int ms) { renameDelayMs_ = ms; }
    // The file `oldPath` was copied, moved or renamed to `newPath`.
    virtual void OnFileCopied(const QString& oldPath, const QString& newPath);
    // OnFileCopied for every file the operation gave a new path.
    void FilesChanged(const FileOpReport& report);

    // ---- Drag and drop ----------------------------------------------------------------------
    virtual void StartDrag();
    // The action a drop of the data would take here (IgnoreAction: refused).
    virtual Qt::DropAction DragOver(const QMimeData& data, Qt::KeyboardModifiers modifiers);
    // A drop; drops of the browser's own drag onto its own view move no file.
    virtual bool OnDrop(const QMimeData& data, Qt::KeyboardModifiers modifiers);
    virtual bool AcceptDroppedFiles(const QMimeData& data, Qt::DropAction action);
    bool DraggingFromHere() const { return ownDrag_; }

    // The thumbnail of a path from the cache (reading the folder's cache file when needed).
    ThumbnailPtr LookupThumbnail(const QString& path) const;

  signals:
    void selectionChanged();
    void listChanged();
    // A double-click on items: their paths.
    void itemsActivated(const QStringList& paths);

  protected:
    // Makes the item of a path (a derived browser makes its own kind).
    virtual std::unique_ptr<CItem> MakeItem(const QString& path);
    std::vector<std::unique_ptr<CItem>>& Items() { return items_; }
    // After the list changed: index, total size, the view's sizes and the builder's list.
    void ListReplaced(bool handToBuilder = true);
    void HandListToBuilder();
    void SortList(SortKey key);
    void InvalidateItem(int index);
    void InvalidateAll();
    int ItemAtClient(QPoint client) const;
    QPoint ToContent(QPoint client) const;
    void ScrollIntoView(int index);
    void PauseWatch();
    void ResumeWatch();
    // The selected paths, each image followed by its .wav companion where one exists.
    QStringList SelectedPathsWithCompanions() const;
    void Tell(const QString& message) const;

    QString clickedPath_;

  private:
    // A key that runs a command: whether it was used; nothing for the keys that move.
    std::optional<bool> OnCommandKey(int key, bool ctrl);
    // Arrows, pages, Home and End: the selection moves (Shift: grows) and is scrolled into view.
    bool MoveSelectionByKey(int key, bool shift);
    void OnThumbnailReady(const QString& path);
    void ScanInto(bool keepSelection, bool skipSmall);
    void Relist(bool keepSelection);
    void UpdateBand(QPoint client);
    void EndBand();
    void StepNames();
    void RebuildIndex();

    CThumbsBuilderThreads& builder_;
    SettingsModel& settings_;
    IThumbsHost* host_ = nullptr;
    IFolderWatch* watch_ = nullptr;
    IBrowserFileActions* actions_ = nullptr;

    QString location_;
    QString listedLocation_;   // the folder of the last full scan: a new one starts at the top
    QString locationProblem_;  // why the folder could not be listed
    std::vector<std::unique_ptr<CItem>> items_;
    QHash<QString, int> indexOfPath_;
    QStringList builderList_;
    SortKey sortKey_ = SortKey::Name;
    double totalSize_ = 0;
    bool prioritizeVisible_ = false;
    QSet<QString> cutPaths_;
    QSet<QString> prioritized_;  // visible files moved to the head of the queue since the listing
    CellFrameCache frames_;
    ThumbCellPainter painter_;

    // Mouse state.
    QPoint pressPoint_;  // client coordinates
    bool dragArmed_ = false;
    bool bandActive_ = false;
    QPoint bandAnchor_;   // content coordinates
    QPoint bandPointer_;  // client coordinates, the last pointer position
    bool pendingCtrlClick_ = false;
    bool ownDrag_ = false;
    int renameCandidate_ = -1;
    int renameDelayMs_ = -1;
};

// The browser of the browse window: thumbnails of image files, the cache kept in step with the
// files the browser copies, moves and renames, "Properties ..." and deleting files.
class CImgThumbsBrowser : public CThumbsBrowser {
    Q_OBJECT
  public:
    using CThumbsBrowser::CThumbsBrowser;

    void OnFileCopied(const QString& oldPath, const QString& newPath) override;
    void DeleteSelected() override;
    void ShowProperties() override;
    void ForgetClickedPath() { clickedPath_.clear(); }
    const QString& ClickedPath() const { return clickedPath_; }
};

}  // namespace orm
