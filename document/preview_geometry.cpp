#include "document/preview_geometry.h"

#include "engine/resize_image.h"

#include <algorithm>

namespace orm {
namespace {

int MulDiv(int64_t a, int64_t b, int64_t c) {
    return c == 0 ? 0 : static_cast<int>(a * b / c);
}

int MulDivUp(int64_t a, int64_t b, int64_t c) {
    if (c == 0)
        return 0;
    const int64_t p = a * b;
    // Rounds toward plus infinity for either sign of p (c is positive here).
    return static_cast<int>(p >= 0 ? (p + c - 1) / c : p / c);
}

}  // namespace

PixelRect PixelRect::intersected(const PixelRect& r) const {
    PixelRect out{std::max(left, r.left), std::max(top, r.top), std::min(right, r.right),
                  std::min(bottom, r.bottom)};
    if (out.isEmpty())
        return {};
    return out;
}

void CropBoxSize(int w, int h, int outputWidth, int outputHeight, int& boxWidth, int& boxHeight) {
    if (int64_t(h) * outputWidth < int64_t(w) * outputHeight) {
        boxWidth = MulDiv(h, outputWidth, outputHeight);
        boxHeight = h;
    } else {
        boxWidth = w;
        boxHeight = MulDiv(w, outputHeight, outputWidth);
    }
    boxWidth = std::max(boxWidth, 1);
    boxHeight = std::max(boxHeight, 1);
}

OutputMapping::OutputMapping(int sourceWidth, int sourceHeight, int outputWidth, int outputHeight,
                             bool crop)
    : sw_(sourceWidth), sh_(sourceHeight), ow_(outputWidth), oh_(outputHeight) {
    if (!valid()) {
        sw_ = sh_ = ow_ = oh_ = 0;
        return;
    }
    box_ = {0, 0, sw_, sh_};
    iw_ = ow_;
    ih_ = oh_;
    if (crop) {
        int bw = 0, bh = 0;
        CropBoxSize(sw_, sh_, ow_, oh_, bw, bh);
        box_.left = (sw_ - bw) / 2;
        box_.top = (sh_ - bh) / 2;
        box_.right = box_.left + bw;
        box_.bottom = box_.top + bh;
        // Exactly as ResizeImage crops: cover, then cut the centre.
        engine::CoverSize(sw_, sh_, ow_, oh_, iw_, ih_);
        offX_ = (iw_ - ow_) / 2;
        offY_ = (ih_ - oh_) / 2;
    }
}

int OutputMapping::ToSourceX(int x) const {
    return MulDiv(x + offX_, sw_, iw_);
}
int OutputMapping::ToSourceY(int y) const {
    return MulDiv(y + offY_, sh_, ih_);
}
int OutputMapping::ToOutputX(int x) const {
    return MulDiv(x, iw_, sw_) - offX_;
}
int OutputMapping::ToOutputY(int y) const {
    return MulDiv(y, ih_, sh_) - offY_;
}

PixelRect OutputMapping::OutputToSource(const PixelRect& output) const {
    if (!valid())
        return {};
    const PixelRect shown = output.intersected({0, 0, ow_, oh_});
    if (shown.isEmpty())
        return {};
    // In the intermediate an area that reaches an edge of the output reaches the intermediate's
    // edge too: the strips cut away are computed with it, so a view of the whole output is
    // resized exactly as the saved file (the whole source at the intermediate's scale).
    const int left = shown.left <= 0 ? 0 : shown.left + offX_;
    const int top = shown.top <= 0 ? 0 : shown.top + offY_;
    const int right = shown.right >= ow_ ? iw_ : shown.right + offX_;
    const int bottom = shown.bottom >= oh_ ? ih_ : shown.bottom + offY_;
    const PixelRect mapped{MulDiv(left, sw_, iw_), MulDiv(top, sh_, ih_), MulDivUp(right, sw_, iw_),
                           MulDivUp(bottom, sh_, ih_)};
    return mapped.intersected({0, 0, sw_, sh_});
}

PixelRect OutputMapping::SourceToOutput(const PixelRect& source) const {
    if (!valid() || source.isEmpty())
        return {};
    return {ToOutputX(source.left), ToOutputY(source.top), ToOutputX(source.right),
            ToOutputY(source.bottom)};
}

PreviewArea AreaForVisible(const PixelRect& visibleOutput, int margin,
                           const OutputMapping& mapping) {
    const PixelRect grown{visibleOutput.left - margin, visibleOutput.top - margin,
                          visibleOutput.right + margin, visibleOutput.bottom + margin};
    PreviewArea area;
    area.source = mapping.OutputToSource(grown);
    area.target = mapping.SourceToOutput(area.source);
    if (area.isEmpty())
        return {};
    return area;
}

PixelRect VisibleSourceRect(const PixelRect& visibleOutput, const OutputMapping& mapping) {
    return mapping.OutputToSource(visibleOutput);
}

PreviewScale ScaleOf(const PreviewArea& area) {
    if (area.isEmpty())
        return {};
    return {int64_t(area.target.width()) * 100 / area.source.width(),
            int64_t(area.target.height()) * 100 / area.source.height()};
}

PixelRect FitCentred(int sourceWidth, int sourceHeight, int clientWidth, int clientHeight) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || clientWidth <= 0 || clientHeight <= 0)
        return {};
    int w = clientWidth, h = clientHeight;
    if (int64_t(sourceWidth) * clientHeight > int64_t(sourceHeight) * clientWidth)
        h = std::max(1, MulDiv(sourceHeight, clientWidth, sourceWidth));
    else
        w = std::max(1, MulDiv(sourceWidth, clientHeight, sourceHeight));
    const int left = (clientWidth - w) / 2;
    const int top = (clientHeight - h) / 2;
    return {left, top, left + w, top + h};
}

