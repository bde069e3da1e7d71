#pragma once
// The nodes of the folder tree: the places at the top (the XDG user folders with Pictures
// first, the home folder, the file system's root, mounted volumes and the Trash) and, below
// each, its folders, listed when the node is first opened and merged again on every later
// opening. Hidden folders (a name starting with ".") are not shown.

#include <QStandardItemModel>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace orm {

enum class ShellNodeKind { Folder, Trash };

struct ShellPlace {
    QString label;
    QString path;  // empty for the Trash
    ShellNodeKind kind = ShellNodeKind::Folder;
    QString iconName;  // an icon of the desktop's theme

    bool operator==(const ShellPlace&) const = default;
};

// The top nodes: Pictures, Desktop, Documents, Downloads (those that exist and are not the home
// folder itself), the home folder, "/", the volumes IsUserVolume accepts, the Trash.
std::vector<ShellPlace> ShellPlaces();
// Whether a mounted file system is one the user keeps files on: a disk or stick mounted under
// /media, /run/media or /mnt, or a network share; not the root, system mounts or single files.
bool IsUserVolume(const QString& rootPath, const QByteArray& fileSystemType);
// The folders in `folder` the tree shows (links to folders included), sorted as file managers
// sort them (case ignored, numbers by value).
QStringList VisibleSubfolders(const QString& folder);
// Whether VisibleSubfolders would list anything; true as well when the folder is too large to
// look through quickly.
bool HasVisibleSubfolder(const QString& folder);

class ShellTreeModel : public QStandardItemModel {
    Q_OBJECT
  public:
    enum Role {
        PathRole = Qt::UserRole + 1,
        KindRole,
        FilledRole,         // the folders below have been listed
        HasSubfoldersRole,  // before that: whether there are any
        PlaceRole,          // a top node
        RenameableRole,     // a folder below the places that is not a mount point
        ListedAtRole,       // when the folders below were listed (ms since 1970)
    };

    explicit ShellTreeModel(QObject* parent = nullptr);

    // Makes the top nodes the places, keeping the nodes of places that stay.
    void SetPlaces(const std::vector<ShellPlace>& places);
    // Lists the folders below the node, merged with what it shows: gone folders are removed, new
    // ones inserted in order, the others kept (with their own children).
    void Fill(const QModelIndex& index);

    QString PathOf(const QModelIndex& index) const { return index.data(PathRole).toString(); }
    bool IsTrash(const QModelIndex& index) const;
    bool IsPlace(const QModelIndex& index) const { return index.data(PlaceRole).toBool(); }
    // The child of `parent` (the top level for an invalid index) showing `path`.
    QModelIndex ChildWithPath(const QModelIndex& parent, const QString& path) const;
    // Folders below the places, except mount points, may be renamed and deleted.
    bool CanRenameOrDelete(const QModelIndex& index) const {
        return index.data(RenameableRole).toBool();
    }

    // Renames the node's folder when its label is edited; returns whether it did. The label
    // changes only then.
    std::function<bool(const QModelIndex& index, const QString& newName)> renameHandler;

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

  private:
    QStandardItem* MakeFolderItem(const QString& path) const;
};

}  // namespace orm
