#include "ui/cormensura_view.h"

#include "document/cormensura_doc.h"
#include "settings/resize_settings.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

namespace orm {
namespace {

// One notch of a mouse wheel, in eighths of a degree.
constexpr int kWheelNotch = 120;

const QString kCompareCaption =
    QStringLiteral("Before: the source at the output size (nearest neighbour)");

// What the empty window says.
const QString kEmptyText = QStringLiteral("Open an image (Ctrl+O) or drop one here");

// How near the divider a press grabs it, in pixels.
constexpr int kDividerGrab = 6;

// A caption in a dark box with its top-left corner at `at` (or its top-right one, alignRight).
void DrawCaption(QPainter& painter, const QString& text, QPoint at, bool alignRight = false) {
    const QFontMetrics metrics = painter.fontMetrics();
    QRect box(at, QSize(metrics.horizontalAdvance(text) + 12, metrics.height() + 6));
    if (alignRight)
        box.moveRight(at.x());
    // Kept inside the window, near its place.
    const QRect window = painter.viewport();
    box.moveLeft(std::clamp(box.left(), 0, std::max(0, window.width() - box.width())));
    painter.fillRect(box, QColor(0, 0, 0, 160));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, text);
}

// From here on the painter's units are device pixels.
void InDevicePixels(QPainter& painter, const ZoomGeometry& geometry) {
    const qreal toLogical = qreal(geometry.scale.den) / qreal(geometry.scale.num);
    painter.setWorldTransform(QTransform::fromScale(toLogical, toLogical));
}

// A picture of device pixels one to one (whatever device pixel ratio the image carries).
void DrawDevicePixels(QPainter& painter, QPoint at, const QImage& image) {
    painter.drawImage(QRect(at, image.size()), image, image.rect());
}

}  // namespace

CORMensuraView::CORMensuraView(QWidget* parent) : COrvenScrollView(parent) {
    // Whatever changes what is visible prepares the pictures anew; paint events only draw them.
    connect(&presenter_.Split(), &SplitPreview::ready, this, &CORMensuraView::Present);
    connect(this, &COrvenScrollView::visibleAreaChanged, this, &CORMensuraView::Present);
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
        connect(document_, &CORMensuraDoc::displayChanged, this, &CORMensuraView::OnInitialUpdate);
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

ZoomGeometry CORMensuraView::Geometry() const {
    const QSize output = OutputSize();
    const QSize client = maximumViewportSize();
    return GeometryOf(zoom_, output.width(), output.height(), client.width(), client.height(),
                      DeviceScaleOf(devicePixelRatioF()));
}

QSize CORMensuraView::ZoomedSize() const {
    const ZoomGeometry g = Geometry();
    return {g.contentWidth, g.contentHeight};
}

ZoomRatio CORMensuraView::Ratio() const {
    return Geometry().device;
}

ZoomRatio CORMensuraView::FitRatio() const {
    PreviewZoom fit = zoom_;
    fit.fit = true;
    const QSize output = OutputSize();
    const QSize client = maximumViewportSize();
    return GeometryOf(fit, output.width(), output.height(), client.width(), client.height(),
                      DeviceScaleOf(devicePixelRatioF()))
        .device;
}

void CORMensuraView::OnInitialUpdate() {
    presenter_.Reset();
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
    SetScrollSize(ZoomedSize());
    emit visibleAreaChanged();  // which presents the pictures anew
}

PixelRect CORMensuraView::VisibleSourceRect() const {
    if (!document_ || !document_->HasSource())
        return {};
    const QSize output = OutputSize();
    return orm::VisibleSourceRect(
        ShownOutput(VisibleContentRect(), Geometry().logical, output.width(), output.height()),
        document_->Mapping());
}

PreviewArea CORMensuraView::CurrentArea() const {
    if (!document_ || !document_->HasSource())
        return {};
    return AreaForZoomedView(VisibleContentRect(), Geometry().logical, document_->Mapping());
}

QPoint CORMensuraView::OutputToContent(int x, int y) const {
    const ZoomGeometry g = Geometry();
    return {static_cast<int>(std::ceil(g.ToLogical(x))),
            static_cast<int>(std::ceil(g.ToLogical(y)))};
}

PreviewViewState CORMensuraView::ViewState() const {
    PreviewViewState state;
    state.area = CurrentArea();
    state.ratio = Ratio();
    state.comparing = Comparing();
    state.panning = panning_;
    state.scrolling = ScrollBarOperated();
    state.split = splitAlgorithm_;
    return state;
}

void CORMensuraView::Present() {
    presentPosted_ = false;
    if (!document_ || !document_->HasSource())
        return;
    presenter_.Present(*document_, ViewState());
    viewport()->update();
}

void CORMensuraView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QRect client = viewport()->rect();
    if (!document_ || !document_->HasSource()) {
        painter.fillRect(client, palette().window());
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(client, Qt::AlignCenter, kEmptyText);
        return;
    }
    // A state the pictures were not made for (a scroll bar dragged, say) is prepared after this
    // paint; meanwhile the last pictures are drawn where they belong.
    if (!(presenter_.Presented() == ViewState()) && !presentPosted_) {
        presentPosted_ = true;
        QMetaObject::invokeMethod(this, &CORMensuraView::Present, Qt::QueuedConnection);
    }
    // White around the output; the output itself is covered by the picture (its last device
    // pixels may end inside a logical pixel).
    painter.fillRect(client, Qt::white);
    // The pictures hold device pixels and are drawn in device pixels, one to one, also where
    // the desktop scales the interface.
    const ZoomGeometry geometry = Geometry();
    const QPoint origin = ContentOrigin();
    const QPoint deviceOrigin(geometry.ToDevice(origin.x()), geometry.ToDevice(origin.y()));
    const QSize output = OutputSize();
    // In Crop mode an area may reach a little past the output's edges: show the output only.
    const QRect deviceOutput(deviceOrigin, QSize(geometry.device.Extent(output.width()),
                                                 geometry.device.Extent(output.height())));
    const auto at = [&](const PixelRect& target) {
        return deviceOrigin +
               QPoint(geometry.device.ToScreen(target.left), geometry.device.ToScreen(target.top));
    };
    painter.save();
    InDevicePixels(painter, geometry);
    painter.setClipRect(deviceOutput);
    const bool draft = presenter_.ShowsDraft();
    const AreaPicture& comparison = presenter_.Comparison();
    if (Comparing() && !comparison.image.isNull())
        DrawDevicePixels(painter, at(comparison.area.target), comparison.image);
    else if (draft && !presenter_.Draft().image.isNull())
        DrawDevicePixels(painter, at(presenter_.Draft().area.target), presenter_.Draft().image);
    else if (!draft && !presenter_.Display().isNull())
        DrawDevicePixels(painter, at(presenter_.Drawn().target), presenter_.Display());
    if (splitAlgorithm_ && !Comparing() && !presenter_.SplitDisplay().isNull()) {
        // Left of the divider the other algorithm's picture.
        painter.setClipRect(
            deviceOutput.intersected(QRect(0, 0, geometry.ToDevice(DividerX()), INT_MAX / 2)));
        DrawDevicePixels(painter, at(presenter_.Presented().area.target),
                         presenter_.SplitDisplay());
    }
    painter.restore();
    if (splitAlgorithm_ && !Comparing() && !presenter_.SplitDisplay().isNull())
        PaintSplit(painter);
    // Say what is shown, so the source is never taken for the result.
    if (Comparing())
        DrawCaption(painter, kCompareCaption, QPoint(8, 8));
}

