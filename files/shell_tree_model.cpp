#include "files/shell_tree_model.h"

#include "imageio/native_path.h"

#include <QAbstractFileIconProvider>
#include <QDateTime>
#include <QDir>
#include <QIcon>
#include <QStandardPaths>
#include <QStorageInfo>

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>

namespace orm {
namespace {

// Entries looked at before a folder is taken to have subfolders without knowing.
constexpr int kSubfolderLookLimit = 2000;

QString JoinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString NameOf(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return name.isEmpty() ? path : name;
}

// Calls `visit` with the name of each shown folder of `folder` until it returns false.
template <class Visit>
void ForEachVisibleFolder(const QString& folder, Visit visit) {
    const QByteArray native = NativePath(folder);
    DIR* dir = ::opendir(native.constData());
    if (!dir)
        return;
    int looked = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            const QByteArray child = native + (native.endsWith('/') ? "" : "/") + entry->d_name;
            isFolder = ::stat(child.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        if (!visit(isFolder ? PathFromNative(entry->d_name) : QString(), ++looked))
            break;
    }
    ::closedir(dir);
}

// File managers' order: case ignored, runs of digits compared by their value ("c9" before
// "c10"). Written out because QCollator ignores both in the C locale.
int CompareNames(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype si = i, sj = j;
            while (i < a.size() && a[i].isDigit()) ++i;
            while (j < b.size() && b[j].isDigit()) ++j;
            QStringView x = QStringView(a).mid(si, i - si), y = QStringView(b).mid(sj, j - sj);
            while (x.size() > 1 && x.front() == u'0') x = x.mid(1);
            while (y.size() > 1 && y.front() == u'0') y = y.mid(1);
            if (x.size() != y.size())
                return x.size() < y.size() ? -1 : 1;
            if (const int order = x.compare(y))
                return order;
            continue;
        }
        const QChar x = a[i].toCaseFolded(), y = b[j].toCaseFolded();
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return QString::compare(a, b);  // a fixed order for names that differ only in case or zeros
}

QIcon ThemeIcon(const QString& name, QAbstractFileIconProvider::IconType fallback) {
    static const QAbstractFileIconProvider provider;
    return QIcon::fromTheme(name, provider.icon(fallback));
}

QIcon PlaceIcon(const ShellPlace& place) {
    if (place.kind == ShellNodeKind::Trash)
        return ThemeIcon(place.iconName, QAbstractFileIconProvider::Trashcan);
    if (place.iconName == QLatin1String("drive-harddisk"))
        return ThemeIcon(place.iconName, QAbstractFileIconProvider::Drive);
    return ThemeIcon(place.iconName, QAbstractFileIconProvider::Folder);
}

dev_t DeviceOf(const QString& path) {
    struct stat st {};
    return ::stat(NativePath(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

}  // namespace

std::vector<ShellPlace> ShellPlaces() {
    std::vector<ShellPlace> places;
    const QString home = QDir::homePath();
    const struct {
        QStandardPaths::StandardLocation location;
        const char* icon;
    } kUserFolders[] = {
        {QStandardPaths::PicturesLocation, "folder-pictures"},
        {QStandardPaths::DesktopLocation, "user-desktop"},
        {QStandardPaths::DocumentsLocation, "folder-documents"},
        {QStandardPaths::DownloadLocation, "folder-download"},
    };
    for (const auto& folder : kUserFolders) {
        const QString path = QStandardPaths::writableLocation(folder.location);
        if (!path.isEmpty() && path != home && IsFolder(path))
            places.push_back(
                {NameOf(path), path, ShellNodeKind::Folder, QLatin1String(folder.icon)});
    }
    places.push_back(
        {QStringLiteral("Home"), home, ShellNodeKind::Folder, QStringLiteral("user-home")});
    places.push_back({QStringLiteral("File System"), QStringLiteral("/"), ShellNodeKind::Folder,
                      QStringLiteral("drive-harddisk")});
    std::vector<ShellPlace> volumes;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() &&
            IsUserVolume(volume.rootPath(), volume.fileSystemType()))
            volumes.push_back({volume.displayName(), volume.rootPath(), ShellNodeKind::Folder,
                               QStringLiteral("drive-removable-media")});
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const auto& a, const auto& b) { return a.path < b.path; });
    places.insert(places.end(), volumes.begin(), volumes.end());
    places.push_back(
        {QStringLiteral("Trash"), QString(), ShellNodeKind::Trash, QStringLiteral("user-trash")});
    return places;
}

bool IsUserVolume(const QString& rootPath, const QByteArray& fileSystemType) {
    static const QByteArrayList kNetwork{"nfs",   "nfs4",       "cifs", "smb3",
                                         "smbfs", "fuse.sshfs", "9p"};
    static const QStringList kSystem{
        QStringLiteral("/proc"), QStringLiteral("/sys"),  QStringLiteral("/dev"),
        QStringLiteral("/run"),  QStringLiteral("/boot"), QStringLiteral("/snap"),
        QStringLiteral("/etc"),  QStringLiteral("/usr"),  QStringLiteral("/var")};
    if (rootPath == QLatin1String("/") || !IsFolder(rootPath))
        return false;
    for (const char* removable : {"/media/", "/run/media/", "/mnt/"}) {
        if (rootPath.startsWith(QLatin1String(removable)))
            return fileSystemType != "squashfs";
    }
    if (!kNetwork.contains(fileSystemType))
        return false;
    for (const QString& system : kSystem) {
        if (rootPath == system || rootPath.startsWith(system + QLatin1Char('/')))
            return false;
    }
    return true;
}

