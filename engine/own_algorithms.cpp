#include "engine/own_algorithms.h"

#include "engine/plane_filters.h"
#include "engine/progress.h"
#include "engine/resample_plane.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace orm::engine {

namespace {

struct Ratios {
    double sx, sy, min, max;
};

Ratios RatiosOf(int dw, int dh, int sw, int sh) {
    const double sx = double(dw) / sw;
    const double sy = double(dh) / sh;
    return {sx, sy, std::min(sx, sy), std::max(sx, sy)};
}

Ratios RatiosOf(const ImagePlane& dst, const ImagePlane& src) {
    return RatiosOf(dst.Width(), dst.Height(), src.Width(), src.Height());
}

// The centred mode's stretch strength relative to the documented one: half the gain. Measured on
// the standard enlargement sets (bench/sr_quality): the documented gain over-sharpens once the
// grid no longer puts every k-th output of a whole enlargement on a source pixel.
constexpr double kCentredStretch = 2.0;

using PlaneCore = std::function<bool(ImagePlane& dst, const ImagePlane& src)>;
using PlaneOperation = std::function<bool(ImagePlane& dst, ImagePlane& src)>;

// Adds grain noise to every byte of the plane (no change for grain 0).
void AddGrain(ImagePlane& plane, int grain) {
    if (grain == 0)
        return;
    GrainNoise noise;
    for (std::uint8_t& b : plane.Bytes()) {
        const int v = b + int(std::int64_t(grain) * noise.Next() / 163830);
        b = std::uint8_t(std::clamp(v, 0, 255));
    }
}

// A scratch plane from the arena, given back when it goes out of scope.
class ScratchPlane {
  public:
    ScratchPlane(PlaneArena& arena, int w, int h) : arena_(arena), plane_(arena.Take(w, h)) {}
    ~ScratchPlane() { arena_.Give(std::move(plane_)); }
    ScratchPlane(const ScratchPlane&) = delete;
    ScratchPlane& operator=(const ScratchPlane&) = delete;
    ImagePlane& operator*() { return plane_; }

  private:
    PlaneArena& arena_;
    ImagePlane plane_;
};

// The scale plan shared by the artificial- and natural-scene algorithms.
bool ResizePlaneByPlan(ImagePlane& dst, const ImagePlane& src, double s, int grain,
                       const PlaneCore& core, CRSProgress* progress, PlaneArena& arena,
                       Sampling sampling) {
    const Ratios r = RatiosOf(dst, src);
    const int dw = dst.Width(), dh = dst.Height();
    const int sw = src.Width(), sh = src.Height();

    if (r.max <= 0.5) {
        {
            ScratchPlane rows(arena, dw, sh);
            if (!BoxReduceRows(*rows, src, progress, sampling) ||
                !BoxReduceColumns(dst, *rows, progress, sampling))
                return false;
        }
        if (!SharpenPlane(dst, 25, progress, &arena, sampling))
            return false;
    } else if (r.max <= 1.5 || r.min > 1.5) {
        if (!core(dst, src))
            return false;
    } else if (r.sy == r.min) {
        ScratchPlane inter(arena, dw, int(1.5 * sh));
        if (!core(*inter, src) || !BoxReduceColumns(dst, *inter, progress, sampling))
            return false;
    } else {
        ScratchPlane inter(arena, int(1.5 * sw), dh);
        if (!core(*inter, src) || !BoxReduceRows(dst, *inter, progress, sampling))
            return false;
    }

    if (r.min < 1.5) {
        const int amount = r.min <= 0.5 ? int(50 / s) : int((r.min + 1.5) * 20 / std::sqrt(s));
        return SharpenPlane(dst, amount, progress, &arena, sampling);
    }
    AddGrain(dst, grain);
    return true;
}

// Runs the plane operation on each channel in turn: extract, resize, store. The planes of one
// channel go back to the arena and serve the next.
bool ForEachChannel(BgrView dst, ConstBgrView src, int channels, const PlaneOperation& operation,
                    CRSProgress* progress, PlaneArena& arena) {
    for (int c = 0; c < channels; ++c) {
        ImagePlane source;
        if (!ExtractPlane(src.data, src.stride, c, channels, src.width, src.height, progress,
                          source, &arena))
            return false;
        ScratchPlane result(arena, dst.width, dst.height);  // every byte is written
        const bool ok = operation(*result, source);
        arena.Give(std::move(source));
        if (!ok || !StorePlane(dst.data, dst.stride, c, channels, *result, progress))
            return false;
    }
    return true;
}

// The natural-scene core's range-stretch window along an axis of ratio r, which the centred
// artificial-scene core shares (its own, max(2, 2 r), reaches a pixel further at whole ratios).
int NaturalWindow(double r) {
    return std::max(2, int(2 * (r - 0.5)));
}

}  // namespace

