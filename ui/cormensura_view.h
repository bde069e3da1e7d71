#pragma once
// The preview view: the opened image as it will look after resizing, at 100 % (one screen pixel
// per output pixel), scrollable and panned by dragging. Only the visible part plus a margin is
// ever computed: standard modes are drawn directly, own algorithms show a nearest-neighbour
// picture first and the document's exact result when it arrives.

#include "document/cormensura_doc.h"
#include "document/preview_draw_state.h"
#include "ui/orven_scroll_view.h"

#include <QPixmap>
#include <QPointer>

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

    const DrawnPicture& Drawn() const { return drawn_; }
    bool Panning() const { return panning_; }

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

  private:
    void PreparePicture(const PreviewArea& area);
    QSize OutputSize() const;

    QPointer<CORMensuraDoc> document_;
    DrawnPicture drawn_;
    QPixmap picture_;

    bool panning_ = false;
    QPoint panStartScroll_;
    QPoint panStartMouse_;
};

}  // namespace orm
