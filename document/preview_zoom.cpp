#include "document/preview_zoom.h"

#include "engine/standard_modes.h"
#include "imageio/qimage_views.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numeric>
#include <vector>

namespace orm {
namespace {

// Division rounding toward minus infinity (d > 0); crop-mode areas reach negative coordinates.
int64_t FloorDiv(int64_t n, int64_t d) {
    return n >= 0 ? n / d : -((-n + d - 1) / d);
}
int64_t CeilDiv(int64_t n, int64_t d) {
    return -FloorDiv(-n, d);
}

ZoomRatio Reduced(int64_t num, int64_t den) {
    const int64_t g = std::gcd(num, den);
    return g > 0 ? ZoomRatio{num / g, den / g} : ZoomRatio{};
}

// a < b for two ratios.
bool Less(const ZoomRatio& a, const ZoomRatio& b) {
    return a.num * b.den < b.num * a.den;
}

ZoomRatio PercentRatio(int percent) {
    return Reduced(percent, 100);
}

}  // namespace

int ZoomRatio::ToScreen(int output) const {
    return static_cast<int>(FloorDiv(int64_t(output) * num, den));
}
int ZoomRatio::ToOutputFloor(int screen) const {
    return static_cast<int>(FloorDiv(int64_t(screen) * den, num));
}
int ZoomRatio::ToOutputCeil(int screen) const {
    return static_cast<int>(CeilDiv(int64_t(screen) * den, num));
}
int ZoomRatio::Extent(int output) const {
    return output <= 0 ? 0 : std::max(1, ToScreen(output));
}
PixelRect ZoomRatio::ToScreen(const PixelRect& r) const {
    return {ToScreen(r.left), ToScreen(r.top), ToScreen(r.right), ToScreen(r.bottom)};
}
PixelRect ZoomRatio::ToOutput(const PixelRect& r) const {
    return {ToOutputFloor(r.left), ToOutputFloor(r.top), ToOutputCeil(r.right),
            ToOutputCeil(r.bottom)};
}

ZoomRatio RatioOf(const PreviewZoom& zoom, int ow, int oh, int cw, int ch) {
    if (!zoom.fit)
        return PercentRatio(std::max(1, zoom.percent));
    if (ow <= 0 || oh <= 0 || cw <= 0 || ch <= 0)
        return {};
    // The smaller of cw / ow and ch / oh, never above 1.
    ZoomRatio r = int64_t(cw) * oh <= int64_t(ch) * ow ? Reduced(cw, ow) : Reduced(ch, oh);
    return r.enlarges() ? ZoomRatio{} : r;
}

ZoomRatio DeviceScaleOf(double devicePixelRatio) {
    const long steps = std::lround(devicePixelRatio * 120.0);
    if (!(devicePixelRatio > 0) || steps <= 0 || steps > 120 * 16)
        return {};
    return Reduced(steps, 120);
}

double ZoomGeometry::ToLogical(int output) const {
    return double(device.ToScreen(output)) * double(scale.den) / double(scale.num);
}

int ZoomGeometry::ToDevice(int logical) const {
    return static_cast<int>(FloorDiv(2 * int64_t(logical) * scale.num + scale.den, 2 * scale.den));
}

ZoomGeometry GeometryOf(const PreviewZoom& zoom, int ow, int oh, int cw, int ch,
                        const ZoomRatio& scale) {
    ZoomGeometry g;
    g.scale = scale;
    // The client's whole device pixels.
    const int dcw = static_cast<int>(FloorDiv(int64_t(cw) * scale.num, scale.den));
    const int dch = static_cast<int>(FloorDiv(int64_t(ch) * scale.num, scale.den));
    g.device = RatioOf(zoom, ow, oh, dcw, dch);
    g.logical = Reduced(g.device.num * scale.den, g.device.den * scale.num);
    g.contentWidth = static_cast<int>(CeilDiv(int64_t(g.device.Extent(ow)) * scale.den, scale.num));
    g.contentHeight =
        static_cast<int>(CeilDiv(int64_t(g.device.Extent(oh)) * scale.den, scale.num));
    return g;
}

PreviewZoom ZoomIn(const PreviewZoom& zoom, const ZoomRatio& current, const ZoomRatio& fit) {
    const int* above = nullptr;
    for (const int& p : kZoomPercents)
        if (!above && Less(current, PercentRatio(p)))
            above = &p;
    const bool fitAbove = !zoom.fit && Less(current, fit);
    // The nearer of the step above and Fit; a step equal to Fit wins.
    if (fitAbove && (!above || Less(fit, PercentRatio(*above))))
        return {true, zoom.percent};
    if (above)
        return {false, *above};
    return zoom;
}

PreviewZoom ZoomOut(const PreviewZoom& zoom, const ZoomRatio& current, const ZoomRatio& fit) {
    const int* below = nullptr;
    for (const int& p : kZoomPercents)
        if (Less(PercentRatio(p), current))
            below = &p;
    const bool fitBelow = !zoom.fit && Less(fit, current);
    if (fitBelow && (!below || Less(PercentRatio(*below), fit)))
        return {true, zoom.percent};
    if (below)
        return {false, *below};
    return zoom;
}

QString ZoomLabel(const PreviewZoom& zoom) {
    return zoom.fit ? QStringLiteral("Fit") : QStringLiteral("%1%").arg(zoom.percent);
}

int OutputMargin(const ZoomRatio& ratio) {
    return static_cast<int>(CeilDiv(int64_t(kPreviewMargin) * ratio.den, ratio.num));
}

PreviewArea AreaForZoomedView(const PixelRect& visibleContent, const ZoomRatio& ratio,
                              const OutputMapping& mapping) {
    return AreaForVisible(ratio.ToOutput(visibleContent), OutputMargin(ratio), mapping);
}

PixelRect ShownOutput(const PixelRect& visibleContent, const ZoomRatio& ratio, int ow, int oh) {
    const PixelRect content{0, 0, ratio.Extent(ow), ratio.Extent(oh)};
    const PixelRect shown = visibleContent.intersected(content);
    if (shown.isEmpty())
        return {};
    PixelRect out = ratio.ToOutput(shown);
    if (shown.right >= content.right)
        out.right = ow;
    if (shown.bottom >= content.bottom)
        out.bottom = oh;
    return out.intersected({0, 0, ow, oh});
}

bool FitsExactBudget(const PreviewArea& area) {
    return int64_t(area.target.width()) * area.target.height() <= kZoomedOutExactBudget;
}

int ScrollAfterZoom(int scroll, int anchor, int client, int oldContent, int newContent,
                    const ZoomRatio& oldRatio, const ZoomRatio& newRatio) {
    if (newContent <= client)
        return 0;
    const int oldOffset = oldContent < client ? (client - oldContent) / 2 : 0;
    const double contentPoint = double(scroll) + anchor - oldOffset;
    const double outputPoint = contentPoint * double(oldRatio.den) / double(oldRatio.num);
    const double newPoint = outputPoint * double(newRatio.num) / double(newRatio.den);
    const long wanted = std::lround(newPoint - anchor);
    return static_cast<int>(std::clamp<long>(wanted, 0, newContent - client));
}

namespace {

// Each destination pixel takes the source pixel under its top-left corner (d * s / dst): an
// integer enlargement repeats every pixel exactly.
QImage RepeatPixels(const QImage& given, int width, int height) {
    const QImage picture = given.depth() == 24 || given.depth() == 32
                               ? given
                               : given.convertToFormat(QImage::Format_RGB32);
    QImage out(width, height, picture.format());
    if (out.isNull())
        return {};
    const int bpp = picture.depth() / 8;
    std::vector<int> columns(width);
    for (int x = 0; x < width; ++x)
        columns[x] = static_cast<int>(int64_t(x) * picture.width() / width) * bpp;
    for (int y = 0; y < height; ++y) {
        const uchar* from =
            picture.constScanLine(static_cast<int>(int64_t(y) * picture.height() / height));
        uchar* to = out.scanLine(y);
        for (int x = 0; x < width; ++x, to += bpp) std::memcpy(to, from + columns[x], bpp);
    }
    return out;
}

}  // namespace

QImage ScaleForDisplay(const QImage& picture, const PixelRect& target, const ZoomRatio& ratio) {
    if (picture.isNull() || ratio.isOne())
        return picture;
    const PixelRect screen = ratio.ToScreen(target);
    const int w = std::max(1, screen.width());
    const int h = std::max(1, screen.height());
    try {
        if (ratio.enlarges())
            return RepeatPixels(picture, w, h);
        if (picture.format() == QImage::Format_BGR888) {
            // The engine's area-weighted reduction: several times faster than the toolkit's.
            QImage out(w, h, QImage::Format_BGR888);
            if (out.isNull())
                return {};
            engine::DrawStandardMode(ConstBgrViewOf(picture), BgrViewOf(out),
                                     engine::StandardMode::HighQualityBilinear);
            return out;
        }
        return picture.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace orm
