#include "ui/orven_scroll_view.h"

#include <QCoreApplication>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>

namespace orm {

int CentringOffset(int content, int client, bool centre) {
    return centre && content < client ? (client - content) / 2 : 0;
}

int ScrollMaximum(int content, int client) {
    return std::max(0, content - client);
}

int KeepCentre(int position, int oldTotal, int newTotal, int client) {
    // A content smaller than the window was shown centred: its centre was the window's centre,
    // as if scrolled to (old - client) / 2.
    if (oldTotal < client)
        position = (oldTotal - client) / 2;
    const int moved = position + (newTotal - oldTotal) / 2;
    return std::clamp(moved, 0, ScrollMaximum(newTotal, client));
}

int KeepCentreOnResize(int position, int total, int oldClient, int newClient) {
    // The content point at the centre of the old window; a content that fitted was centred.
    const int centre = total <= oldClient ? total / 2 : position + oldClient / 2;
    return std::clamp(centre - newClient / 2, 0, ScrollMaximum(total, newClient));
}

COrvenScrollView::COrvenScrollView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // A scroll bar is operated from the press of a mouse button on it (handle, arrow or page
    // area, held or clicked) until its release: the end of the scroll.
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()})
        bar->installEventFilter(this);
}

bool COrvenScrollView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == horizontalScrollBar() || watched == verticalScrollBar()) {
        if (event->type() == QEvent::MouseButtonPress) {
            scrolling_ = true;
        } else if (event->type() == QEvent::MouseButtonRelease && scrolling_) {
            // The bar handles the release first (it ends its own repeat; with the flag cleared
            // this filter lets the event through), then the scroll ends.
            scrolling_ = false;
            QCoreApplication::sendEvent(watched, event);
            OnScrollEnded();
            return true;
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void COrvenScrollView::OnScrollEnded() {
    emit visibleAreaChanged();
    viewport()->update();
}

QPoint COrvenScrollView::ScrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void COrvenScrollView::SetScrollSize(QSize total) {
    total = total.expandedTo(QSize(0, 0));
    if (total == total_) {
        UpdateScrollBars();
        return;
    }
    const QSize client = viewport()->size();
    const int x =
        KeepCentre(horizontalScrollBar()->value(), total_.width(), total.width(), client.width());
    const int y =
        KeepCentre(verticalScrollBar()->value(), total_.height(), total.height(), client.height());
    total_ = total;
    client_ = client;
    UpdateScrollBars();
    ScrollTo(x, y);
    viewport()->update();
    emit visibleAreaChanged();
}

void COrvenScrollView::ScrollTo(int x, int y) {
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
}

QPoint COrvenScrollView::ContentOrigin() const {
    const QSize client = viewport()->size();
    return {
        CentringOffset(total_.width(), client.width(), centre_) - horizontalScrollBar()->value(),
        CentringOffset(total_.height(), client.height(), centre_) - verticalScrollBar()->value()};
}

PixelRect COrvenScrollView::VisibleContentRect() const {
    const QPoint origin = ContentOrigin();
    const QSize client = viewport()->size();
    return {-origin.x(), -origin.y(), -origin.x() + client.width(), -origin.y() + client.height()};
}

void COrvenScrollView::UpdateScrollBars() {
    // The viewport already accounts for the bars the area shows; QAbstractScrollArea re-lays out
    // (and calls resizeEvent again) when a bar appears or disappears.
    const QSize client = viewport()->size();
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setRange(0, ScrollMaximum(total_.width(), client.width()));
    v->setRange(0, ScrollMaximum(total_.height(), client.height()));
    h->setPageStep(std::max(1, client.width()));
    v->setPageStep(std::max(1, client.height()));
    h->setSingleStep(std::max(1, client.width() / 10));
    v->setSingleStep(std::max(1, client.height() / 10));
}

void COrvenScrollView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    // The point at the window's centre stays there: a content sized before the window was shown
    // opens centred, and growing or shrinking the window does not drift towards a corner.
    const QSize client = viewport()->size();
    const int x = KeepCentreOnResize(horizontalScrollBar()->value(), total_.width(),
                                     client_.width(), client.width());
    const int y = KeepCentreOnResize(verticalScrollBar()->value(), total_.height(),
                                     client_.height(), client.height());
    client_ = client;
    UpdateScrollBars();
    ScrollTo(x, y);
    emit visibleAreaChanged();
}

void COrvenScrollView::scrollContentsBy(int, int) {
    viewport()->update();
    if (!scrolling_)
        emit visibleAreaChanged();
}

}  // namespace orm
