// The browser's commands and menus, the file actions through it (copy, paste, rename, delete),
// drags and drops, and the browse window's browser.

#include "browser/thumbs_browser.h"

#include "imageio/file_look.h"
#include "imageio/native_path.h"
#include "settings/settings_model.h"
#include "thumbnails/thumbnail_cache.h"

namespace orm {

// ---- Commands -------------------------------------------------------------------------------

BrowserMenu CThumbsBrowser::ContextMenuFor(int menuNumber) const {
    auto entry = [this](int id, const char* text) {
        MenuEntry e;
        e.id = id;
        e.text = QString::fromUtf8(text);
        e.enabled = CommandEnabled(id);
        e.checked = SortKeyOfCommand(id) >= 0 && SortKeyOfCommand(id) == int(sortKey_);
        return e;
    };
    MenuEntry sort;
    sort.text = QStringLiteral("Sort");
    sort.entries = {
        entry(cmd::kSortName, "&Name"),           entry(cmd::kSortDate, "&Date"),
        entry(cmd::kSortFormat, "&File Format"),  entry(cmd::kSortWidth, "Image &Width"),
        entry(cmd::kSortHeight, "Image &Height"), entry(cmd::kSortSize, "File &Size")};
    BrowserMenu menu;
    menu.number = menuNumber;
    if (menuNumber == menu::kEmptySpace) {
        menu.entries = {entry(cmd::kRefresh, "&Refresh"), entry(cmd::kPaste, "&Paste"),
                        MenuEntry::Separator(), entry(cmd::kSelectAll, "Select all"), sort};
        return menu;
    }
    menu.entries = {entry(cmd::kCopy, "&Copy"), entry(cmd::kCut, "Cu&t"),
                    entry(cmd::kPaste, "&Paste"), entry(cmd::kDelete, "&Delete")};
    if (menuNumber == menu::kOneItem)
        menu.entries.push_back(entry(cmd::kRename, "Rena&me"));
    menu.entries.push_back(MenuEntry::Separator());
    menu.entries.push_back(entry(cmd::kSelectAll, "Select all"));
    menu.entries.push_back(sort);
    if (menuNumber == menu::kOneItem) {
        menu.entries.push_back(MenuEntry::Separator());
        menu.entries.push_back(entry(cmd::kProperties, "Properties ..."));
    }
    return menu;
}

bool CThumbsBrowser::CommandEnabled(int id) const {
    if (SortKeyOfCommand(id) >= 0)
        return Count() > 1;
    switch (id) {
        case cmd::kSelectAll:
            return Count() > 0;
        case cmd::kRefresh:
            return !location_.isEmpty();
        case cmd::kPaste:
            return CanPaste();
        case cmd::kCopy:
        case cmd::kCut:
        case cmd::kDelete:
            return actions_ && SelectedCount() > 0;
        case cmd::kRename:
            return actions_ && SelectedCount() == 1;
        case cmd::kProperties:
            return !clickedPath_.isEmpty() || SelectedCount() == 1;
        default:
            return false;
    }
}

bool CThumbsBrowser::OnCommand(int id) {
    if (const int key = SortKeyOfCommand(id); key >= 0) {
        Sort(key);
        return true;
    }
    switch (id) {
        case cmd::kSelectAll:
            SelectAll();
            return true;
        case cmd::kRefresh:
            ReloadList();
            return true;
        case cmd::kPaste:
            Paste();
            return true;
        case cmd::kCopy:
            Copy(false);
            return true;
        case cmd::kCut:
            Copy(true);
            return true;
        case cmd::kDelete:
            DeleteSelected();
            return true;
        case cmd::kProperties:
            if (clickedPath_.isEmpty() && SelectedCount() == 1)
                clickedPath_ = SelectedPaths().value(0);
            ShowProperties();
            return true;
        case cmd::kRename:
            for (int i = 0; i < Count(); ++i)
                if (Item(i).selected) {
                    BeginRename(i);
                    break;
                }
            return true;
        default:
            return false;
    }
}

void CThumbsBrowser::ContextMenu(QPoint client, QPoint global) {
    renameCandidate_ = -1;
    const int index = ItemAtClient(client);
    int number = menu::kEmptySpace;
    if (index < 0) {
        if (SelectedCount() > 0) {
            ClearSelection();
            OnSelectionChanged();
        }
        clickedPath_.clear();
    } else {
        if (!Item(index).selected) {
            OnLButtonDown(client, Qt::NoModifier);
            OnLButtonUp(client, Qt::NoModifier);
        }
        clickedPath_ = Item(index).path;
        number = SelectedCount() == 1 ? menu::kOneItem : menu::kItems;
    }
    if (!host_)
        return;
    const int chosen = host_->ExecMenu(ContextMenuFor(number), global);
    if (chosen != 0 && CommandEnabled(chosen))
        OnCommand(chosen);
}

void CThumbsBrowser::BeginRename(int index) {
    if (!host_ || index < 0 || index >= Count())
        return;
    ScrollIntoView(index);
    host_->BeginRename(index, NameRect(ItemRect(index), painter_.NameLineHeight()),
                       Item(index).FileName());
}

void CThumbsBrowser::DoubleClick() {
    const QStringList paths = SelectedPaths();
    if (!paths.isEmpty())
        emit itemsActivated(paths);
}

void CThumbsBrowser::Tell(const QString& message) const {
    if (!message.isEmpty())
        settings_.Prompt().Warning(message);
}

void CThumbsBrowser::PauseWatch() {
    if (watch_)
        watch_->Pause();
}

void CThumbsBrowser::ResumeWatch() {
    if (watch_)
        watch_->Resume();
}

void CThumbsBrowser::Copy(bool cut) {
    if (!actions_)
        return;
    const QStringList paths = SelectedPathsWithCompanions();
    if (paths.isEmpty())
        return;
    actions_->PutOnClipboard(paths, cut);
    SetCutPaths(cut ? paths : QStringList());
}

bool CThumbsBrowser::CanPaste() const {
    return actions_ && !location_.isEmpty() && actions_->ClipboardHasFiles();
}

void CThumbsBrowser::Paste() {
    if (!CanPaste())
        return;
    PauseWatch();
    const FileActionOutcome outcome = actions_->Paste(location_);
    ResumeWatch();
    FilesChanged(outcome.report);
    if (!outcome.ok)
        Tell(outcome.message);
    CheckCutList();
    ReloadList();
}

void CThumbsBrowser::CommitRename(int index, const QString& newName) {
    if (index < 0 || index >= Count() || !actions_)
        return;
    const QString name = newName.trimmed();
    CItem& item = Item(index);
    // Linux names are case-sensitive: "a.jpg" to "A.jpg" is a new name.
    if (name.isEmpty() || name == item.FileName())
        return;
    const QString oldPath = item.path;
    const bool hadCompanion = !SoundCompanion(oldPath).isEmpty();
    PauseWatch();
    const FileActionOutcome outcome = actions_->Rename(oldPath, name);
    ResumeWatch();
    if (!outcome.ok || outcome.newPaths.isEmpty()) {
        Tell(outcome.message);
        return;
    }
    const QString newPath = outcome.newPaths.first();
    OnFileCopied(oldPath, newPath);
    if (cutPaths_.remove(oldPath))
        cutPaths_.insert(newPath);
    item.path = newPath;  // the selection follows the file into the new listing
    if (hadCompanion || !SoundCompanion(newPath).isEmpty()) {
        ReadFolder();
        return;
    }
    item.nameScroll = {};
    RebuildIndex();
    builderList_ = Paths();
    InvalidateItem(index);
    emit listChanged();
}

void CThumbsBrowser::OnFileCopied(const QString&, const QString&) {}

void CThumbsBrowser::FilesChanged(const FileOpReport& report) {
    for (const FilePathChange& change : report.FileChanges()) OnFileCopied(change.from, change.to);
}

// ---- Drag and drop --------------------------------------------------------------------------

void CThumbsBrowser::StartDrag() {
    if (!actions_ || !host_)
        return;
    const int index = ItemAtClient(pressPoint_);
    const ThumbnailPtr thumb = index < 0 ? nullptr : LookupThumbnail(Item(index).path);
    if (!thumb)
        return;
    const QStringList paths = SelectedPathsWithCompanions();
    if (paths.isEmpty())
        return;
    // A list that does not own its files gives copies only: a drop never moves a file out from
    // under it.
    const Qt::DropActions allowed = OwnsFiles() ? Qt::CopyAction | Qt::MoveAction : Qt::CopyAction;
    ownDrag_ = true;
    host_->ExecDrag(actions_->DragData(paths), allowed, painter_.Picture(thumb));
    ownDrag_ = false;
}

Qt::DropAction CThumbsBrowser::DragOver(const QMimeData& data, Qt::KeyboardModifiers modifiers) {
    if (!actions_ || location_.isEmpty() || !IsFolder(location_))
        return Qt::IgnoreAction;
    const QStringList files = actions_->DroppedFiles(data);
    if (files.isEmpty())
        return Qt::IgnoreAction;
    return actions_->DropActionFor(files, location_, modifiers);
}

bool CThumbsBrowser::OnDrop(const QMimeData& data, Qt::KeyboardModifiers modifiers) {
    if (ownDrag_)
        return false;  // onto the view it came from: no file moves
    const Qt::DropAction action = DragOver(data, modifiers);
    if (action == Qt::IgnoreAction)
        return false;
    const bool done = AcceptDroppedFiles(data, action);
    if (host_)
        host_->ContentSizeChanged();
    return done;
}

bool CThumbsBrowser::AcceptDroppedFiles(const QMimeData& data, Qt::DropAction action) {
    if (!actions_)
        return false;
    const QStringList files = actions_->DroppedFiles(data);
    if (files.isEmpty())
        return false;
    PauseWatch();
    const FileActionOutcome outcome =
        actions_->Transfer(files, location_, action == Qt::MoveAction);
    ResumeWatch();
    FilesChanged(outcome.report);
    if (!outcome.ok)
        Tell(outcome.message);
    ReloadList();
    return outcome.ok;
}

// ---- CImgThumbsBrowser ----------------------------------------------------------------------

void CImgThumbsBrowser::OnFileCopied(const QString& oldPath, const QString& newPath) {
    ThumbnailFollowsFile(Builder().cache(), oldPath, newPath);
}

void CImgThumbsBrowser::DeleteSelected() {
    IBrowserFileActions* actions = FileActions();
    const QStringList paths = SelectedPathsWithCompanions();
    if (!actions || paths.isEmpty())
        return;
    PauseWatch();
    const FileActionOutcome outcome = actions->Trash(paths);
    ResumeWatch();
    if (!outcome.ok)
        Tell(outcome.message);
    ReloadList();
}

void CImgThumbsBrowser::ShowProperties() {
    if (!clickedPath_.isEmpty() && Host())
        Host()->ShowImageInfo(clickedPath_);
}

}  // namespace orm
