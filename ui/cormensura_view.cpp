#include "ui/cormensura_view.h"

#include "document/cormensura_doc.h"
#include "document/preview_render.h"
#include "settings/resize_settings.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace orm {

CORMensuraView::CORMensuraView(QWidget* parent) : COrvenScrollView(parent) {
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(false);
    SetScrollSize({kEmptyDocumentSize, kEmptyDocumentSize});
}

void CORMensuraView::SetDocument(CORMensuraDoc* document) {
    if (document_)
        disconnect(document_, nullptr, this, nullptr);
    document_ = document;
    if (document_) {
        connect(document_, &CORMensuraDoc::documentOpened, this, &CORMensuraView::OnInitialUpdate);
        connect(document_, &CORMensuraDoc::viewsUpdate, this, &CORMensuraView::OnUpdate);
    }
    OnInitialUpdate();
}

QSize CORMensuraView::OutputSize() const {
    if (!document_)
        return {};
    const ResizeSettings& s = document_->Settings().Resize();
    return {s.width, s.height};
}

void CORMensuraView::OnInitialUpdate() {
    drawn_ = DrawnPicture{};
    picture_ = QPixmap();
    if (document_ && document_->HasSource()) {
        OnUpdate();
        return;
    }
    SetScrollSize({kEmptyDocumentSize, kEmptyDocumentSize});
    viewport()->update();
}

void CORMensuraView::OnUpdate() {
    if (!document_ || !document_->HasSource())
        return;
    SetScrollSize(OutputSize());
    emit visibleAreaChanged();
    viewport()->update();
}

PixelRect CORMensuraView::VisibleSourceRect() const {
    if (!document_ || !document_->HasSource())
        return {};
    return orm::VisibleSourceRect(
        VisibleContentRect().intersected({0, 0, ScrollSize().width(), ScrollSize().height()}),
        document_->Mapping());
}

PreviewArea CORMensuraView::CurrentArea() const {
    if (!document_ || !document_->HasSource())
        return {};
    return AreaForVisible(VisibleContentRect(), kPreviewMargin, document_->Mapping());
}

void CORMensuraView::PreparePicture(const PreviewArea& area) {
    const ResizeSettings& s = document_->Settings().Resize();
    const PreviewStore& store = document_->Preview();
    switch (DecideDraw(drawn_, area.source, s.width, s.height, s.algorithm, store.HasResult())) {
        case DrawAction::Keep:
            break;
        case DrawAction::ShowResult: {
            const QImage& result = store.Result();
            if (result.width() == drawn_.target.width() &&
                result.height() == drawn_.target.height()) {
                picture_ = QPixmap::fromImage(result);
                drawn_.resultShown = true;
            }
            break;
        }
        case DrawAction::KeepAsProvisional:
            document_->ReleasePreviewResult();
            drawn_.algorithm = s.algorithm;
            drawn_.resultShown = false;
            break;
        case DrawAction::DrawNew: {
            document_->ReleasePreviewResult();
            const QImage image = RenderStandardArea(document_->SourcePixels(), area,
                                                    DrawModeForAlgorithm(s.algorithm));
            picture_ = image.isNull() ? QPixmap() : QPixmap::fromImage(image);
            drawn_ = DrawnPicture{!picture_.isNull(), area.source, area.target, s.width,
                                  s.height,           s.algorithm, false};
            break;
        }
    }
}

void CORMensuraView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QRect client = viewport()->rect();
    if (!document_ || !document_->HasSource()) {
        painter.fillRect(client, palette().window());
        return;
    }
    const QPoint origin = ContentOrigin();
    const QRect output(origin, ScrollSize());
    // White around the output; the output itself is covered by the picture.
    const QRegion around = QRegion(client).subtracted(QRegion(output));
    for (const QRect& r : around) painter.fillRect(r, Qt::white);
    // While a spin button is held nothing new is drawn: the last picture stays.
    const PreviewArea area = document_->SpinPending() ? PreviewArea{} : CurrentArea();
    if (!area.isEmpty())
        PreparePicture(area);
    if (!picture_.isNull()) {
        // In Crop mode an area may reach a little past the output's edges: show the output only.
        painter.save();
        painter.setClipRect(output);
        painter.drawPixmap(origin + QPoint(drawn_.target.left, drawn_.target.top), picture_);
        painter.restore();
    }

    if (area.isEmpty())
        return;
    const ResizeSettings& s = document_->Settings().Resize();
    if (ShouldRequestPreview(s.algorithm, document_->Preview().HasResult(), panning_,
                             ScrollBarOperated()))
        document_->RequestPreview(area);
}

void CORMensuraView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !document_ || document_->Settings().BatchMode()) {
        COrvenScrollView::mousePressEvent(event);
        return;
    }
    panning_ = true;
    panStartMouse_ = event->position().toPoint();
    panStartScroll_ = ScrollPosition();
    viewport()->setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void CORMensuraView::mouseMoveEvent(QMouseEvent* event) {
    if (!panning_ || !(event->buttons() & Qt::LeftButton)) {
        COrvenScrollView::mouseMoveEvent(event);
        return;
    }
    const QPoint delta = panStartMouse_ - event->position().toPoint();
    const QSize client = viewport()->size();
    int x = horizontalScrollBar()->value();
    int y = verticalScrollBar()->value();
    if (client.width() < ScrollSize().width())
        x = panStartScroll_.x() + delta.x();
    if (client.height() < ScrollSize().height())
        y = panStartScroll_.y() + delta.y();
    ScrollTo(x, y);  // the scroll bars clamp to their range
    emit visibleAreaChanged();
    event->accept();
}

void CORMensuraView::mouseReleaseEvent(QMouseEvent* event) {
    if (!panning_ || event->button() != Qt::LeftButton) {
        COrvenScrollView::mouseReleaseEvent(event);
        return;
    }
    panning_ = false;
    viewport()->unsetCursor();
    viewport()->update();  // asks for the exact preview of the new area
    event->accept();
}

}  // namespace orm
