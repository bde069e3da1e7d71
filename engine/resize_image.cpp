#include "engine/resize_image.h"

#include "engine/memory_budget.h"
#include "engine/own_algorithms.h"
#include "engine/progress.h"
#include "engine/standard_modes.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>

namespace orm::engine {

namespace {

constexpr const char* kAlgorithmNames[kAlgorithmCount] = {
    "Nearest Neighbor",         "Bilinear",
    "High Quality Bilinear",    "Bicubic",
    "High Quality Bicubic",     "Smart for Artificial Scenes",
    "Smart for Natural Scenes", "Advanced for Natural Scenes",
};

bool IsWhole(double v) {
    return v == std::trunc(v);
}

void CopyPixels(ConstBgrView from, BgrView to) {
    const std::size_t bytes = std::size_t(to.width) * kBgrChannels;
    for (int y = 0; y < to.height; ++y) std::memcpy(to.Row(y), from.Row(y), bytes);
}

}  // namespace

bool RunAlgorithm(ConstBgrView src, BgrView target, ResizeAlgorithm algorithm,
                  CRSProgress* progress, int channels, Sampling sampling) {
    switch (algorithm) {
        case ResizeAlgorithm::SmartArtificial:
            return ResizeSmartChannels(
                target, src, channels, 50,
                RatioFlag(target.width, target.height, src.width, src.height), 0, kVariantPlain,
                progress, sampling);
        case ResizeAlgorithm::SmartNatural:
            return ResizeNaturalChannels(
                target, src, channels, 40,
                RatioFlag(target.width, target.height, src.width, src.height), 0, kVariantPlain,
                progress, sampling);
        case ResizeAlgorithm::AdvancedNatural:
            return ResizeSmartChannels(target, src, channels, 25, 2, 0, kVariantPresharpen,
                                       progress, sampling);
        default:
            DrawStandardMode(src, target, StandardMode(AlgorithmIndex(algorithm)), channels);
            return true;
    }
}

const char* AlgorithmName(ResizeAlgorithm algorithm) {
    const int index = AlgorithmIndex(algorithm);
    return index >= 0 && index < kAlgorithmCount ? kAlgorithmNames[index] : "";
}

int RatioFlag(int tw, int th, int sw, int sh) {
    return IsWhole(double(tw) / sw) && IsWhole(double(th) / sh) ? 1 : 2;
}

void CoverSize(int sw, int sh, int dw, int dh, int& tw, int& th) {
    // 64-bit products; a side beyond int (an absurd aspect) is held at INT_MAX, which no
    // allocation satisfies, so the resize reports out of memory.
    const std::int64_t a = std::int64_t(dw) * sh, b = std::int64_t(dh) * sw;
    const auto side = [](std::int64_t v) { return int(std::min<std::int64_t>(v, INT_MAX)); };
    if (a > b) {
        tw = dw;
        th = side(a / sw);
    } else {
        tw = side(b / sh);
        th = dh;
    }
}

void CropCentre(ConstBgrView intermediate, BgrView dst) {
    const int top = (intermediate.height - dst.height) / 2;
    const int left = (intermediate.width - dst.width) / 2;
    CopyPixels(intermediate.Sub(left, top, dst.width, dst.height), dst);
}

ResizeOutcome ResizeImage(ConstBgrView src, int dw, int dh, ResizeAlgorithm algorithm, bool crop,
                          CRSProgress* progress, Sampling sampling) {
    ResizeOutcome outcome;
    if (src.data == nullptr || src.width <= 0 || src.height <= 0 || dw <= 0 || dh <= 0 ||
        !AlgorithmFromIndex(AlgorithmIndex(algorithm))) {
        outcome.status = ResizeStatus::InvalidInput;
        return outcome;
    }
    try {
        int tw = dw, th = dh;
        if (crop)
            CoverSize(src.width, src.height, dw, dh, tw, th);
        const std::uint64_t available = AvailableMemoryBytes();
        if (available != 0 && EstimatedResizeBytes(src.width, src.height, tw, th, dw, dh, algorithm,
                                                   crop) > available) {
            outcome.status = ResizeStatus::OutOfMemory;
            return outcome;
        }
        BgrImage target = BgrImage::Uninitialised(tw, th);  // every algorithm writes every byte
        if (!RunAlgorithm(src, target.View(), algorithm, progress, kBgrChannels, sampling)) {
            outcome.status = ResizeStatus::Cancelled;
            return outcome;
        }
        if (crop) {
            BgrImage cropped = BgrImage::Uninitialised(dw, dh);
            CropCentre(target.View(), cropped.View());
            target = std::move(cropped);
        }
        outcome.image = std::move(target);
        outcome.status = ResizeStatus::Ok;
    } catch (const std::bad_alloc&) {
        outcome.status = ResizeStatus::OutOfMemory;
    } catch (const std::length_error&) {
        outcome.status = ResizeStatus::OutOfMemory;
    }
    return outcome;
}

ResizeStatus ResizeImageInto(ConstBgrView src, BgrView dst, ResizeAlgorithm algorithm, bool crop,
                             CRSProgress* progress, Sampling sampling) {
    if (dst.data == nullptr)
        return ResizeStatus::InvalidInput;
    ResizeOutcome outcome =
        ResizeImage(src, dst.width, dst.height, algorithm, crop, progress, sampling);
    if (outcome.status == ResizeStatus::Ok)
        CopyPixels(outcome.image.View(), dst);
    return outcome.status;
}

}  // namespace orm::engine
