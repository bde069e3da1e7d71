#include "ui/basket_browser.h"

#include "engine/algorithm.h"
#include "frame/dropped_files.h"
#include "settings/number_text.h"
#include "settings/settings_model.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>

#include <algorithm>

namespace orm {

namespace {

// A basket cell remembers which entry of the list it shows, so that a sorted display can put
// the entries themselves in its order.
class BasketItem : public CItem {
  public:
    using CItem::CItem;
    int entry = -1;
};

// The browser's own command that a basket command stands for (0: none).
int BrowserCommandOf(int id) {
    switch (id) {
        case basket_cmd::kPaste:
            return cmd::kPaste;
        case basket_cmd::kCopy:
            return cmd::kCopy;
        case basket_cmd::kSelectAll:
            return cmd::kSelectAll;
        case basket_cmd::kSortName:
            return cmd::kSortName;
        case basket_cmd::kSortDate:
            return cmd::kSortDate;
        case basket_cmd::kSortFormat:
            return cmd::kSortFormat;
        case basket_cmd::kProperties:
            return cmd::kProperties;
        case basket_cmd::kRefresh:
            return cmd::kRefresh;
        case basket_cmd::kRemove:
            return cmd::kDelete;
        default:
            return 0;
    }
}

}  // namespace

QString EmptyBasketText() {
    return QStringLiteral("Drag'n'drop images into this area");
}

int EmptyTextTenths(int clientWidth, int widthAtTenPoints) {
    if (widthAtTenPoints <= 0)
        return 4;
    return std::max(4, clientWidth * 50 / widthAtTenPoints);
}

QString EntryTooltip(const BatchEntry& entry) {
    return QStringLiteral("Resize to: %1x%2 pixels\nResolution: %3 DPI\nAlgorithm: %4")
        .arg(entry.width)
        .arg(entry.height)
        .arg(QFormatG(entry.dpi))
        .arg(QString::fromUtf8(engine::AlgorithmName(entry.algorithm)));
}

CBasketBrowser::CBasketBrowser(CThumbsBuilderThreads& builder, SettingsModel& settings,
                               BatchList& list, QObject* parent)
    : CImgThumbsBrowser(builder, settings, parent), list_(list) {}

std::unique_ptr<CItem> CBasketBrowser::MakeItem(const QString& path) {
    return std::make_unique<BasketItem>(path);
}

void CBasketBrowser::ReloadList() {
    auto& items = Items();
    items.clear();
    for (int i = 0; i < list_.count(); ++i) {
        const BatchEntry& e = list_.at(i);
        auto item = MakeItem(e.path);
        item->selected = e.selected;
        if (auto* basketItem = dynamic_cast<BasketItem*>(item.get()))
            basketItem->entry = i;
        items.push_back(std::move(item));
    }
    ListReplaced();
}

void CBasketBrowser::SortEntries(int key) {
    Sort(key);
    std::vector<int> order;
    order.reserve(size_t(Count()));
    for (int i = 0; i < Count(); ++i) {
        const auto* item = dynamic_cast<const BasketItem*>(&Item(i));
        order.push_back(item ? item->entry : -1);
    }
    if (list_.Reorder(order))
        ReloadList();
}

void CBasketBrowser::OnSelectionChanged() {
    // The list's selection follows the view's (Remove and the settings edits act on it).
    for (int i = 0; i < Count() && i < list_.count(); ++i)
        list_.SetSelected(i, Item(i).selected != 0);
    CImgThumbsBrowser::OnSelectionChanged();
}

QString CBasketBrowser::DetailText(const BatchEntry& entry) {
    if (entry.width > 0 && entry.height > 0)
        return QStringLiteral("%1 x %2").arg(entry.width).arg(entry.height);
    return QFileInfo(entry.path).fileName();
}

void CBasketBrowser::DrawItemName(QPainter& painter, int index, const QRect& cell, bool selected) {
    if (index < 0 || index >= list_.count()) {
        CImgThumbsBrowser::DrawItemName(painter, index, cell, selected);
        return;
    }
    // The name line of a basket cell shows the entry's target size.
    const ColourScheme& colours = Settings().Colours();
    const QRect line(cell.left(), cell.bottom() - 16, cell.width(), 16);
    painter.save();
    painter.setPen(selected ? colours.selectedText : colours.text);
    painter.drawText(line, Qt::AlignCenter | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(DetailText(list_.at(index)), Qt::ElideRight,
                                                      line.width()));
    painter.restore();
}

Qt::DropAction CBasketBrowser::DragOver(const QMimeData& data, Qt::KeyboardModifiers) {
    return gui::DroppedImageFiles(&data).isEmpty() ? Qt::IgnoreAction : Qt::CopyAction;
}

bool CBasketBrowser::AcceptDroppedFiles(const QMimeData& data, Qt::DropAction) {
    // Files dropped on the basket are only named: they stay where they are.
    const QStringList files = gui::DroppedImageFiles(&data);
    if (files.isEmpty())
        return false;
    emit filesOffered(files);
    return true;
}

bool CBasketBrowser::CanPaste() const {
    return !gui::DroppedImageFiles(QGuiApplication::clipboard()->mimeData()).isEmpty();
}

void CBasketBrowser::Paste() {
    const QStringList files = gui::DroppedImageFiles(QGuiApplication::clipboard()->mimeData());
    if (!files.isEmpty())
        emit filesOffered(files);
}

void CBasketBrowser::DeleteSelected() {
    emit removeRequested();
}

void CBasketBrowser::DoubleClick() {
    const QStringList selected = SelectedPaths();
    if (selected.size() == 1)
        emit entryActivated(IndexOf(selected.first()));
}

void CBasketBrowser::OnLButtonUp(QPoint client, Qt::KeyboardModifiers modifiers) {
    CImgThumbsBrowser::OnLButtonUp(client, modifiers);
    // A plain click on one entry opens it with its own settings.
    if (modifiers == Qt::NoModifier && SelectedCount() == 1) {
        const int index = ItemAtClient(client);
        if (index >= 0 && Item(index).selected)
            emit entryActivated(index);
    }
}

void CBasketBrowser::Draw(QPainter& painter, const QRect& clip, const QRect& visible) {
    if (Count() > 0) {
        CImgThumbsBrowser::Draw(painter, clip, visible);
        return;
    }
    const QString text = EmptyBasketText();
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    const int measured = QFontMetrics(font).horizontalAdvance(text);
    font.setPointSizeF(EmptyTextTenths(visible.width(), measured) / 10.0);
    painter.save();
    painter.setFont(font);
    painter.setPen(Settings().Colours().text);
    painter.drawText(visible, Qt::AlignCenter | Qt::TextSingleLine, text);
    painter.restore();
}

QString CBasketBrowser::ToolTipAt(QPoint client) const {
    const int index = ItemAtClient(client);
    return index < 0 ? QString() : EntryTooltipText(index);
}

QString CBasketBrowser::EntryTooltipText(int index) const {
    if (index < 0 || index >= list_.count())
        return {};
    return EntryTooltip(list_.at(index));
}

BrowserMenu CBasketBrowser::ContextMenuFor(int menuNumber) const {
    auto entry = [this](int id, const char* text) {
        MenuEntry e;
        e.id = id;
        e.text = QString::fromUtf8(text);
        e.enabled = CommandEnabled(id);
        e.checked = SortKeyOfCommand(BrowserCommandOf(id)) >= 0 &&
                    SortKeyOfCommand(BrowserCommandOf(id)) == SortKeyValue();
        return e;
    };
    MenuEntry sort;
    sort.text = QStringLiteral("Sort");
    sort.entries = {entry(basket_cmd::kSortName, "&Name"), entry(basket_cmd::kSortDate, "&Date"),
                    entry(basket_cmd::kSortFormat, "&File Format")};
    BrowserMenu result;
    if (menuNumber == menu::kEmptySpace || menuNumber == basket_menu::kEmptySpace) {
        result.number = basket_menu::kEmptySpace;
        result.entries = {entry(basket_cmd::kRefresh, "&Refresh"),
                          entry(basket_cmd::kPaste, "&Paste"), MenuEntry::Separator(),
                          entry(basket_cmd::kSelectAll, "Select all"), sort};
        return result;
    }
    const bool one = menuNumber == menu::kOneItem || menuNumber == basket_menu::kOneItem;
    result.number = one ? basket_menu::kOneItem : basket_menu::kItems;
    result.entries = {
        entry(basket_cmd::kPaste, "&Paste"),         entry(basket_cmd::kCopy, "&Copy"),
        entry(basket_cmd::kRemove, "&Remove"),       MenuEntry::Separator(),
        entry(basket_cmd::kSelectAll, "Select all"), sort};
    if (one) {
        result.entries.push_back(MenuEntry::Separator());
        result.entries.push_back(entry(basket_cmd::kProperties, "Properties ..."));
    }
    return result;
}

bool CBasketBrowser::CommandEnabled(int id) const {
    switch (id) {
        case basket_cmd::kRemove:
        case cmd::kDelete:
            return SelectedCount() > 0;
        case basket_cmd::kPaste:
        case cmd::kPaste:
            return CanPaste();
        case basket_cmd::kCopy:
        case cmd::kCopy:
            return FileActions() != nullptr && SelectedCount() > 0;
        case basket_cmd::kSelectAll:
        case cmd::kSelectAll:
            return Count() > 0;
        case basket_cmd::kSortName:
        case basket_cmd::kSortDate:
        case basket_cmd::kSortFormat:
            return Count() > 1;
        case basket_cmd::kProperties:
            return true;
        case basket_cmd::kRefresh:
        case cmd::kRefresh:
            return !list_.empty();
        default:
            return false;  // cut, rename and the file-only sorts are not the basket's
    }
}

bool CBasketBrowser::OnCommand(int id) {
    const int own = BrowserCommandOf(id);
    const int command = own != 0 ? own : id;
    if (const int key = SortKeyOfCommand(command); key >= 0) {
        SortEntries(key);
        return true;
    }
    if (command == cmd::kRefresh) {
        ReloadList();
        return true;
    }
    return CImgThumbsBrowser::OnCommand(command);
}

}  // namespace orm
