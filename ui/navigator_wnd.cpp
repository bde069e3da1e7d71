#include "ui/navigator_wnd.h"

#include "document/cormensura_doc.h"
#include "settings/resize_settings.h"
#include "ui/cormensura_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace orm {
namespace {

QRect ToQRect(const PixelRect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

}  // namespace

CNavigatorWnd::CNavigatorWnd(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("navigator"));
    setMinimumSize(minimumSizeHint());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void CNavigatorWnd::SetView(CORMensuraView* view) {
    if (view_)
        disconnect(view_, nullptr, this, nullptr);
    view_ = view;
    if (view_) {
        connect(view_, &COrvenScrollView::visibleAreaChanged, this, &CNavigatorWnd::UpdateMarker);
        if (CORMensuraDoc* doc = view_->Document()) {
            connect(doc, &CORMensuraDoc::documentOpened, this, &CNavigatorWnd::SetDocument);
            connect(doc, &CORMensuraDoc::displayChanged, this, &CNavigatorWnd::SetDocument);
            connect(doc, &CORMensuraDoc::viewsUpdate, this, &CNavigatorWnd::UpdateMarker);
        }
    }
    SetDocument();
}

CORMensuraDoc* CNavigatorWnd::Document() const {
    return view_ ? view_->Document() : nullptr;
}

void CNavigatorWnd::SetDocument() {
    overview_ = QImage();
    sourceWidth_ = sourceHeight_ = 0;
    CORMensuraDoc* doc = Document();
    if (doc && doc->HasSource()) {
        sourceWidth_ = doc->SourceWidth();
        sourceHeight_ = doc->SourceHeight();
    }
    Layout();
    update();
}

void CNavigatorWnd::Layout() {
    CORMensuraDoc* doc = Document();
    if (!doc || !doc->HasSource()) {
        image_ = frame_ = marker_ = {};
        overview_ = QImage();
        return;
    }
    image_ = FitCentred(sourceWidth_, sourceHeight_, width(), height());
    UpdateOverview();
    UpdateMarker();
}

void CNavigatorWnd::UpdateOverview() {
    CORMensuraDoc* doc = Document();
    if (!doc || !doc->HasSource() || image_.isEmpty())
        return;
    // Reduced straight to device pixels, so a scaled desktop shows it sharp.
    const qreal scale = devicePixelRatioF();
    const QSize device(std::max(1, qRound(image_.width() * scale)),
                       std::max(1, qRound(image_.height() * scale)));
    if (overview_.size() == device && overview_.devicePixelRatio() == scale)
        return;
    overview_ = doc->SourcePixels()
                    .scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_RGB32);
    overview_.setDevicePixelRatio(scale);
}

void CNavigatorWnd::UpdateMarker() {
    if (movingView_ || dragging_)
        return;
    CORMensuraDoc* doc = Document();
    if (!doc || !doc->HasSource() || !view_) {
        marker_ = frame_ = {};
        update();
        return;
    }
    const ResizeSettings& s = doc->Settings().Resize();
    frame_ = NavigatorFrame(image_, s.width, s.height, s.cropFlag());
    marker_ = NavigatorMarker(view_->VisibleSourceRect(), image_, sourceWidth_, sourceHeight_);
    update();
}

void CNavigatorWnd::resizeEvent(QResizeEvent*) {
    Layout();
}

void CNavigatorWnd::paintEvent(QPaintEvent*) {
    // Drawn into an image first: the marker is drawn by inverting bits, which needs a raster
    // target.
    UpdateOverview();
    const qreal scale = devicePixelRatioF();
    QImage canvas(std::max(1, qRound(width() * scale)), std::max(1, qRound(height() * scale)),
                  QImage::Format_RGB32);
    canvas.setDevicePixelRatio(scale);
    canvas.fill(palette().window().color());
    QPainter p(&canvas);
    if (!overview_.isNull())
        p.drawImage(image_.left, image_.top, overview_);
    const bool smaller = marker_.width() < image_.width() || marker_.height() < image_.height();
    if (!marker_.isEmpty() && smaller) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(Qt::NoBrush);
        const QRect m = ToQRect(marker_).adjusted(0, 0, -1, -1);
        p.drawRect(m);
        const int cx = (m.left() + m.right()) / 2;
        const int cy = (m.top() + m.bottom()) / 2;
        if (m.top() > image_.top)
            p.drawLine(cx, image_.top, cx, m.top() - 1);
        if (m.bottom() < image_.bottom - 1)
            p.drawLine(cx, m.bottom() + 1, cx, image_.bottom - 1);
        if (m.left() > image_.left)
            p.drawLine(image_.left, cy, m.left() - 1, cy);
        if (m.right() < image_.right - 1)
            p.drawLine(m.right() + 1, cy, image_.right - 1, cy);
    }
    p.end();
    QPainter(this).drawImage(0, 0, canvas);
}

void CNavigatorWnd::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && !marker_.isEmpty() && ToQRect(marker_).contains(pos)) {
        dragging_ = true;
        dragStartMouse_ = pos;
        dragStartMarker_ = marker_;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CNavigatorWnd::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint d = event->position().toPoint() - dragStartMouse_;
    marker_ = DragMarker(dragStartMarker_, d.x(), d.y(), frame_);
    update();
}

void CNavigatorWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    dragging_ = false;
    CORMensuraDoc* doc = Document();
    if (!doc || !view_)
        return;
    int x = 0, y = 0;
    MarkerToOutput(marker_, image_, doc->Mapping(), x, y);
    movingView_ = true;
    const QPoint now = view_->ScrollPosition();
    const QPoint to = view_->OutputToContent(x, y);  // the view may be zoomed
    view_->ScrollTo(view_->horizontalScrollBar()->maximum() > 0 ? to.x() : now.x(),
                    view_->verticalScrollBar()->maximum() > 0 ? to.y() : now.y());
    movingView_ = false;
    doc->RefreshViews();
}

}  // namespace orm
