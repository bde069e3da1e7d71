#pragma once
// What the preview view paints, prepared outside its paint event: the 100 % picture of the
// visible area (standard modes drawn at once, the own algorithms' nearest-neighbour picture until
// the document's exact result arrives) scaled to the zoom, the draft of an area too large to
// compute exactly, the comparison picture (the source at the output size) and the split view's
// second picture. Present() runs when the view's state or the document changes; it also asks the
// document for the exact preview. The view only draws what was prepared.

#include "document/preview_draw_state.h"
#include "document/preview_zoom.h"
#include "document/split_preview.h"

#include <QImage>

#include <optional>

namespace orm {

class CORMensuraDoc;

// Everything of the view that decides what is painted.
struct PreviewViewState {
    PreviewArea area;  // the visible output and its margin; empty: nothing to show
    ZoomRatio ratio;   // device pixels per output pixel
    bool comparing = false;
    bool panning = false;
    bool scrolling = false;  // a scroll bar is being operated
    std::optional<engine::ResizeAlgorithm> split;
    bool operator==(const PreviewViewState& o) const {
        return area == o.area && ratio == o.ratio && comparing == o.comparing &&
               panning == o.panning && scrolling == o.scrolling && split == o.split;
    }
};

// A picture made for one area at one zoom, at screen size: the draft and the comparison.
struct AreaPicture {
    QImage image;
    PreviewArea area;
    ZoomRatio ratio;  // device pixels per output pixel
    int outputWidth = 0;
    int outputHeight = 0;
    bool crop = false;
    bool draft = false;
    quint64 sourceSerial = 0;
};

class PreviewPresenter {
  public:
    // Another image (or none): every picture goes.
    void Reset();
    // Prepares the pictures for the state and asks the document for exact pixels where the own
    // algorithm has none yet (not while panning or scrolling).
    void Present(CORMensuraDoc& document, const PreviewViewState& state);
    // The state the pictures were made for (the view compares it with its own).
    const PreviewViewState& Presented() const { return presented_; }
    quint64 Generation() const { return generation_; }

    // Which picture covers the output, and each one.
    bool ShowsDraft() const { return showsDraft_; }
    const DrawnPicture& Drawn() const { return drawn_; }
    const QImage& Display() const { return display_; }  // the 100 % picture at the zoom
    const AreaPicture& Draft() const { return draft_; }
    const AreaPicture& Comparison() const { return comparison_; }
    // The split view's picture at the zoom (null when off or not yet there) and whether it is
    // the exact one.
    const QImage& SplitDisplay() const { return splitDisplay_; }
    bool SplitExact() const { return split_.Exact(); }
    SplitPreview& Split() { return split_; }

  private:
    void PreparePicture(CORMensuraDoc& document, const PreviewArea& area);
    void PrepareDisplay(const ZoomRatio& ratio);
    void PrepareDraft(CORMensuraDoc& document, const PreviewArea& area, const ZoomRatio& ratio);
    void PrepareComparison(CORMensuraDoc& document, const PreviewArea& area, const ZoomRatio& ratio,
                           bool draft);
    void PrepareSplit(CORMensuraDoc& document, const PreviewArea& area, const ZoomRatio& ratio,
                      engine::ResizeAlgorithm algorithm);
    void SetPicture(const QImage& image);

    PreviewViewState presented_;
    quint64 generation_ = 0;  // counts the presents
    bool showsDraft_ = false;
    DrawnPicture drawn_;
    // The drawn picture as computed (100 %), and its display at a zoom.
    QImage picture_;
    quint64 pictureSerial_ = 0;
    QImage display_;
    quint64 displaySerial_ = 0;
    ZoomRatio displayRatio_;
    AreaPicture draft_;
    AreaPicture comparison_;
    quint64 sourceSerial_ = 0;  // a new image invalidates the area pictures
    SplitPreview split_;
    QImage splitDisplay_;
    qint64 splitDisplayKey_ = 0;
    ZoomRatio splitDisplayRatio_;
};

}  // namespace orm
