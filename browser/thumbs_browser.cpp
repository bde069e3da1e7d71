#include "browser/thumbs_browser.h"

#include "browser/folder_scan.h"
#include "files/file_operations.h"
#include "imageio/file_look.h"
#include "imageio/native_path.h"
#include "settings/settings_model.h"
#include "thumbnails/thumbnail_loader.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QStyleHints>
#include <QTimer>

#include <algorithm>
#include <ctime>

namespace orm {

namespace {

constexpr int kPrioritizeAbove = 40;         // listings of more items serve visible cells first
constexpr int64_t kSmallestListedSize = 15;  // a folder scan leaves out files of this size or less
constexpr int kNameScrollStep = 5;

// The wait cursor while the folder is listed (only where there is a screen to show it on).
class WaitCursor {
  public:
    WaitCursor() : shown_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (shown_)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor() {
        if (shown_)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    bool shown_;
};

// The first browser of a cache reads the cache's index (and cleans it up); the last one to go
// saves it. The cache may be shared by several browsers (the browse window and the basket).
QHash<ThumbnailCache*, int>& CacheUsers() {
    static QHash<ThumbnailCache*, int> users;
    return users;
}

void FirstUserOpens(ThumbnailCache& cache) {
    if (CacheUsers()[&cache]++ > 0)
        return;
    auto access = cache.Lock();
    access->Load(DefaultOldThumbnailCacheFile());
    access->StartupCleanup(int64_t(std::time(nullptr)));
}

void LastUserCloses(ThumbnailCache& cache) {
    auto it = CacheUsers().find(&cache);
    if (it == CacheUsers().end() || --it.value() > 0)
        return;
    CacheUsers().erase(it);
    cache.Lock()->Shutdown();
}

bool IsMultiSelectKey(Qt::KeyboardModifiers m, Qt::KeyboardModifier which) {
    return (m & which) != 0;
}

}  // namespace

// ---- Construction ---------------------------------------------------------------------------

CThumbsBrowser::CThumbsBrowser(CThumbsBuilderThreads& builder, SettingsModel& settings,
                               QObject* parent)
    : QObject(parent),
      builder_(builder),
      settings_(settings),
      sortKey_(SortKeyFromInt(settings.Browser().sortKey)) {
    // Builder threads emit; the browser's thread handles.
    connect(this, &CThumbsBrowser::thumbnailReady, this, &CThumbsBrowser::OnThumbnailReady,
            Qt::QueuedConnection);
    FirstUserOpens(builder_.cache());
    builder_.AddListener(this);
}

CThumbsBrowser::~CThumbsBrowser() {
    // Returns once no Update runs on this browser; posted notifications die with the object.
    builder_.RemoveListener(this);
    LastUserCloses(builder_.cache());
}

void CThumbsBrowser::SetHost(IThumbsHost* host) {
    const bool first = host_ == nullptr && host != nullptr;
    host_ = host;
    if (first)
        ReloadList();
}

std::unique_ptr<CItem> CThumbsBrowser::MakeItem(const QString& path) {
    return std::make_unique<CItem>(path);
}

// ---- The list -------------------------------------------------------------------------------

void CThumbsBrowser::SetLocation(const QString& folder) {
    QString f = folder;
    while (f.size() > 1 && f.endsWith(QLatin1Char('/'))) f.chop(1);
    location_ = f;
}

int CThumbsBrowser::IndexOf(const QString& path) const {
    return indexOfPath_.value(path, -1);
}

QStringList CThumbsBrowser::Paths() const {
    QStringList paths;
    paths.reserve(qsizetype(items_.size()));
    for (const auto& item : items_) paths.append(item->path);
    return paths;
}

void CThumbsBrowser::RebuildIndex() {
    indexOfPath_.clear();
    indexOfPath_.reserve(qsizetype(items_.size()));
    for (size_t i = 0; i < items_.size(); ++i) indexOfPath_.insert(items_[i]->path, int(i));
}

void CThumbsBrowser::SortList(SortKey key) {
    std::vector<CItem*> order;
    order.reserve(items_.size());
    for (auto& item : items_) order.push_back(item.get());
    ImageSizeLookup sizes;
    QHash<QString, QSize> known;
    if (SortKeyNeedsImageSize(key)) {
        // One hold of the cache lock for all items, none while sorting.
        auto access = builder_.cache().Lock();
        for (const CItem* item : order) {
            if (const ThumbnailPtr thumb = access->Lookup(item->path))
                known.insert(item->path, QSize(thumb->imageWidth, thumb->imageHeight));
        }
        sizes = [&known](const QString& path) { return known.value(path); };
    }
    SortItems(order, key, sizes);
    std::vector<std::unique_ptr<CItem>> sorted;
    sorted.reserve(items_.size());
    // Each item is released from its old place exactly once: the order holds every item once.
    QHash<CItem*, size_t> place;
    place.reserve(qsizetype(items_.size()));
    for (size_t i = 0; i < items_.size(); ++i) place.insert(items_[i].get(), i);
    for (CItem* item : order) sorted.push_back(std::move(items_[place.value(item)]));
    items_ = std::move(sorted);
    RebuildIndex();
}

void CThumbsBrowser::ScanInto(bool keepSelection, bool skipSmall) {
    QSet<QString> wasSelected;
    if (keepSelection) {
        for (const auto& item : items_)
            if (item->selected)
                wasSelected.insert(item->path);
    }
    items_.clear();
    builderList_.clear();
    totalSize_ = 0;
    prioritizeVisible_ = false;
    if (!location_.isEmpty()) {
        FolderScanOptions options;
        options.maxSkippedSize = skipSmall ? kSmallestListedSize : -1;
        std::vector<ScannedFile> files = ScanFolder(location_, options);
        items_.reserve(files.size());
        for (ScannedFile& file : files) {
            std::unique_ptr<CItem> item = MakeItem(file.path);
            item->SetFacts(file.facts);
            item->selected = wasSelected.contains(file.path) ? 1 : 0;
            totalSize_ += file.facts.size;
            items_.push_back(std::move(item));
        }
    }
    RebuildIndex();
}

void CThumbsBrowser::ReadFolder() {
    WaitCursor wait;
    CheckCutList();
    ScanInto(/*keepSelection=*/true, /*skipSmall=*/true);
    if (location_.isEmpty()) {
        InvalidateAll();
        if (host_) {
            host_->ContentSizeChanged();
            host_->UpdateNow();
        }
        emit listChanged();
        return;
    }
    SortList(sortKey_);
    ListReplaced();
}

void CThumbsBrowser::ReloadList() {
    ScanInto(/*keepSelection=*/false, /*skipSmall=*/false);
    // Image sizes exist only once thumbnails have been made: those keys keep the folder's order.
    if (!SortKeyNeedsImageSize(sortKey_))
        SortList(sortKey_);
    WaitCursor wait;
    // Nothing browsed yet (a view's first update): the builder keeps what others gave it.
    ListReplaced(/*handToBuilder=*/!location_.isEmpty());
}

void CThumbsBrowser::ListReplaced(bool handToBuilder) {
    RebuildIndex();
    prioritizeVisible_ = Count() > kPrioritizeAbove;
    totalSize_ = 0;
    for (auto& item : items_) totalSize_ += item->Facts().size;
    if (host_) {
        host_->ContentSizeChanged();
        host_->InvalidateAll();
        host_->UpdateNow();
    }
    if (handToBuilder)
        HandListToBuilder();
    emit listChanged();
}

void CThumbsBrowser::HandListToBuilder() {
    prioritized_.clear();
    builderList_ = Paths();
    builder_.SetList(builderList_);
}

void CThumbsBrowser::Sort(int key) {
    sortKey_ = SortKeyFromInt(key);
    SortList(sortKey_);
    InvalidateAll();
}

// ---- Layout ---------------------------------------------------------------------------------

int CThumbsBrowser::Zoom() const {
    return std::clamp(settings_.Browser().iconsZoom, 10, 400);
}

QSize CThumbsBrowser::CellSize() const {
    return CellSizeForZoom(Zoom());
}

ThumbsLayout CThumbsBrowser::Layout() const {
    return ThumbsLayout(Mode(), CellSize(), host_ ? host_->ClientSize() : QSize(), Count());
}

void CThumbsBrowser::ZoomChanged() {
    for (auto& item : items_) item->nameScroll = {};
    if (host_)
        host_->ContentSizeChanged();
    InvalidateAll();
}

QPoint CThumbsBrowser::ToContent(QPoint client) const {
    return host_ ? client + host_->ScrollPosition() : client;
}

int CThumbsBrowser::ItemAtClient(QPoint client) const {
    return Layout().ItemAt(ToContent(client));
}

void CThumbsBrowser::InvalidateItem(int index) {
    if (host_ && index >= 0 && index < Count())
        host_->InvalidateContent(ItemRect(index).adjusted(-3, -3, 3, 3));
}

void CThumbsBrowser::InvalidateAll() {
    if (host_)
        host_->InvalidateAll();
}

void CThumbsBrowser::ScrollIntoView(int index) {
    if (!host_ || index < 0 || index >= Count())
        return;
    const QRect cell = ItemRect(index);
    const QPoint scroll = host_->ScrollPosition();
    const int clientHeight = host_->ClientSize().height();
    if (Mode() == LayoutMode::SingleRow) {
        const int clientWidth = host_->ClientSize().width();
        if (cell.left() < scroll.x())
            host_->ScrollTo({cell.left(), scroll.y()});
        else if (cell.left() + cell.width() > scroll.x() + clientWidth)
            host_->ScrollTo({cell.left() + cell.width() - clientWidth, scroll.y()});
        return;
    }
    if (cell.top() < scroll.y())
        host_->ScrollTo({scroll.x(), cell.top()});
    else if (cell.top() + cell.height() > scroll.y() + clientHeight)
        host_->ScrollTo({scroll.x(), cell.top() + cell.height() - clientHeight});
}

// ---- Selection ------------------------------------------------------------------------------

QStringList CThumbsBrowser::SelectedPaths() const {
    QStringList paths;
    for (const auto& item : items_)
        if (item->selected)
            paths.append(item->path);
    return paths;
}

int CThumbsBrowser::SelectedCount() const {
    return int(std::count_if(items_.begin(), items_.end(),
                             [](const auto& item) { return item->selected != 0; }));
}

void CThumbsBrowser::SetSelected(int index, bool selected) {
    if (index < 0 || index >= Count())
        return;
    CItem& item = Item(index);
    if ((item.selected != 0) == selected)
        return;
    item.selected = selected ? 1 : 0;
    item.nameScroll.offset = 0;
    InvalidateItem(index);
}

void CThumbsBrowser::ClearSelection() {
    for (int i = 0; i < Count(); ++i) SetSelected(i, false);
}

void CThumbsBrowser::SelectAll() {
    for (int i = 0; i < Count(); ++i) SetSelected(i, true);
    if (host_)
        host_->UpdateNow();
    OnSelectionChanged();
}

void CThumbsBrowser::SelectRange(int from, int to) {
    if (from > to)
        std::swap(from, to);
    for (int i = 0; i < Count(); ++i) SetSelected(i, i >= from && i <= to);
}

void CThumbsBrowser::OnSelectionChanged() {
    emit selectionChanged();
}

QStringList CThumbsBrowser::SelectedPathsWithCompanions() const {
    QStringList paths;
    for (const auto& item : items_) {
        if (!item->selected)
            continue;
        paths.append(item->path);
        if (const QString wav = SoundCompanion(item->path); !wav.isEmpty())
            paths.append(wav);
    }
    return paths;
}

// ---- Cut files ------------------------------------------------------------------------------

void CThumbsBrowser::SetCutPaths(const QStringList& paths) {
    const bool wasEmpty = cutPaths_.isEmpty();
    cutPaths_ = QSet<QString>(paths.begin(), paths.end());
    if (!(wasEmpty && cutPaths_.isEmpty()))
        InvalidateAll();
}

void CThumbsBrowser::CheckCutList() {
    if (cutPaths_.isEmpty())
        return;
    const QStringList onClipboard = actions_ ? actions_->ClipboardCutFiles() : QStringList();
    if (onClipboard.isEmpty()) {
        SetCutPaths({});
        return;
    }
    QStringList kept;
    for (const QString& path : std::as_const(cutPaths_))
        if (PathEntryExists(path))
            kept.append(path);
    if (kept.size() != cutPaths_.size())
        SetCutPaths(kept);
}

// ---- Mouse ----------------------------------------------------------------------------------

void CThumbsBrowser::OnLButtonDown(QPoint client, Qt::KeyboardModifiers modifiers) {
    renameCandidate_ = -1;
    const int index = ItemAtClient(client);
    const bool ctrl = IsMultiSelectKey(modifiers, Qt::ControlModifier);
    const bool shift = IsMultiSelectKey(modifiers, Qt::ShiftModifier);
    if (index >= 0 && !ctrl && !shift && SelectedCount() == 1 && Item(index).selected &&
        NameRect(ItemRect(index), painter_.NameLineHeight()).contains(ToContent(client))) {
        // A press on the name of the only selected item renames it, unless it turns out to be the
        // first half of a double-click or the start of a drag.
        renameCandidate_ = index;
        pressPoint_ = client;
        dragArmed_ = true;
        return;
    }
    bool changed = false;
    if (ctrl) {
        pendingCtrlClick_ = true;
    } else if (shift) {
        if (index >= 0) {
            int anchor = 0;
            for (int i = 0; i < Count(); ++i)
                if (Item(i).selected) {
                    anchor = i;
                    break;
                }
            SelectRange(anchor, index);
            changed = true;
        }
    } else if (index >= 0 && !Item(index).selected) {
        ClearSelection();
        SetSelected(index, true);
        changed = true;
    }
    if (index >= 0) {
        pressPoint_ = client;
        dragArmed_ = true;
    } else {
        if (SelectedCount() > 0) {
            ClearSelection();
            changed = true;
        }
        bandActive_ = true;
        bandAnchor_ = ToContent(client);
        bandPointer_ = client;
    }
    if (changed)
        OnSelectionChanged();
}

void CThumbsBrowser::OnMouseMove(QPoint client, Qt::MouseButtons buttons) {
    if (!(buttons & Qt::LeftButton)) {
        dragArmed_ = false;
        if (bandActive_)
            EndBand();
        return;
    }
    if (dragArmed_) {
        const QPoint d = client - pressPoint_;
        if (d.x() < -2 || d.x() > 1 || d.y() < -2 || d.y() > 1) {
            dragArmed_ = false;
            renameCandidate_ = -1;
            StartDrag();
        }
        return;
    }
    if (bandActive_)
        UpdateBand(client);
}

void CThumbsBrowser::OnLButtonUp(QPoint client, Qt::KeyboardModifiers modifiers) {
    dragArmed_ = false;
    if (bandActive_) {
        EndBand();
        return;
    }
    if (renameCandidate_ >= 0) {
        // Renaming starts once a double-click can no longer follow.
        const int index = renameCandidate_;
        const QString path = Item(index).path;
        int interval = 400;
        if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            interval = app->styleHints()->mouseDoubleClickInterval();
        QTimer::singleShot(
            renameDelayMs_ >= 0 ? renameDelayMs_ : interval, this, [this, index, path] {
                if (renameCandidate_ == index && index < Count() && Item(index).path == path) {
                    renameCandidate_ = -1;
                    BeginRename(index);
                }
            });
        return;
    }
    const int index = ItemAtClient(client);
    if (pendingCtrlClick_) {
        pendingCtrlClick_ = false;
        if (index >= 0) {
            SetSelected(index, !Item(index).selected);
            OnSelectionChanged();
        }
    } else if (!IsMultiSelectKey(modifiers, Qt::ShiftModifier) && index >= 0) {
        if (SelectedCount() != 1 || !Item(index).selected) {
            for (int i = 0; i < Count(); ++i) SetSelected(i, i == index);
            OnSelectionChanged();
        }
    }
}

void CThumbsBrowser::OnLButtonDblClk(QPoint client) {
    renameCandidate_ = -1;
    if (ItemAtClient(client) >= 0)
        DoubleClick();
}

QRect CThumbsBrowser::BandRect() const {
    if (!bandActive_)
        return {};
    return QRect(bandAnchor_, ToContent(bandPointer_)).normalized();
}

void CThumbsBrowser::UpdateBand(QPoint client) {
    const QRect before = BandRect();
    bandPointer_ = client;
    if (host_) {
        const int line = std::max(1, CellSize().height() / 4);
        const QPoint scroll = host_->ScrollPosition();
        if (client.y() > host_->ClientSize().height())
            host_->ScrollTo({scroll.x(), scroll.y() + line});
        else if (client.y() < 0 && scroll.y() > 0)
            host_->ScrollTo({scroll.x(), std::max(0, scroll.y() - line)});
    }
    const QRect band = BandRect();
    const ThumbsLayout layout = Layout();
    bool changed = false;
    for (int i = 0; i < Count(); ++i) {
        const bool inside = layout.ItemRect(i).intersects(band);
        if ((Item(i).selected != 0) != inside) {
            SetSelected(i, inside);
            changed = true;
        }
    }
    if (host_) {
        host_->InvalidateContent(before.adjusted(-1, -1, 2, 2));
        host_->InvalidateContent(band.adjusted(-1, -1, 2, 2));
    }
    if (changed)
        OnSelectionChanged();
}

void CThumbsBrowser::EndBand() {
    const QRect band = BandRect();
    bandActive_ = false;
    if (host_)
        host_->InvalidateContent(band.adjusted(-1, -1, 2, 2));
}

// ---- Keys -----------------------------------------------------------------------------------

bool CThumbsBrowser::OnKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    if (ctrl) {
        switch (key) {
            case Qt::Key_A:
                return OnCommand(cmd::kSelectAll);
            case Qt::Key_C:
                return CommandEnabled(cmd::kCopy) && OnCommand(cmd::kCopy);
            case Qt::Key_X:
                return CommandEnabled(cmd::kCut) && OnCommand(cmd::kCut);
            case Qt::Key_V:
                return CommandEnabled(cmd::kPaste) && OnCommand(cmd::kPaste);
            default:
                break;
        }
    }
    switch (key) {
        case Qt::Key_Delete:
            return CommandEnabled(cmd::kDelete) && OnCommand(cmd::kDelete);
        case Qt::Key_F2:
            return CommandEnabled(cmd::kRename) && OnCommand(cmd::kRename);
        case Qt::Key_F5:
            return OnCommand(cmd::kRefresh);
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (SelectedCount() == 0)
                return false;
            DoubleClick();
            return true;
        default:
            break;
    }
    if (Count() == 0)
        return false;

