#pragma once
// The folder tree in the left column of the browse window. Picking a folder tells the window
// (`folderSelected`), which points the browser at it through the folder monitor; the Trash
// node gives no folder. The tree remembers its folder between runs (SHELLTREE/PIDL), lets the
// user rename a folder in place (F2, or a click on the selected label) and move it to the
// Trash (Delete), and takes files dropped on a folder (moved on the same file system, copied
// otherwise; Ctrl copies, Shift moves) or on the Trash (moved there).

#include "files/shell_tree_model.h"

#include <QPersistentModelIndex>
#include <QTreeView>

#include <memory>

namespace orm {
class CFolderMonitor;
class IPrompt;
class SettingsStore;
class ThumbnailCache;
struct FileOpReport;
}  // namespace orm

namespace orm::gui {

// Command id of "Delete" in the tree's menu.
inline constexpr int kIdShellTreeDelete = 33043;

class CShellTree : public QTreeView {
    Q_OBJECT
  public:
    explicit CShellTree(QWidget* parent = nullptr);
    ~CShellTree() override;

    // What the tree's own file operations use; none is owned and each may stay unset. The
    // monitor is paused while the tree renames or deletes a folder, the cache follows the files,
    // failures are told through the prompt (the console when unset).
    void SetFolderMonitor(CFolderMonitor* monitor) { monitor_ = monitor; }
    void SetThumbnailCache(ThumbnailCache* cache) { cache_ = cache; }
    void SetPrompt(IPrompt* prompt) { prompt_ = prompt; }

    ShellTreeModel& Model() { return *model_; }

    // Opens the nodes along `path` and selects the deepest one that lies on it; true when that
    // is the path itself. With `announce` the selection is handed over like the user's.
    bool SelectPath(const QString& path, bool announce = false);
    // The folder of the selected node; empty for none or the Trash.
    QString SelectedPath() const;

    // SHELLTREE/PIDL: the selected folder.
    void SaveSelection(SettingsStore& store) const;
    // Selects the stored folder; false when nothing is stored or it is gone.
    bool RestoreSelection(const SettingsStore& store);
    // At the start of the browse window: the stored folder, else `startFolder` (the settings'
    // folder), else Pictures, else the home folder. Returns the folder selected.
    QString SelectStartFolder(const SettingsStore& store, const QString& startFolder);

    // The commands; both report failures through the prompt.
    bool RenameFolder(const QModelIndex& index, const QString& newName);
    bool DeleteSelectedFolder();
    // Files dropped on a node (a folder or the Trash) with the given action; false when the
    // node takes no files.
    bool DropFiles(const QModelIndex& index, const QStringList& files, Qt::DropAction action);

    // The places again (volumes come and go); nodes that stay keep their state.
    void UpdatePlaces();

  signals:
    // The user picked a folder.
    void folderSelected(const QString& path);

  protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // The node under a drag that takes files, or an invalid index.
    QModelIndex DropTargetAt(const QPoint& position, const QMimeData* data) const;
    void HighlightDropTarget(const QModelIndex& index);
    void SelectIndex(const QModelIndex& index, bool announce);
    void RefillAndSelect(const QString& parentPath, const QString& path, bool announce);
    QModelIndex IndexOfPath(const QString& path) const;
    void TellFailures(const FileOpReport& report, const QString& what);
    IPrompt& Prompt() const;

    std::unique_ptr<ShellTreeModel> model_;
    CFolderMonitor* monitor_ = nullptr;
    ThumbnailCache* cache_ = nullptr;
    IPrompt* prompt_ = nullptr;
    bool programSelects_ = false;  // a selection of the program's own is not handed over
    QPersistentModelIndex dropTarget_;
};

}  // namespace orm::gui