double StretchStrength(int b) {
    return 103.0 / (double(b) * b / 100 + 3);
}

int SweepsSmart(double min_ratio, double max_ratio, Sampling sampling) {
    if (max_ratio <= 0.5)
        return 6;
    if (max_ratio <= 1.5)
        return 3 + (min_ratio < 1.5);
    // The centred core makes no blur before its stretch.
    const int core = sampling == Sampling::Centred ? 6 : 7;
    return core + (min_ratio <= 1.5) + (min_ratio < 1.5);
}

int SweepsNatural(double min_ratio, double max_ratio) {
    if (max_ratio <= 0.5)
        return 6;
    if (max_ratio <= 1.5)
        return 3 + (min_ratio < 1.5);
    return 4 + (max_ratio >= 3) + (min_ratio <= 1.5) + (min_ratio < 1.5);
}

bool SmartCoreLanczos(ImagePlane& dst, const ImagePlane& src, double s, int ratio_flag,
                      CRSProgress* progress, PlaneArena* arena, Sampling sampling) {
    if (!ResamplePlane(dst, src, ratio_flag + 1, 1, KernelType::Lanczos, progress, sampling))
        return false;
    const Ratios r = RatiosOf(dst, src);
    if (r.max <= 1.5)
        return true;
    const bool centred = sampling == Sampling::Centred;
    PlaneArena local;
    PlaneArena& scratch = arena != nullptr ? *arena : local;
    const unsigned char no_stop = 0;
    {
        ScratchPlane guide(scratch, dst.Width(), dst.Height());  // every byte is written
        // A stop request here is answered again by the blur (centred: the stretch) that follows.
        ResamplePlane(*guide, src, 0.0, 0.5, KernelType::Cubic, progress, sampling);
        if (!centred && !GaussianBlurPlane(dst, std::max(10, int(r.sx)), std::max(10, int(r.sy)),
                                           &no_stop, progress, sampling))
            return false;
        // dst is this resize's own plane, discarded on a stop: it is stretched in place.
        const int hw = centred ? NaturalWindow(r.sx) : std::max(2, int(2 * r.sx));
        const int vw = centred ? NaturalWindow(r.sy) : std::max(2, int(2 * r.sy));
        if (!RangeStretchPlaneInPlace(dst, *guide, hw, vw, r.sx, r.sy,
                                      centred ? kCentredStretch * s : s, progress, sampling))
            return false;
    }
    return GaussianBlurPlane(dst, 10, 10, &no_stop, progress, sampling);
}

bool NaturalCoreCubic(ImagePlane& dst, const ImagePlane& src, double s, int variant, int grain,
                      CRSProgress* progress, PlaneArena* arena, Sampling sampling) {
    (void)variant;  // every caller passes the plain variant
    const bool centred = sampling == Sampling::Centred;
    const bool resampled =
        centred ? ResamplePlane(dst, src, 3, 1, KernelType::Lanczos, progress, sampling)
                : ResamplePlane(dst, src, 0.0, 0.5, KernelType::Cubic, progress, sampling);
    if (!resampled)
        return false;
    const Ratios r = RatiosOf(dst, src);
    if (r.max <= 1.5)
        return true;
    if (!RangeStretchPlane(dst, dst, NaturalWindow(r.sx), NaturalWindow(r.sy), r.sx, r.sy,
                           centred ? kCentredStretch * s : s, progress, grain, arena, sampling))
        return false;
    if (r.max >= 3) {
        const unsigned char no_stop = 0;
        return GaussianBlurPlane(dst, 8, 8, &no_stop, progress, sampling);
    }
    return true;
}

