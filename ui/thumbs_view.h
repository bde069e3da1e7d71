#pragma once
// The window of a thumbnail browser: draws the browser's cells and forwards mouse, keys, drops
// and its 100 ms timer to the browser; scrolls the content the browser lays out. One view shows
// one browser; the batch basket's view derives from it.

#include "browser/browser_hooks.h"
#include "browser/thumbs_browser.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPointer>

class QLineEdit;

namespace orm {

// The keys a thumbnail list acts on itself (moving the selection, paging, Delete, rename,
// refresh, select all, copy, cut, paste). While a list has the focus they are its own, not the
// window's shortcuts.
bool IsListKey(int key, Qt::KeyboardModifiers modifiers);

class CThumbsView : public QAbstractScrollArea, public IThumbsHost {
    Q_OBJECT
  public:
    explicit CThumbsView(QWidget* parent = nullptr);
    ~CThumbsView() override;

    // Shows the browser (not owned). The first browser shown lists its folder (ReloadList).
    void SetBrowser(CThumbsBrowser* browser);
    CThumbsBrowser* Browser() const { return browser_; }
    // The open in-place editor, or nullptr.
    QLineEdit* RenameEditor() const { return renameEdit_; }

    // IThumbsHost
    QSize ClientSize() const override;
    QPoint ScrollPosition() const override;
    void ScrollTo(QPoint contentTopLeft) override;
    void ContentSizeChanged() override;
    void InvalidateAll() override;
    void InvalidateContent(const QRect& rect) override;
    void UpdateNow() override;
    int ExecMenu(const BrowserMenu& menu, QPoint globalPos) override;
    void BeginRename(int index, const QRect& label, const QString& name) override;
    void ShowImageInfo(const QString& path) override;
    Qt::DropAction ExecDrag(QMimeData* data, Qt::DropActions allowed,
                            const QImage& picture) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

  private:
    void EndRename(bool commit);

    QPointer<CThumbsBrowser> browser_;
    QBasicTimer timer_;
    QLineEdit* renameEdit_ = nullptr;
    int renameIndex_ = -1;
};

}  // namespace orm
