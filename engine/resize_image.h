#pragma once
// The single entry through which the program resizes an image.

#include "engine/algorithm.h"
#include "engine/pixel_view.h"
#include "engine/sampling.h"

namespace orm::engine {

class CRSProgress;

enum class ResizeStatus {
    Ok,
    Cancelled,     // the progress sink asked to stop (its owner's stop token)
    OutOfMemory,   // the planes or the target do not fit in memory
    InvalidInput,  // empty images, an unknown algorithm
};

// 1 when both ratios tw / sw and th / sh are whole numbers, else 2.
int RatioFlag(int tw, int th, int sw, int sh);

// Size of the image that covers dw x dh at the source's aspect ratio (the crop intermediate).
void CoverSize(int sw, int sh, int dw, int dh, int& tw, int& th);

// Runs the algorithm from src into target, which has the target size (no crop, no memory
// check): the step ResizeImage makes. `channels` is the bytes of a pixel, each channel resized as
// the colours are: 3, or 4 (colours and alpha); the own algorithms take any count. False on a
// stop request; throws std::bad_alloc when the scratch does not fit. `sampling` applies to the
// own algorithms; the standard modes are always centred.
bool RunAlgorithm(ConstBgrView src, BgrView target, ResizeAlgorithm algorithm,
                  CRSProgress* progress, int channels = kBgrChannels,
                  Sampling sampling = Sampling::Documented);

// Copies the centre of `intermediate` (at least as large as dst) into dst.
void CropCentre(ConstBgrView intermediate, BgrView dst);

// Resizes src into dst (which has the target size). With `crop`, the source is resized to cover
// dst at its own aspect ratio and the centre is cut out. The result is written into dst only
// once it is complete: after a failure or cancellation dst is unchanged.
ResizeStatus ResizeImageInto(ConstBgrView src, BgrView dst, ResizeAlgorithm algorithm, bool crop,
                             CRSProgress* progress, Sampling sampling = Sampling::Documented);

// The same, into a new image of dw x dh that exists only on success.
struct ResizeOutcome {
    ResizeStatus status = ResizeStatus::InvalidInput;
    BgrImage image;
};
ResizeOutcome ResizeImage(ConstBgrView src, int dw, int dh, ResizeAlgorithm algorithm, bool crop,
                          CRSProgress* progress, Sampling sampling = Sampling::Documented);

}  // namespace orm::engine
