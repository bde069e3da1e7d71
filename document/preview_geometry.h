#pragma once
// Geometry of the preview: rectangles in source and output pixels, the mapping between them
// (with Crop mode's centred crop box), the area a window shows, and the navigator's layout.
// Plain integer arithmetic; real-to-integer conversions truncate unless stated.

#include <cstdint>

namespace orm {

// A rectangle as left, top, right, bottom (right and bottom exclusive).
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool contains(const PixelRect& r) const {
        return r.left >= left && r.top >= top && r.right <= right && r.bottom <= bottom;
    }
    PixelRect translated(int dx, int dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
    PixelRect intersected(const PixelRect& r) const;
    bool operator==(const PixelRect&) const = default;
};

// The largest box of the output's aspect inside a w x h area (w, h, ow, oh all positive).
void CropBoxSize(int w, int h, int outputWidth, int outputHeight, int& boxWidth, int& boxHeight);

// Maps between output pixels (the outputWidth x outputHeight result) and source pixels.
// Without crop the whole source maps onto the whole output: x * sw / ow and back x * ow / sw.
// With crop the saved file is the centre of the source resized to cover the output (the
// intermediate of ResizeImage, CoverSize), so the mapping runs through that intermediate and the
// output sits at its centre offset: the preview shows exactly the pixels the saved file has. An
// area's target may then reach a little past the output's edges (whole source pixels); views
// clip it to the output.
class OutputMapping {
  public:
    OutputMapping() = default;
    OutputMapping(int sourceWidth, int sourceHeight, int outputWidth, int outputHeight, bool crop);

    bool valid() const { return sw_ > 0 && sh_ > 0 && ow_ > 0 && oh_ > 0; }
    int sourceWidth() const { return sw_; }
    int sourceHeight() const { return sh_; }
    int outputWidth() const { return ow_; }
    int outputHeight() const { return oh_; }
    // The part of the source the output shows: the whole source, or the crop box.
    const PixelRect& shownSource() const { return box_; }
    // The size the source is resized to before the centre is cut out, and the output's offset
    // in it (the output's own size and 0, 0 without crop).
    int intermediateWidth() const { return iw_; }
    int intermediateHeight() const { return ih_; }
    int offsetX() const { return offX_; }
    int offsetY() const { return offY_; }

    int ToSourceX(int x) const;
    int ToSourceY(int y) const;
    int ToOutputX(int x) const;
    int ToOutputY(int y) const;

    // The source pixels under an output rectangle (clipped to the output first; partly covered
    // source pixels included), clipped to the source.
    PixelRect OutputToSource(const PixelRect& output) const;
    // The output rectangle a source rectangle covers (aligned to whole source pixels).
    PixelRect SourceToOutput(const PixelRect& source) const;

  private:
    int sw_ = 0, sh_ = 0, ow_ = 0, oh_ = 0;
    int iw_ = 0, ih_ = 0, offX_ = 0, offY_ = 0;
    PixelRect box_;
};

// What one paint of the preview needs: the source area and the output area it becomes.
struct PreviewArea {
    PixelRect source;
    PixelRect target;
    bool isEmpty() const { return source.isEmpty() || target.isEmpty(); }
    bool operator==(const PreviewArea&) const = default;
};

inline constexpr int kPreviewMargin = 100;

// The visible output rectangle grown by margin on every side, mapped to the source and clipped,
// and mapped back to output pixels.
PreviewArea AreaForVisible(const PixelRect& visibleOutput, int margin,
                           const OutputMapping& mapping);

// The source rectangle a window shows (no margin); empty without a valid mapping.
PixelRect VisibleSourceRect(const PixelRect& visibleOutput, const OutputMapping& mapping);

// For each axis, target extent * 100 / source extent (integers): the scale the cache compares.
struct PreviewScale {
    int64_t x = 0;
    int64_t y = 0;
    bool operator==(const PreviewScale&) const = default;
};
PreviewScale ScaleOf(const PreviewArea& area);

// ---- Navigator layout -------------------------------------------------------------------
// The source fitted into a client area keeping its aspect, centred.
PixelRect FitCentred(int sourceWidth, int sourceHeight, int clientWidth, int clientHeight);
// In Crop mode the largest box of the output aspect inside the image rectangle (sides rounded
// up), centred; otherwise the image rectangle.
PixelRect NavigatorFrame(const PixelRect& image, int outputWidth, int outputHeight, bool crop);
// A source rectangle scaled into the image rectangle (rounding up) and moved into place.
PixelRect NavigatorMarker(const PixelRect& visibleSource, const PixelRect& image, int sourceWidth,
                          int sourceHeight);
// A marker moved by (dx, dy) from where a drag started and kept inside the frame.
PixelRect DragMarker(const PixelRect& startMarker, int dx, int dy, const PixelRect& frame);
// The output position (scroll position) a marker's top-left corner stands for, rounding up.
void MarkerToOutput(const PixelRect& marker, const PixelRect& image, const OutputMapping& mapping,
                    int& outputX, int& outputY);

}  // namespace orm
