#include "ui/shell_tree.h"

#include "browser/thumbnails_follow_files.h"
#include "files/file_clipboard.h"
#include "files/file_operations.h"
#include "imageio/native_path.h"
#include "settings/prompt.h"
#include "settings/settings_store.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QStandardPaths>

namespace orm::gui {
namespace {

// A node listed this recently is not listed again when it opens.
constexpr qint64 kRelistAfterMs = 1000;

QString CleanFolder(const QString& path) {
    QString clean = QDir::cleanPath(path);
    if (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    return clean;
}

bool IsInside(const QString& path, const QString& folder) {
    return path == folder ||
           path.startsWith(folder == QLatin1String("/") ? folder : folder + QLatin1Char('/'));
}

QString JoinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

ConsolePrompt& FallbackPrompt() {
    static ConsolePrompt prompt;
    return prompt;
}

}  // namespace

CShellTree::CShellTree(QWidget* parent)
    : QTreeView(parent), model_(std::make_unique<ShellTreeModel>()) {
    setModel(model_.get());
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    setAutoExpandDelay(700);
    model_->renameHandler = [this](const QModelIndex& index, const QString& name) {
        return RenameFolder(index, name);
    };
    model_->SetPlaces(ShellPlaces());
    // Opening a node again lists it again: folders made or removed meanwhile show. (A node opened
    // for the first time has just been listed.)
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        const qint64 listedAt = index.data(ShellTreeModel::ListedAtRole).toLongLong();
        if (!programSelects_ && index.data(ShellTreeModel::FilledRole).toBool() &&
            QDateTime::currentMSecsSinceEpoch() - listedAt >= kRelistAfterMs)
            model_->Fill(index);
    });
}

CShellTree::~CShellTree() {
    // The view lets go of the model before the model goes.
    setModel(nullptr);
}

IPrompt& CShellTree::Prompt() const {
    return prompt_ ? *prompt_ : FallbackPrompt();
}

QModelIndex CShellTree::IndexOfPath(const QString& path) const {
    const QString clean = CleanFolder(path);
    QModelIndex node;
    qsizetype best = -1;
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QModelIndex top = model_->index(row, 0);
        const QString place = model_->PathOf(top);
        if (!place.isEmpty() && IsInside(clean, place) && place.size() > best) {
            node = top;
            best = place.size();
        }
    }
    while (node.isValid() && model_->PathOf(node) != clean) {
        const QString base = model_->PathOf(node);
        const QString rest = clean.mid(base.size() + (base.endsWith(QLatin1Char('/')) ? 0 : 1));
        const QModelIndex child =
            model_->ChildWithPath(node, JoinPath(base, rest.section(QLatin1Char('/'), 0, 0)));
        if (!child.isValid())
            break;
        node = child;
    }
    return node;
}

bool CShellTree::SelectPath(const QString& path, bool announce) {
    const QString clean = CleanFolder(path);
    QModelIndex node = IndexOfPath(clean);
    if (!node.isValid())
        return false;
    // Open the way on from the deepest node already listed.
    programSelects_ = true;
    while (model_->PathOf(node) != clean) {
        model_->Fill(node);
        const QString base = model_->PathOf(node);
        const QString rest = clean.mid(base.size() + (base.endsWith(QLatin1Char('/')) ? 0 : 1));
        const QModelIndex child =
            model_->ChildWithPath(node, JoinPath(base, rest.section(QLatin1Char('/'), 0, 0)));
        if (!child.isValid())
            break;
        expand(node);
        node = child;
    }
    programSelects_ = false;
    SelectIndex(node, announce);
    scrollTo(node);
    return model_->PathOf(node) == clean;
}

void CShellTree::SelectIndex(const QModelIndex& index, bool announce) {
    if (announce && currentIndex() == index) {
        const QString path = model_->PathOf(index);
        if (!path.isEmpty())
            emit folderSelected(path);
        return;
    }
    programSelects_ = !announce;
    setCurrentIndex(index);
    programSelects_ = false;
}

QString CShellTree::SelectedPath() const {
    return model_->PathOf(currentIndex());
}

void CShellTree::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    // A picked folder shows the folders made in it meanwhile (and an arrow for them).
    if (current.isValid() && current.data(ShellTreeModel::FilledRole).toBool() &&
        QDateTime::currentMSecsSinceEpoch() -
                current.data(ShellTreeModel::ListedAtRole).toLongLong() >=
            kRelistAfterMs)
        model_->Fill(current);
    if (programSelects_ || !current.isValid())
        return;
    const QString path = model_->PathOf(current);
    if (!path.isEmpty())
        emit folderSelected(path);
}