    const ThumbsLayout layout = Layout();
    const int n = layout.Columns();
    const int page = n * layout.RowsPerPage();
    const int last = Count() - 1;
    int lo = -1;
    int hi = -1;
    for (int i = 0; i < Count(); ++i)
        if (Item(i).selected) {
            if (lo < 0)
                lo = i;
            hi = i;
        }
    const bool none = lo < 0;
    int target = 0;
    bool forward = true;
    switch (key) {
        case Qt::Key_Right:
            target = none ? 0 : std::min(last, hi + 1);
            break;
        case Qt::Key_Down:
            target = none ? 0 : std::min(last, hi + n);
            break;
        case Qt::Key_PageDown:
            target = none ? 0 : std::min(last, hi + page);
            break;
        case Qt::Key_End:
            target = last;
            break;
        case Qt::Key_Left:
            target = none ? 0 : std::max(0, lo - 1);
            forward = false;
            break;
        case Qt::Key_Up:
            target = none ? 0 : std::max(0, lo - n);
            forward = false;
            break;
        case Qt::Key_PageUp:
            target = none ? 0 : std::max(0, lo - page);
            forward = false;
            break;
        case Qt::Key_Home:
            target = 0;
            forward = false;
            break;
        default:
            return false;
    }
    if (!shift) {
        for (int i = 0; i < Count(); ++i) SetSelected(i, i == target);
    } else if (forward) {
        const int from = none ? (key == Qt::Key_End ? last : target) : lo;
        SelectRange(from, target);
    } else {
        SelectRange(target, none ? target : hi);
    }
    ScrollIntoView(target);
    OnSelectionChanged();
    return true;
}

// ---- Timer ----------------------------------------------------------------------------------

void CThumbsBrowser::OnTimer() {
    StepNames();
    if (bandActive_ && host_ &&
        (bandPointer_.y() < 0 || bandPointer_.y() > host_->ClientSize().height()))
        UpdateBand(bandPointer_);
}

void CThumbsBrowser::StepNames() {
    if (!host_ || Count() == 0)
        return;
    const QRect visible(host_->ScrollPosition(), host_->ClientSize());
    const auto [first, last] = Layout().ItemsIn(visible);
    std::vector<int> cached;
    {
        auto access = builder_.cache().Lock();
        for (int i = first; i <= last; ++i)
            if (Item(i).selected && access->Find(Item(i).path))
                cached.push_back(i);
    }
    for (int i : cached) {
        NameScroll& scroll = Item(i).nameScroll;
        if (!scroll.scrolls) {
            scroll.offset = 0;
            continue;
        }
        scroll.offset += kNameScrollStep;
        if (scroll.offset > scroll.textWidth)
            scroll.offset = -scroll.rect.width();
        host_->InvalidateContent(scroll.rect);
    }
}

// ---- Painting -------------------------------------------------------------------------------

ThumbnailPtr CThumbsBrowser::LookupThumbnail(const QString& path) const {
    return builder_.cache().Lock()->Lookup(path);
}

void CThumbsBrowser::Draw(QPainter& painter, const QRect& clip, const QRect& visible) {
    if (items_.empty())
        return;
    const auto [first, last] = Layout().ItemsIn(clip.intersected(visible));
    if (first > last)
        return;
    std::vector<ThumbnailPtr> thumbs(size_t(last - first + 1));
    QStringList missing;
    {
        auto access = builder_.cache().Lock();
        for (int i = first; i <= last; ++i) {
            thumbs[size_t(i - first)] = access->Lookup(Item(i).path);
            // Once per listing: a file that gets no thumbnail (a damaged image) would otherwise
            // be loaded again at every repaint for as long as it is visible.
            if (!thumbs[size_t(i - first)] && prioritizeVisible_ &&
                !prioritized_.contains(Item(i).path)) {
                prioritized_.insert(Item(i).path);
                missing.append(Item(i).path);
            }
        }
    }
    if (!missing.isEmpty())
        builder_.Prioritize(missing);
    for (int i = first; i <= last; ++i) DrawItem(painter, i, clip, thumbs[size_t(i - first)]);
    if (bandActive_) {
        painter.save();
        painter.setPen(QPen(settings_.Colours().text, 0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(BandRect());
        painter.restore();
    }
}

void CThumbsBrowser::DrawItem(QPainter& painter, int index, const QRect& clip,
                              const ThumbnailPtr& thumb) {
    const CItem& item = Item(index);
    const QRect cell = ItemRect(index);
    if (!cell.intersects(clip))
        return;
    CellState state;
    state.selected = item.selected != 0;
    state.cut = cutPaths_.contains(item.path);
    state.zoom = Zoom();
    state.fileName = item.FileName();
    painter_.DrawCell(painter, cell, clip, thumb, state, settings_.Colours(), frames_);
    DrawItemName(painter, index, cell, state.selected);
}

void CThumbsBrowser::DrawItemName(QPainter& painter, int index, const QRect& cell, bool selected) {
    CItem& item = Item(index);
    painter_.DrawName(painter, cell, item.FileName(), selected, settings_.Colours(),
                      item.nameScroll);
}

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
    const FileActionOutcome outcome = actions_->Paste(
        location_, [this](const QString& from, const QString& to) { OnFileCopied(from, to); });
    ResumeWatch();
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
    const bool hadCompanion = HasSoundCompanion(oldPath);
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
    if (hadCompanion || HasSoundCompanion(newPath)) {
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
    ownDrag_ = true;
    host_->ExecDrag(actions_->DragData(paths), Qt::CopyAction | Qt::MoveAction,
                    painter_.Picture(thumb));
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
    const FileActionOutcome outcome = actions_->Transfer(
        files, location_, action == Qt::MoveAction,
        [this](const QString& from, const QString& to) { OnFileCopied(from, to); });
    ResumeWatch();
    if (!outcome.ok)
        Tell(outcome.message);
    ReloadList();
    return outcome.ok;
}

// ---- Thumbnails -----------------------------------------------------------------------------

void CThumbsBrowser::Update(const QString& path) {
    emit thumbnailReady(path);
}

void CThumbsBrowser::OnThumbnailReady(const QString& path) {
    InvalidateItem(IndexOf(path));
}

// ---- CImgThumbsBrowser ----------------------------------------------------------------------

void CImgThumbsBrowser::OnFileCopied(const QString& oldPath, const QString& newPath) {
    auto access = Builder().cache().Lock();
    const ThumbnailPtr thumb = access->Lookup(oldPath);
    if (!thumb)
        return;
    const FileLook look = LookAt(newPath);
    if (look.isFile)
        access->SetAt(newPath, CopyThumbnail(*thumb, look.ModifiedSeconds()));
    if (!PathEntryExists(oldPath))
        access->RemoveKey(oldPath);
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