QStringList VisibleSubfolders(const QString& folder) {
    QStringList names;
    ForEachVisibleFolder(folder, [&](const QString& name, int) {
        if (!name.isEmpty())
            names << name;
        return true;
    });
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return CompareNames(a, b) < 0; });
    QStringList paths;
    for (const QString& name : names) paths << JoinPath(folder, name);
    return paths;
}

bool HasVisibleSubfolder(const QString& folder) {
    bool found = false;
    ForEachVisibleFolder(folder, [&](const QString& name, int looked) {
        found = !name.isEmpty() || looked >= kSubfolderLookLimit;
        return !found;
    });
    return found;
}

ShellTreeModel::ShellTreeModel(QObject* parent) : QStandardItemModel(parent) {}

QStandardItem* ShellTreeModel::MakeFolderItem(const QString& path) const {
    auto* item = new QStandardItem(
        ThemeIcon(QStringLiteral("folder"), QAbstractFileIconProvider::Folder), NameOf(path));
    item->setData(path, PathRole);
    item->setData(int(ShellNodeKind::Folder), KindRole);
    item->setData(false, FilledRole);
    item->setData(HasVisibleSubfolder(path), HasSubfoldersRole);
    item->setData(DeviceOf(path) == DeviceOf(FolderOf(path)), RenameableRole);
    item->setToolTip(path);
    return item;
}

void ShellTreeModel::SetPlaces(const std::vector<ShellPlace>& places) {
    QStandardItem* root = invisibleRootItem();
    auto sameNode = [](QStandardItem* item, const ShellPlace& place) {
        return item->data(PathRole).toString() == place.path &&
               item->data(KindRole).toInt() == int(place.kind) && item->text() == place.label;
    };
    for (int row = root->rowCount() - 1; row >= 0; --row) {
        QStandardItem* item = root->child(row);
        if (std::none_of(places.begin(), places.end(),
                         [&](const auto& p) { return sameNode(item, p); }))
            root->removeRow(row);
    }
    for (int i = 0; i < int(places.size()); ++i) {
        const ShellPlace& place = places[size_t(i)];
        if (i < root->rowCount() && sameNode(root->child(i), place)) {
            QStandardItem* kept = root->child(i);
            if (!kept->data(FilledRole).toBool())
                kept->setData(
                    place.kind == ShellNodeKind::Folder && HasVisibleSubfolder(place.path),
                    HasSubfoldersRole);
            continue;
        }
        auto* item = new QStandardItem(PlaceIcon(place), place.label);
        item->setData(place.path, PathRole);
        item->setData(int(place.kind), KindRole);
        item->setData(place.kind == ShellNodeKind::Trash, FilledRole);
        item->setData(place.kind == ShellNodeKind::Folder && HasVisibleSubfolder(place.path),
                      HasSubfoldersRole);
        item->setData(true, PlaceRole);
        item->setToolTip(place.path);
        root->insertRow(i, item);
    }
}

void ShellTreeModel::Fill(const QModelIndex& index) {
    QStandardItem* node = itemFromIndex(index);
    if (!node || IsTrash(index))
        return;
    const QStringList wanted = VisibleSubfolders(PathOf(index));
    for (int row = node->rowCount() - 1; row >= 0; --row) {
        if (!wanted.contains(node->child(row)->data(PathRole).toString()))
            node->removeRow(row);
    }
    for (int i = 0; i < wanted.size(); ++i) {
        QStandardItem* child = i < node->rowCount() ? node->child(i) : nullptr;
        if (child && child->data(PathRole).toString() == wanted[i]) {
            if (!child->data(FilledRole).toBool())
                child->setData(HasVisibleSubfolder(wanted[i]), HasSubfoldersRole);
            continue;
        }
        node->insertRow(i, MakeFolderItem(wanted[i]));
    }
    node->setData(true, FilledRole);
    node->setData(!wanted.isEmpty(), HasSubfoldersRole);
    node->setData(QDateTime::currentMSecsSinceEpoch(), ListedAtRole);
}

bool ShellTreeModel::IsTrash(const QModelIndex& index) const {
    return index.isValid() && index.data(KindRole).toInt() == int(ShellNodeKind::Trash);
}

QModelIndex ShellTreeModel::ChildWithPath(const QModelIndex& parent, const QString& path) const {
    for (int row = 0; row < rowCount(parent); ++row) {
        const QModelIndex child = index(row, 0, parent);
        if (PathOf(child) == path)
            return child;
    }
    return {};
}

Qt::ItemFlags ShellTreeModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QStandardItemModel::flags(index) & ~Qt::ItemIsEditable;
    if (index.isValid())
        flags |= Qt::ItemIsDropEnabled;
    if (CanRenameOrDelete(index))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool ShellTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole)
        return QStandardItemModel::setData(index, value, role);
    const QString name = value.toString();
    if (name == index.data(Qt::DisplayRole).toString())
        return false;
    if (!renameHandler || !renameHandler(index, name))
        return false;
    return true;
}

bool ShellTreeModel::hasChildren(const QModelIndex& parent) const {
    if (parent.isValid() && !parent.data(FilledRole).toBool())
        return parent.data(HasSubfoldersRole).toBool();
    return QStandardItemModel::hasChildren(parent);
}

bool ShellTreeModel::canFetchMore(const QModelIndex& parent) const {
    return parent.isValid() && !parent.data(FilledRole).toBool();
}

void ShellTreeModel::fetchMore(const QModelIndex& parent) {
    Fill(parent);
}

}  // namespace orm
