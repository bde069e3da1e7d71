#pragma once
// The scrolling base of the preview: a content of a given total size, shown centred when it is
// smaller than the window, scroll bars where it is larger, and the centre kept when the total
// size changes.

#include "document/preview_geometry.h"

#include <QAbstractScrollArea>
#include <QSize>

namespace orm {

// ---- Scroll arithmetic (one axis) --------------------------------------------------------
// Offset of a content smaller than the client area when it is centred; 0 otherwise.
int CentringOffset(int content, int client, bool centre = true);
// The largest scroll position.
int ScrollMaximum(int content, int client);
// The scroll position after the total size changed: moved by half the change, then clamped.
// A content that was smaller than the window (shown centred) counts as centred.
int KeepCentre(int position, int oldTotal, int newTotal, int client);
// The scroll position that keeps the content point at the window's centre when the window
// changes from oldClient to newClient.
int KeepCentreOnResize(int position, int total, int oldClient, int newClient);

class COrvenScrollView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit COrvenScrollView(QWidget* parent = nullptr);

    // Sets the content size; the scroll bars follow and the centre of the view is kept.
    void SetScrollSize(QSize total);
    QSize ScrollSize() const { return total_; }
    QPoint ScrollPosition() const;
    // Scrolls to a content position, clamped to the range.
    void ScrollTo(int x, int y);
    // Where the content's top-left corner lies in the viewport.
    QPoint ContentOrigin() const;
    // The content rectangle the viewport shows (may extend past the content when centred).
    PixelRect VisibleContentRect() const;
    bool ScrollBarOperated() const { return scrolling_; }

  signals:
    // The shown part of the content changed (scrolling, resizing, a new total size).
    void visibleAreaChanged();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // At the end of operating a scroll bar.
    virtual void OnScrollEnded();

  private:
    void UpdateScrollBars();

    bool centre_ = true;
    QSize total_{0, 0};
    QSize client_{0, 0};  // the window size the scroll positions refer to
    bool scrolling_ = false;
};

}  // namespace orm