PixelRect NavigatorFrame(const PixelRect& image, int outputWidth, int outputHeight, bool crop) {
    if (!crop || image.isEmpty() || outputWidth <= 0 || outputHeight <= 0)
        return image;
    const int iw = image.width(), ih = image.height();
    int bw = iw, bh = ih;
    if (int64_t(ih) * outputWidth < int64_t(iw) * outputHeight)
        bw = std::min(iw, MulDivUp(ih, outputWidth, outputHeight));
    else
        bh = std::min(ih, MulDivUp(iw, outputHeight, outputWidth));
    const int left = image.left + (iw - bw) / 2;
    const int top = image.top + (ih - bh) / 2;
    return {left, top, left + bw, top + bh};
}

PixelRect NavigatorMarker(const PixelRect& visibleSource, const PixelRect& image, int sourceWidth,
                          int sourceHeight) {
    if (visibleSource.isEmpty() || image.isEmpty() || sourceWidth <= 0 || sourceHeight <= 0)
        return {};
    const int iw = image.width(), ih = image.height();
    PixelRect m{MulDivUp(visibleSource.left, iw, sourceWidth),
                MulDivUp(visibleSource.top, ih, sourceHeight),
                MulDivUp(visibleSource.right, iw, sourceWidth),
                MulDivUp(visibleSource.bottom, ih, sourceHeight)};
    return m.translated(image.left, image.top);
}

PixelRect DragMarker(const PixelRect& startMarker, int dx, int dy, const PixelRect& frame) {
    const int w = startMarker.width(), h = startMarker.height();
    const int left = std::max(frame.left, std::min(startMarker.left + dx, frame.right - w));
    const int top = std::max(frame.top, std::min(startMarker.top + dy, frame.bottom - h));
    return {left, top, left + w, top + h};
}

void MarkerToOutput(const PixelRect& marker, const PixelRect& image, const OutputMapping& mapping,
                    int& outputX, int& outputY) {
    outputX = outputY = 0;
    if (!mapping.valid() || image.isEmpty())
        return;
    const int sx = MulDivUp(marker.left - image.left, mapping.sourceWidth(), image.width());
    const int sy = MulDivUp(marker.top - image.top, mapping.sourceHeight(), image.height());
    outputX = std::max(
        0, MulDivUp(sx, mapping.intermediateWidth(), mapping.sourceWidth()) - mapping.offsetX());
    outputY = std::max(
        0, MulDivUp(sy, mapping.intermediateHeight(), mapping.sourceHeight()) - mapping.offsetY());
}

}  // namespace orm
