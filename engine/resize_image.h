#pragma once
// The single entry through which the program resizes an image.

#include "engine/pixel_view.h"

#include <optional>

namespace orm::engine {

class CRSProgress;

// Algorithm indices, in the order of the algorithm list.
enum : int {
    kAlgorithmNearestNeighbor = 0,
    kAlgorithmBilinear = 1,
    kAlgorithmHighQualityBilinear = 2,
    kAlgorithmBicubic = 3,
    kAlgorithmHighQualityBicubic = 4,
    kAlgorithmSmartArtificial = 5,
    kAlgorithmSmartNatural = 6,
    kAlgorithmAdvancedNatural = 7,
    kAlgorithmCount = 8,
};

const char* AlgorithmName(int algorithm);  // "Nearest Neighbor" .. "Advanced for Natural Scenes"

enum class ResizeStatus {
    Ok,
    Cancelled,     // the progress sink asked to stop
    OutOfMemory,   // the planes or the target do not fit in memory
    InvalidInput,  // empty images, an unknown algorithm
};

// 1 when both ratios tw / sw and th / sh are whole numbers, else 2.
int RatioFlag(int tw, int th, int sw, int sh);

// Size of the image that covers dw x dh at the source's aspect ratio (the crop intermediate).
void CoverSize(int sw, int sh, int dw, int dh, int& tw, int& th);

// Copies the centre of `intermediate` (at least as large as dst) into dst.
void CropCentre(ConstBgrView intermediate, BgrView dst);

// Resizes src into dst (which has the target size). With `crop`, the source is resized to cover
// dst at its own aspect ratio and the centre is cut out. The result is written into dst only
// once it is complete: after a failure or cancellation dst is unchanged.
ResizeStatus ResizeImageInto(ConstBgrView src, BgrView dst, int algorithm, bool crop,
                             CRSProgress* progress);

// The same, into a new image of dw x dh that exists only on success.
struct ResizeOutcome {
    ResizeStatus status = ResizeStatus::InvalidInput;
    BgrImage image;
};
ResizeOutcome ResizeImage(ConstBgrView src, int dw, int dh, int algorithm, bool crop,
                          CRSProgress* progress);

// The engine's side of the preview job: clears the cancel flag, resizes the source region to
// dw x dh with own algorithm 5, 6 or 7 through a fresh progress sink, and returns the result, or
// nothing when it was cancelled or failed.
std::optional<BgrImage> ResizePreviewRegion(ConstBgrView source_region, int dw, int dh,
                                            int algorithm);

}  // namespace orm::engine
