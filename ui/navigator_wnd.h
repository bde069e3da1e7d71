#pragma once
// The navigator: an overview of the whole source with the visible area of the preview marked.
// Dragging the marker (inside the crop frame in Crop mode) scrolls the preview there.

#include "document/preview_geometry.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

namespace orm {

class CORMensuraDoc;
class CORMensuraView;

class CNavigatorWnd : public QWidget {
    Q_OBJECT
  public:
    explicit CNavigatorWnd(QWidget* parent = nullptr);

    void SetView(CORMensuraView* view);

    const PixelRect& ImageRect() const { return image_; }
    const PixelRect& FrameRect() const { return frame_; }
    const PixelRect& MarkerRect() const { return marker_; }

    QSize sizeHint() const override { return {200, 136}; }
    QSize minimumSizeHint() const override { return {60, 40}; }

  public slots:
    // A new source (or none): the overview is made again.
    void SetDocument();
    // The visible area or the settings changed.
    void UpdateMarker();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void Layout();
    // The overview at the screen's resolution for the image rectangle (made again when the
    // rectangle or the screen changes).
    void UpdateOverview();
    CORMensuraDoc* Document() const;

    QPointer<CORMensuraView> view_;
    QImage overview_;
    PixelRect image_;
    PixelRect frame_;
    PixelRect marker_;
    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    bool dragging_ = false;
    QPoint dragStartMouse_;
    PixelRect dragStartMarker_;
    bool movingView_ = false;
};

}  // namespace orm