void CShellTree::SaveSelection(SettingsStore& store) const {
    const QString path = SelectedPath();
    if (!path.isEmpty())
        store.Save(ShellTreeSettings{path});
}

bool CShellTree::RestoreSelection(const SettingsStore& store) {
    ShellTreeSettings stored;
    store.Load(stored);
    return !stored.selectedPath.isEmpty() && IsFolder(stored.selectedPath) &&
           SelectPath(stored.selectedPath);
}

QString CShellTree::SelectStartFolder(const SettingsStore& store, const QString& startFolder) {
    if (RestoreSelection(store))
        return SelectedPath();
    if (!startFolder.isEmpty() && IsFolder(startFolder) && SelectPath(startFolder))
        return SelectedPath();
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && IsFolder(pictures) && SelectPath(pictures))
        return SelectedPath();
    SelectPath(QDir::homePath());
    return SelectedPath();
}

void CShellTree::UpdatePlaces() {
    programSelects_ = true;
    model_->SetPlaces(ShellPlaces());
    programSelects_ = false;
}

void CShellTree::showEvent(QShowEvent* event) {
    QTreeView::showEvent(event);
    UpdatePlaces();
}

void CShellTree::TellFailures(const FileOpReport& report, const QString& what) {
    const QStringList failures = report.Failures();
    if (!failures.isEmpty())
        Prompt().Warning(what + QStringLiteral("\n\n") + failures.join(QLatin1Char('\n')));
}

void CShellTree::RefillAndSelect(const QString& parentPath, const QString& path, bool announce) {
    programSelects_ = true;
    const QModelIndex parent = IndexOfPath(parentPath);
    if (parent.isValid() && model_->PathOf(parent) == CleanFolder(parentPath))
        model_->Fill(parent);
    programSelects_ = false;
    if (!path.isEmpty())
        SelectPath(path, announce);
}

bool CShellTree::RenameFolder(const QModelIndex& index, const QString& newName) {
    if (!model_->CanRenameOrDelete(index))
        return false;
    const QString oldPath = model_->PathOf(index);
    const FileOpReport report = RenameFile(oldPath, newName, FileOpContext{monitor_, {}});
    if (cache_)
        ThumbnailsFollow(*cache_, report);
    if (!report.Succeeded() || report.entries.empty()) {
        TellFailures(report, QStringLiteral("The folder cannot be renamed:"));
        return false;
    }
    const QString newPath = report.entries.front().result;
    // The selection follows the folder, or a folder inside it, under its new name.
    const QString selected = SelectedPath();
    QString follow;
    if (!selected.isEmpty() && IsInside(selected, oldPath))
        follow = newPath + selected.mid(oldPath.size());
    // Not now: the label's editor is still committing to the node that goes.
    QMetaObject::invokeMethod(
        this,
        [this, parent = FolderOf(oldPath), follow] {
            RefillAndSelect(parent, follow, !follow.isEmpty());
        },
        Qt::QueuedConnection);
    return true;
}

bool CShellTree::DeleteSelectedFolder() {
    const QModelIndex index = currentIndex();
    if (!model_->CanRenameOrDelete(index))
        return false;
    const QString path = model_->PathOf(index);
    const FileOpReport report = TrashFiles({path}, FileOpContext{monitor_, {}});
    if (cache_)
        ThumbnailsFollow(*cache_, report);
    if (!report.Succeeded() || report.entries.empty()) {
        TellFailures(report, QStringLiteral("The folder cannot be moved to the Trash:"));
        return false;
    }
    const QModelIndex parent = index.parent();
    const int row = index.row();
    QModelIndex neighbour = model_->index(row + 1, 0, parent);
    if (!neighbour.isValid())
        neighbour = row > 0 ? model_->index(row - 1, 0, parent) : parent;
    const QPersistentModelIndex next(neighbour);
    programSelects_ = true;
    model_->removeRow(row, parent);
    programSelects_ = false;
    if (next.isValid())
        SelectIndex(next, true);
    return true;
}

