#pragma once
// The preview view: the opened image as it will look after resizing, at 100 % (one device pixel
// per output pixel, also on a scaled desktop) unless zoomed, scrollable and panned by dragging.
// Only the visible part plus a margin is ever computed: standard modes are drawn directly, own
// algorithms show a nearest-neighbour picture first and the document's exact result when it
// arrives. Other zooms show that 100 % picture scaled (document/preview_zoom.h). While comparing
// (Space held in the view, or the Compare toggle) it shows the source scaled to the output size
// with nearest neighbour instead.

#include "document/cormensura_doc.h"
#include "document/preview_draw_state.h"
#include "document/preview_presenter.h"
#include "document/preview_zoom.h"
#include "ui/orven_scroll_view.h"

#include <QPointer>

#include <optional>

namespace orm {

class CORMensuraDoc;

class CORMensuraView : public COrvenScrollView {
    Q_OBJECT
  public:
    explicit CORMensuraView(QWidget* parent = nullptr);

    void SetDocument(CORMensuraDoc* document);
    CORMensuraDoc* Document() const { return document_; }

    // The source rectangle the window shows (no margin); empty without a source.
    PixelRect VisibleSourceRect() const;
    // The area the next paint covers (visible output plus the margin).
    PreviewArea CurrentArea() const;

    const DrawnPicture& Drawn() const { return presenter_.Drawn(); }
    bool Panning() const { return panning_; }

    // ---- Zoom ----------------------------------------------------------------------------------
    PreviewZoom Zoom() const { return zoom_; }
    // Device pixels per output pixel now, and what Fit would give.
    ZoomRatio Ratio() const;
    ZoomRatio FitRatio() const;
    // The zoom on this screen: device and logical ratios and the zoomed size in logical pixels.
    ZoomGeometry Geometry() const;
    // Changes the zoom keeping the output point under anchor (a viewport point; the centre when
    // omitted) where it is.
    void SetZoom(const PreviewZoom& zoom);
    void SetZoom(const PreviewZoom& zoom, QPoint anchor);
    void ZoomIn(QPoint anchor);
    void ZoomOut(QPoint anchor);
    // The content (scroll) position of an output point.
    QPoint OutputToContent(int x, int y) const;
    // Whether the picture on screen is a draft from the source (a reduced view of an area too
    // large to compute at 100 %).
    bool ShowsDraft() const { return presenter_.ShowsDraft(); }

    // ---- Comparison ----------------------------------------------------------------------------
    // The key held in the view to compare, and the toggle's state.
    static constexpr Qt::Key kCompareKey = Qt::Key_Space;
    void SetCompareToggled(bool on);
    bool Comparing() const { return compareHeld_ || compareToggled_; }

    // ---- Split view ----------------------------------------------------------------------------
    // Left of a draggable divider the same area with another algorithm; none: off.
    void SetSplitAlgorithm(std::optional<engine::ResizeAlgorithm> algorithm);
    std::optional<engine::ResizeAlgorithm> SplitAlgorithm() const { return splitAlgorithm_; }
    // The divider's viewport x, and moving it (kept inside the viewport).
    int DividerX() const;
    void SetDividerX(int x);
    bool DraggingDivider() const { return draggingDivider_; }

  signals:
    void zoomChanged(const orm::PreviewZoom& zoom);
    void comparingChanged(bool on);
    void splitChanged(std::optional<orm::engine::ResizeAlgorithm> algorithm);

  public slots:
    // After a document was opened into the view.
    void OnInitialUpdate();
    // After the settings changed or a preview arrived.
    void OnUpdate();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // What decides the pictures now, and preparing them for it (never from a paint event).
    PreviewViewState ViewState() const;
    void Present();
    void SetCompareHeld(bool on);
    // The divider and the captions over the split view (its picture is drawn with the others).
    void PaintSplit(QPainter& painter);
    QSize OutputSize() const;
    QSize ZoomedSize() const;

    QPointer<CORMensuraDoc> document_;
    PreviewPresenter presenter_;
    bool presentPosted_ = false;

    PreviewZoom zoom_;
    int wheelSteps_ = 0;  // Ctrl+wheel angle not yet turned into a step (1/8 degrees)

    bool compareHeld_ = false;
    bool compareToggled_ = false;

    std::optional<engine::ResizeAlgorithm> splitAlgorithm_;
    double splitFraction_ = 0.5;  // the divider's place across the viewport
    bool draggingDivider_ = false;

    bool panning_ = false;
    QPoint panStartScroll_;
    QPoint panStartMouse_;
};

}  // namespace orm
