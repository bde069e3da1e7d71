#pragma once
// The zoom of the preview: Fit or a fixed percentage, the exact ratio between output pixels and
// screen pixels it stands for, the areas and scroll positions in both, the zoom steps, and the
// display copy of a picture computed at 100 %.
//
// The picture is always computed at 100 % (the output's own pixels) for the area the window
// shows; other zooms only scale that picture for the screen: enlarged by repeating pixels, so at
// 200 % every output pixel is a 2 x 2 block, and reduced smoothly. An area too large to compute
// at 100 % (a strongly reduced view of a huge output) is drawn as a draft straight from the
// source instead. Zoom never touches the settings, so it never changes what is saved.

#include "document/preview_geometry.h"

#include <QImage>
#include <QString>

#include <cstdint>

namespace orm {

// Fit: the whole output in the window, never above 100 %. Otherwise percent / 100.
struct PreviewZoom {
    bool fit = false;
    int percent = 100;
    bool operator==(const PreviewZoom&) const = default;
};

// The fixed zooms offered (menu, toolbar, Ctrl+wheel steps).
inline constexpr int kZoomPercents[] = {50, 100, 200};

// Screen pixels per output pixel as an exact fraction num / den (both positive).
struct ZoomRatio {
    int64_t num = 1;
    int64_t den = 1;

    bool isOne() const { return num == den; }
    bool enlarges() const { return num > den; }
    // Output coordinate -> screen coordinate, and screen -> output rounding down or up.
    int ToScreen(int output) const;
    int ToOutputFloor(int screen) const;
    int ToOutputCeil(int screen) const;
    // The screen size of an output extent (at least 1 for a non-empty one).
    int Extent(int output) const;
    // An output rectangle on the screen, and the output pixels a screen rectangle touches.
    PixelRect ToScreen(const PixelRect& output) const;
    PixelRect ToOutput(const PixelRect& screen) const;
    bool operator==(const ZoomRatio& o) const { return num * o.den == o.num * den; }
};

// The ratio a zoom stands for with an output of ow x oh in a window whose client can be at most
// cw x ch (the client without scroll bars).
ZoomRatio RatioOf(const PreviewZoom& zoom, int ow, int oh, int cw, int ch);

// ---- Device pixels ----------------------------------------------------------------------------
// A zoom means device pixels per output pixel: at 100 % one output pixel covers one device pixel
// also where the desktop scales the interface (a device pixel ratio of 1.5 or 2). Widgets lay out
// and scroll in logical pixels, so the view's geometry runs at the logical ratio while its
// pictures are made at the device ratio and drawn at the screen's resolution.

// Device pixels per logical pixel as an exact fraction: the toolkit's ratio rounded to 1/120
// (1, 1.25, 4/3, 1.5, 1.75 and 2 are exact); 1 for anything not positive.
ZoomRatio DeviceScaleOf(double devicePixelRatio);

struct ZoomGeometry {
    ZoomRatio device;   // device pixels per output pixel: what the zoom stands for
    ZoomRatio logical;  // logical pixels per output pixel (device / scale)
    ZoomRatio scale;    // device pixels per logical pixel
    // The zoomed output in logical pixels: its device extent, rounded up.
    int contentWidth = 0;
    int contentHeight = 0;
    // Where an output coordinate's device pixel starts, in logical pixels (between logical
    // pixels when the scale is not whole).
    double ToLogical(int output) const;
    // The device pixel a logical coordinate falls on (rounded half up).
    int ToDevice(int logical) const;
};

// The geometry of a zoom for an ow x oh output in a client of at most cw x ch logical pixels on a
// screen of the given scale. Fit fills the client's device pixels, never above 100 %.
ZoomGeometry GeometryOf(const PreviewZoom& zoom, int ow, int oh, int cw, int ch,
                        const ZoomRatio& scale);

// The next zoom in or out from the current ratio: the nearest of the fixed steps and Fit (the
// ratio `fit`) in that direction, a step when it equals Fit. Unchanged at either end.
PreviewZoom ZoomIn(const PreviewZoom& zoom, const ZoomRatio& current, const ZoomRatio& fit);
PreviewZoom ZoomOut(const PreviewZoom& zoom, const ZoomRatio& current, const ZoomRatio& fit);

// The label of a zoom: "Fit" or "50%".
QString ZoomLabel(const PreviewZoom& zoom);

// The margin around the visible area, in output pixels, that stands for kPreviewMargin screen
// pixels at this ratio.
int OutputMargin(const ZoomRatio& ratio);

// The area of the output the window shows at a ratio (visibleContent in screen pixels of the
// zoomed content), grown by the margin, mapped to the source and back (see AreaForVisible).
PreviewArea AreaForZoomedView(const PixelRect& visibleContent, const ZoomRatio& ratio,
                              const OutputMapping& mapping);

// The output rectangle a window shows (no margin): the visible part of the zoomed content in
// output pixels, reaching the output's far edges when the content's are in view (the content's
// extent is rounded down).
PixelRect ShownOutput(const PixelRect& visibleContent, const ZoomRatio& ratio, int ow, int oh);

// An area larger than this many output pixels is not computed at 100 % for a reduced view; the
// view draws a draft from the source instead (a 20000 x 20000 output seen whole would otherwise
// need gigabytes).
inline constexpr int64_t kZoomedOutExactBudget = 12'000'000;
bool FitsExactBudget(const PreviewArea& area);

// One axis of a zoom change: the scroll position that keeps the output point under `anchor`
// (a viewport coordinate) in place. content sizes are the zoomed extents before and after; a
// content smaller than the client is shown centred. Clamped to the new range.
int ScrollAfterZoom(int scroll, int anchor, int client, int oldContent, int newContent,
                    const ZoomRatio& oldRatio, const ZoomRatio& newRatio);

// The picture of an output rectangle (computed at 100 %) as it is shown at a ratio: the same
// image at 1:1; each pixel repeated when enlarging; smoothly reduced otherwise. Its size is the
// screen extent of target. Null for a null picture.
QImage ScaleForDisplay(const QImage& picture, const PixelRect& target, const ZoomRatio& ratio);

}  // namespace orm
