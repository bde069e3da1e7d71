#pragma once
// The batch basket: the batch list shown as one row of thumbnails under the preview. Its items
// are the list's entries (BatchList, held by the main window); dropping or pasting image files
// adds entries, Delete/Remove takes entries out of the list (never files off the disk), and a
// click on an entry hands it to the window, which loads its settings and opens it.

#include "batch/batch_list.h"
#include "browser/thumbs_browser.h"

namespace orm {

class CBasketBrowser : public CImgThumbsBrowser {
    Q_OBJECT
  public:
    CBasketBrowser(CThumbsBuilderThreads& builder, SettingsModel& settings, BatchList& list,
                   QObject* parent = nullptr);

    LayoutMode Mode() const override { return LayoutMode::SingleRow; }
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

  private:
    BatchList& list_;
};

}  // namespace orm