bool CShellTree::DropFiles(const QModelIndex& index, const QStringList& files,
                           Qt::DropAction action) {
    if (!index.isValid() || files.isEmpty())
        return false;
    // The monitor stays on: the browser should see files leave or arrive.
    const FileOpContext context{nullptr, {}};
    FileOpReport report;
    if (model_->IsTrash(index)) {
        report = TrashFiles(files, context);
    } else {
        const QString folder = model_->PathOf(index);
        if (folder.isEmpty())
            return false;
        report = action == Qt::MoveAction ? MoveFiles(files, folder, context)
                                          : CopyFiles(files, folder, context);
    }
    if (cache_)
        ThumbnailsFollow(*cache_, report);
    // Folders may have arrived at the node and left their own.
    QStringList touched;
    if (!model_->IsTrash(index))
        touched << model_->PathOf(index);
    if (action == Qt::MoveAction || model_->IsTrash(index)) {
        for (const QString& file : files) touched << FolderOf(file);
    }
    touched.removeDuplicates();
    programSelects_ = true;
    for (const QString& folder : touched) {
        const QModelIndex node = IndexOfPath(folder);
        if (node.isValid() && model_->PathOf(node) == CleanFolder(folder) &&
            node.data(ShellTreeModel::FilledRole).toBool())
            model_->Fill(node);
    }
    programSelects_ = false;
    TellFailures(report, model_->IsTrash(index)
                             ? QStringLiteral("Not everything could be moved to the Trash:")
                         : action == Qt::MoveAction
                             ? QStringLiteral("Not everything could be moved:")
                             : QStringLiteral("Not everything could be copied:"));
    return true;
}

void CShellTree::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && state() != QAbstractItemView::EditingState) {
        DeleteSelectedFolder();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CShellTree::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid())
        return;
    // The commands work on the selected node, as the keys do.
    setCurrentIndex(index);
    QMenu menu(this);
    QAction* rename = menu.addAction(QStringLiteral("Rename"));
    QAction* remove = menu.addAction(QStringLiteral("Delete"));
    remove->setData(kIdShellTreeDelete);
    rename->setEnabled(model_->CanRenameOrDelete(index));
    remove->setEnabled(model_->CanRenameOrDelete(index));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == rename)
        edit(index);
    else if (chosen == remove)
        DeleteSelectedFolder();
}

QModelIndex CShellTree::DropTargetAt(const QPoint& position, const QMimeData* data) const {
    const QModelIndex index = indexAt(position);
    if (!index.isValid() || !HasFiles(data))
        return {};
    if (model_->IsTrash(index))
        return index;
    const QString path = model_->PathOf(index);
    return !path.isEmpty() && IsFolder(path) ? index : QModelIndex();
}

void CShellTree::HighlightDropTarget(const QModelIndex& index) {
    if (dropTarget_ == QPersistentModelIndex(index))
        return;
    if (dropTarget_.isValid())
        model_->setData(dropTarget_, QVariant(), Qt::BackgroundRole);
    dropTarget_ = index;
    if (index.isValid()) {
        QColor colour = palette().color(QPalette::Highlight);
        colour.setAlpha(90);
        model_->setData(index, colour, Qt::BackgroundRole);
    }
}

void CShellTree::dragEnterEvent(QDragEnterEvent* event) {
    if (!HasFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    // The view's dragging state opens a node the pointer rests on.
    setState(QAbstractItemView::DraggingState);
    event->acceptProposedAction();
}

void CShellTree::dragMoveEvent(QDragMoveEvent* event) {
    // Scrolling at the edges and opening nodes; it refuses the drop itself (the model takes
    // none of Qt's own item formats), which is decided here instead.
    QTreeView::dragMoveEvent(event);
    const QPoint position = event->position().toPoint();
    const QModelIndex target = DropTargetAt(position, event->mimeData());
    HighlightDropTarget(target);
    if (!target.isValid()) {
        event->ignore(visualRect(indexAt(position)));
        return;
    }
    const Qt::DropAction action = model_->IsTrash(target)
                                      ? Qt::MoveAction
                                      : DropActionFor(FilesOfMimeData(event->mimeData()).paths,
                                                      model_->PathOf(target), event->modifiers());
    event->setDropAction(action);
    event->accept(visualRect(target));
}

void CShellTree::dragLeaveEvent(QDragLeaveEvent* event) {
    HighlightDropTarget({});
    QTreeView::dragLeaveEvent(event);
}

void CShellTree::dropEvent(QDropEvent* event) {
    HighlightDropTarget({});
    stopAutoScroll();
    setState(QAbstractItemView::NoState);
    const QModelIndex target = DropTargetAt(event->position().toPoint(), event->mimeData());
    if (!target.isValid()) {
        event->ignore();
        return;
    }
    const QStringList files = FilesOfMimeData(event->mimeData()).paths;
    const Qt::DropAction action =
        model_->IsTrash(target) ? Qt::MoveAction
                                : DropActionFor(files, model_->PathOf(target), event->modifiers());
    event->setDropAction(action);
    event->accept();
    // After the drag has ended: the giver is not kept waiting while files are copied, and
    // messages may show.
    QMetaObject::invokeMethod(
        this,
        [this, node = QPersistentModelIndex(target), files, action] {
            DropFiles(node, files, action);
        },
        Qt::QueuedConnection);
}

}  // namespace orm::gui