bool ResizePlaneSmart(ImagePlane& dst, const ImagePlane& src, double s, int ratio_flag, int grain,
                      CRSProgress* progress, PlaneArena* arena, Sampling sampling) {
    PlaneArena local;
    PlaneArena& scratch = arena != nullptr ? *arena : local;
    return ResizePlaneByPlan(
        dst, src, s, grain,
        [&](ImagePlane& d, const ImagePlane& sp) {
            return SmartCoreLanczos(d, sp, s, ratio_flag, progress, &scratch, sampling);
        },
        progress, scratch, sampling);
}

bool ResizePlaneNatural(ImagePlane& dst, const ImagePlane& src, double s, int grain, int variant,
                        CRSProgress* progress, PlaneArena* arena, Sampling sampling) {
    PlaneArena local;
    PlaneArena& scratch = arena != nullptr ? *arena : local;
    return ResizePlaneByPlan(
        dst, src, s, grain,
        [&](ImagePlane& d, const ImagePlane& sp) {
            return NaturalCoreCubic(d, sp, s, variant, grain, progress, &scratch, sampling);
        },
        progress, scratch, sampling);
}

bool ResizeSmart(BgrView dst, ConstBgrView src, bool colour, int strength, int ratio_flag,
                 int grain, int variant, CRSProgress* progress, Sampling sampling) {
    return ResizeSmartChannels(dst, src, colour ? 3 : 1, strength, ratio_flag, grain, variant,
                               progress, sampling);
}

bool ResizeNatural(BgrView dst, ConstBgrView src, bool colour, int strength, int ratio_flag,
                   int grain, int variant, CRSProgress* progress, Sampling sampling) {
    return ResizeNaturalChannels(dst, src, colour ? 3 : 1, strength, ratio_flag, grain, variant,
                                 progress, sampling);
}

bool ResizeSmartChannels(BgrView dst, ConstBgrView src, int channels, int strength, int ratio_flag,
                         int grain, int variant, CRSProgress* progress, Sampling sampling) {
    const Ratios r = RatiosOf(dst.width, dst.height, src.width, src.height);
    if (progress != nullptr)
        progress->passes = SweepsSmart(r.min, r.max, sampling) * channels;
    const bool presharpen = variant == kVariantPresharpen;
    const double s = StretchStrength(strength);
    PlaneArena arena;
    return ForEachChannel(
        dst, src, channels,
        [&](ImagePlane& d, ImagePlane& sp) {
            if (presharpen)
                SharpenPlane(sp, 25, nullptr, &arena, sampling);
            return ResizePlaneSmart(d, sp, s, ratio_flag, grain, progress, &arena, sampling);
        },
        progress, arena);
}

bool ResizeNaturalChannels(BgrView dst, ConstBgrView src, int channels, int strength,
                           int ratio_flag, int grain, int variant, CRSProgress* progress,
                           Sampling sampling) {
    (void)ratio_flag;  // the natural-scene core does not depend on it
    const Ratios r = RatiosOf(dst.width, dst.height, src.width, src.height);
    if (progress != nullptr)
        progress->passes = SweepsNatural(r.min, r.max) * channels;
    const double s = StretchStrength(strength);
    PlaneArena arena;
    return ForEachChannel(
        dst, src, channels,
        [&](ImagePlane& d, ImagePlane& sp) {
            return ResizePlaneNatural(d, sp, s, grain / 3, variant, progress, &arena, sampling);
        },
        progress, arena);
}

}  // namespace orm::engine
