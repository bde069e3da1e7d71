#pragma once
// In-place filters of one plane: 3x3 sharpening, the recursive Gaussian and the local range
// stretch.

#include "engine/image_plane.h"
#include "engine/sampling.h"

#include <array>

namespace orm::engine {

// Every inner pixel becomes (100 P - a m) / (100 - a), m the integer mean of its 3x3 block,
// clamped; the outermost rows and columns stay. 0 <= amount < 100.
// Centred: every pixel, the outermost ones with their block's samples beyond the edge repeating
// the edge, becomes (900 P - a S) / (9 (100 - a)) rounded to nearest (halves up), S the block's
// sum, clamped. `arena`, when given, supplies the scratch plane.
bool SharpenPlane(ImagePlane& plane, int amount, CRSProgress* progress, PlaneArena* arena = nullptr,
                  Sampling sampling = Sampling::Documented);

// Coefficients of the fourth-order recursive approximation of a Gaussian.
struct DericheCoefficients {
    std::array<double, 5> n_p{}, n_m{};    // feed-forward
    std::array<double, 5> d_p{}, d_m{};    // feedback
    std::array<double, 5> bd_p{}, bd_m{};  // edge terms
};
// Centred: the feed-forward terms scaled to a steady-state gain of exactly one, and edge terms
// that continue each line with its edge sample (a constant line stays constant).
DericheCoefficients ComputeDericheCoefficients(double sigma,
                                               Sampling sampling = Sampling::Documented);

// Radius r = |code / 10| + 1 (quotient in single precision); sigma is where the Gaussian falls
// to 1/255 of its peak at distance r.
double GaussianSigmaForCode(int code);

// Column pass with the vertical code, then row pass with the horizontal code. Each finished
// column or row is written back at once. `stop` is a caller-owned byte checked after every row.
bool GaussianBlurPlane(ImagePlane& plane, int horizontal_code, int vertical_code,
                       const volatile unsigned char* stop, CRSProgress* progress,
                       Sampling sampling = Sampling::Documented);

// Pushes each value of v away from the middle of the local extremes of the guide g (windows of
// 2 (hw / 2) + 1 by 2 (vw / 2) + 1 pixels), saturating at those extremes. v and g may be the
// same plane. A larger strength stretches less. A non-zero grain adds noise of that amplitude
// (times the local gain) to the values of the stretched branch. `arena`, when given, supplies the
// result plane and takes back the replaced one.
// Centred: the stretched value gain (V - mid) + mid is rounded to nearest (halves up) instead of
// truncated.
bool RangeStretchPlane(ImagePlane& v, const ImagePlane& g, int hw, int vw, double sx, double sy,
                       double strength, CRSProgress* progress, int grain = 0,
                       PlaneArena* arena = nullptr, Sampling sampling = Sampling::Documented);

// The same without grain, written straight into v when g is another plane (no result plane):
// on a stop request v is then left partly stretched, for callers that discard it.
bool RangeStretchPlaneInPlace(ImagePlane& v, const ImagePlane& g, int hw, int vw, double sx,
                              double sy, double strength, CRSProgress* progress,
                              Sampling sampling = Sampling::Documented);

// The noise of the grain steps: the sum of six draws of a 15-bit generator, each less 16383.
class GrainNoise {
  public:
    int Next();

  private:
    unsigned state_ = 1;
};

}  // namespace orm::engine
