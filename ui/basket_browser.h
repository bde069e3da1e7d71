#pragma once
// The batch basket: the batch list shown as one row of thumbnails under the preview. Its items
// are the list's entries (BatchList, held by the main window); dropping or pasting image files
// adds entries, Delete/Remove takes entries out of the list (never files off the disk), and a
// click on an entry hands it to the window, which loads its settings and opens it.

#include "batch/batch_list.h"
#include "browser/thumbs_browser.h"

namespace orm {

// The basket's own commands and menus.
namespace basket_cmd {
constexpr int kRemove = 32863;      // "&Remove"
constexpr int kPaste = 33123;       // "&Paste"
constexpr int kCopy = 33124;        // "&Copy"
constexpr int kSelectAll = 33126;   // "Select all"
constexpr int kSortName = 33127;    // "&Name"
constexpr int kSortDate = 33128;    // "&Date"
constexpr int kSortFormat = 33129;  // "&File Format"
constexpr int kProperties = 33130;  // "Properties ..."
constexpr int kRefresh = 33131;     // "&Refresh"
}  // namespace basket_cmd

namespace basket_menu {
constexpr int kItems = 285;       // several entries selected
constexpr int kOneItem = 286;     // one entry selected
constexpr int kEmptySpace = 287;  // a click beside the entries
}  // namespace basket_menu

// "Drag'n'drop images into this area", drawn over an empty basket.
QString EmptyBasketText();
// The point size (in tenths) that makes the text about half the client width, measured at 10
// points as `widthAtTenPoints` pixels; at least 4 tenths.
int EmptyTextTenths(int clientWidth, int widthAtTenPoints);
// "Resize to: %dx%d pixels\nResolution: %g DPI\nAlgorithm: %s" for an entry.
QString EntryTooltip(const BatchEntry& entry);

class CBasketBrowser : public CImgThumbsBrowser {
    Q_OBJECT
  public:
    CBasketBrowser(CThumbsBuilderThreads& builder, SettingsModel& settings, BatchList& list,
                   QObject* parent = nullptr);

    LayoutMode Mode() const override { return LayoutMode::SingleRow; }
    bool OwnsFiles() const override { return false; }
    // The items again from the batch list, in its order, with the list's selection.
    void ReloadList() override;
    void OnSelectionChanged() override;
    void DrawItemName(QPainter& painter, int index, const QRect& cell, bool selected) override;
    bool AcceptDroppedFiles(const QMimeData& data, Qt::DropAction action) override;
    Qt::DropAction DragOver(const QMimeData& data, Qt::KeyboardModifiers modifiers) override;
    void DeleteSelected() override;
    bool CanPaste() const override;
    void Paste() override;
    void DoubleClick() override;
    void OnLButtonUp(QPoint client, Qt::KeyboardModifiers modifiers) override;
    void Draw(QPainter& painter, const QRect& clip, const QRect& visible) override;
    QString ToolTipAt(QPoint client) const override;
    virtual QString EntryTooltipText(int index) const;

    // The basket's menus 285, 286 and 287 (asked for by the browser as its own three menus).
    BrowserMenu ContextMenuFor(int menuNumber) const override;
    bool CommandEnabled(int id) const override;
    bool OnCommand(int id) override;
    // Sorts the entries themselves: the run follows the order shown.
    void SortEntries(int key);

    // The detail line of an entry: "W x H" of its target, or the file's name without a size yet.
    static QString DetailText(const BatchEntry& entry);

  signals:
    // Image files dropped or pasted onto the basket (the window adds them and asks about
    // duplicates).
    void filesOffered(const QStringList& paths);
    // The entries to remove (the selection).
    void removeRequested();
    // An entry was clicked: the window loads its settings and opens its image.
    void entryActivated(int index);

  protected:
    std::unique_ptr<CItem> MakeItem(const QString& path) override;

  private:
    BatchList& list_;
};

}  // namespace orm
