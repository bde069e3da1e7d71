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

#include <algorithm>

namespace orm {

namespace {

constexpr int kPrioritizeAbove = 40;         // listings of more items serve visible cells first
constexpr int64_t kSmallestListedSize = 15;  // a folder scan leaves out files of this size or less

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

}  // namespace

// ---- Construction ---------------------------------------------------------------------------

CThumbsBrowser::CThumbsBrowser(CThumbsBuilderThreads& builder, SettingsModel& settings,
                               QObject* parent)
    : QObject(parent),
      builder_(builder),
      settings_(settings),
      sortKey_(SortKeyFromInt(settings.Browser().sortKey)) {
    // Builder threads emit; the browser's thread handles. Posted notifications die with the
    // browser.
    connect(&builder_, &CThumbsBuilderThreads::thumbnailReady, this,
            &CThumbsBrowser::OnThumbnailReady, Qt::QueuedConnection);
}

CThumbsBrowser::~CThumbsBrowser() = default;

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
    locationProblem_.clear();
    if (!location_.isEmpty()) {
        FolderScanOptions options;
        options.maxSkippedSize = skipSmall ? kSmallestListedSize : -1;
        std::vector<ScannedFile> files = ScanFolder(location_, options, &locationProblem_);
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
        listedLocation_ = location_;
        emit listChanged();
        return;
    }
    SortList(sortKey_);
    ListReplaced();
    if (location_ != listedLocation_ && host_)
        host_->ScrollTo({0, 0});
    listedLocation_ = location_;
}

void CThumbsBrowser::ReloadList() {
    Relist(/*keepSelection=*/false);
}

void CThumbsBrowser::QuietRefresh() {
    Relist(/*keepSelection=*/true);
}

void CThumbsBrowser::Relist(bool keepSelection) {
    ScanInto(keepSelection, /*skipSmall=*/false);
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

// ---- Thumbnails -----------------------------------------------------------------------------

void CThumbsBrowser::OnThumbnailReady(const QString& path) {
    InvalidateItem(IndexOf(path));
}

}  // namespace orm
