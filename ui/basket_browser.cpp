#include "ui/basket_browser.h"

#include "settings/settings_model.h"
#include "ui/dropped_files.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>

namespace orm {

CBasketBrowser::CBasketBrowser(CThumbsBuilderThreads& builder, SettingsModel& settings,
                               BatchList& list, QObject* parent)
    : CImgThumbsBrowser(builder, settings, parent), list_(list) {}

void CBasketBrowser::ReloadList() {
    auto& items = Items();
    items.clear();
    for (const BatchEntry& e : list_.entries()) {
        items.push_back(MakeItem(e.path));
        items.back()->selected = e.selected;
    }
    ListReplaced();
}

void CBasketBrowser::OnSelectionChanged() {
    // The list's selection follows the view's (Remove and the settings edits act on it).
    for (int i = 0; i < Count() && i < list_.count(); ++i)
        list_.SetSelected(i, Item(i).selected != 0);
    CImgThumbsBrowser::OnSelectionChanged();
}

QString CBasketBrowser::DetailText(const BatchEntry& entry) {
    if (entry.targetWidth > 0 && entry.targetHeight > 0)
        return QStringLiteral("%1 x %2").arg(entry.targetWidth).arg(entry.targetHeight);
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

}  // namespace orm