void CORMensuraView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && splitAlgorithm_ &&
        std::abs(event->position().toPoint().x() - DividerX()) <= kDividerGrab) {
        draggingDivider_ = true;
        viewport()->setCursor(Qt::SplitHCursor);
        event->accept();
        return;
    }
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
    if (draggingDivider_) {
        SetDividerX(event->position().toPoint().x());
        event->accept();
        return;
    }
    if (splitAlgorithm_ && !panning_ && !(event->buttons() & Qt::LeftButton)) {
        // Over the divider the pointer shows that it can be dragged.
        if (std::abs(event->position().toPoint().x() - DividerX()) <= kDividerGrab)
            viewport()->setCursor(Qt::SplitHCursor);
        else
            viewport()->unsetCursor();
    }
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
    if (draggingDivider_ && event->button() == Qt::LeftButton) {
        draggingDivider_ = false;
        viewport()->unsetCursor();
        event->accept();
        return;
    }
    if (!panning_ || event->button() != Qt::LeftButton) {
        COrvenScrollView::mouseReleaseEvent(event);
        return;
    }
    panning_ = false;
    viewport()->unsetCursor();
    Present();  // asks for the exact preview of the new area
    event->accept();
}

// ---- Zoom --------------------------------------------------------------------------------------

void CORMensuraView::SetZoom(const PreviewZoom& zoom) {
    SetZoom(zoom, viewport()->rect().center());
}

void CORMensuraView::SetZoom(const PreviewZoom& zoom, QPoint anchor) {
    if (zoom == zoom_)
        return;
    const ZoomRatio oldRatio = Geometry().logical;
    const QSize oldContent = ScrollSize();
    const QPoint scroll = ScrollPosition();
    const QSize client = viewport()->size();
    zoom_ = zoom;
    if (document_ && document_->HasSource()) {
        const ZoomRatio newRatio = Geometry().logical;
        const QSize content = ZoomedSize();
        const int x = ScrollAfterZoom(scroll.x(), anchor.x(), client.width(), oldContent.width(),
                                      content.width(), oldRatio, newRatio);
        const int y = ScrollAfterZoom(scroll.y(), anchor.y(), client.height(), oldContent.height(),
                                      content.height(), oldRatio, newRatio);
        SetScrollSize(content);
        ScrollTo(x, y);
    }
    emit zoomChanged(zoom_);
    emit visibleAreaChanged();
}

void CORMensuraView::ZoomIn(QPoint anchor) {
    SetZoom(orm::ZoomIn(zoom_, Ratio(), FitRatio()), anchor);
}

void CORMensuraView::ZoomOut(QPoint anchor) {
    SetZoom(orm::ZoomOut(zoom_, Ratio(), FitRatio()), anchor);
}

void CORMensuraView::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        COrvenScrollView::wheelEvent(event);
        return;
    }
    // Ctrl+wheel zooms about the pointer, a step per notch (fine wheels add up to a notch).
    wheelSteps_ += event->angleDelta().y();
    const QPoint anchor = event->position().toPoint();
    while (wheelSteps_ >= kWheelNotch) {
        wheelSteps_ -= kWheelNotch;
        ZoomIn(anchor);
    }
    while (wheelSteps_ <= -kWheelNotch) {
        wheelSteps_ += kWheelNotch;
        ZoomOut(anchor);
    }
    event->accept();
}

void CORMensuraView::resizeEvent(QResizeEvent* event) {
    COrvenScrollView::resizeEvent(event);
    // Fit follows the window.
    if (zoom_.fit && document_ && document_->HasSource())
        SetScrollSize(ZoomedSize());
}

// ---- Comparison ----------------------------------------------------------------------------

void CORMensuraView::SetCompareToggled(bool on) {
    const bool was = Comparing();
    compareToggled_ = on;
    if (Comparing() != was)
        emit comparingChanged(Comparing());
    Present();
}

void CORMensuraView::SetCompareHeld(bool on) {
    if (on == compareHeld_)
        return;
    const bool was = Comparing();
    compareHeld_ = on;
    if (Comparing() != was)
        emit comparingChanged(Comparing());
    Present();
}

void CORMensuraView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == kCompareKey && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            SetCompareHeld(true);
        event->accept();
        return;
    }
    COrvenScrollView::keyPressEvent(event);
}

void CORMensuraView::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == kCompareKey) {
        if (!event->isAutoRepeat())
            SetCompareHeld(false);
        event->accept();
        return;
    }
    COrvenScrollView::keyReleaseEvent(event);
}

void CORMensuraView::focusOutEvent(QFocusEvent* event) {
    // The key's release goes elsewhere once the focus has left.
    SetCompareHeld(false);
    COrvenScrollView::focusOutEvent(event);
}

// ---- Split view ------------------------------------------------------------------------------

void CORMensuraView::SetSplitAlgorithm(std::optional<ResizeAlgorithm> algorithm) {
    if (algorithm == splitAlgorithm_)
        return;
    splitAlgorithm_ = algorithm;
    // The pointer is followed (for its cursor over the divider) only while there is one.
    viewport()->setMouseTracking(splitAlgorithm_.has_value());
    if (!algorithm) {
        presenter_.Split().Clear();
        viewport()->unsetCursor();
    }
    emit splitChanged(splitAlgorithm_);
    Present();
}

int CORMensuraView::DividerX() const {
    return static_cast<int>(std::lround(splitFraction_ * viewport()->width()));
}

void CORMensuraView::SetDividerX(int x) {
    const int width = std::max(1, viewport()->width());
    splitFraction_ = double(std::clamp(x, 0, width)) / width;
    viewport()->update();
}

void CORMensuraView::PaintSplit(QPainter& painter) {
    const ResizeSettings& s = document_->Settings().Resize();
    const int divider = DividerX();
    // A white line with a dark one beside it shows on any picture.
    painter.setPen(Qt::white);
    painter.drawLine(divider, 0, divider, viewport()->height());
    painter.setPen(QColor(0, 0, 0, 160));
    painter.drawLine(divider + 1, 0, divider + 1, viewport()->height());
    const QString leftName = QString::fromLatin1(engine::AlgorithmName(*splitAlgorithm_)) +
                             (presenter_.SplitExact() ? QString() : QStringLiteral(" ..."));
    DrawCaption(painter, leftName, QPoint(divider - 6, 8), true);
    DrawCaption(painter, QString::fromLatin1(engine::AlgorithmName(s.algorithm)),
                QPoint(divider + 6, 8));
}

}  // namespace orm
