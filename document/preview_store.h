#pragma once
// The computed preview and the per-algorithm caches, with the rules that decide whether a
// request can be served from them. Used on the user-interface thread only: the worker hands its
// results over by value, so no lock guards this state.

#include "document/preview_geometry.h"
#include "engine/algorithm.h"
#include "engine/sampling.h"

#include <QImage>

#include <array>

namespace orm {

// One preview request: an area, the output size it belongs to and the own algorithm.
struct PreviewRequest {
    PreviewArea area;
    int outputWidth = 0;
    int outputHeight = 0;
    engine::ResizeAlgorithm algorithm = engine::ResizeAlgorithm::SmartArtificial;
    engine::Sampling sampling = engine::Sampling::Documented;
    bool operator==(const PreviewRequest&) const = default;
};

using engine::IsOwnAlgorithm;
using engine::ResizeAlgorithm;

// Algorithms with a cache: the three own ones.
inline constexpr int kFirstOwnAlgorithm = engine::AlgorithmIndex(ResizeAlgorithm::SmartArtificial);
inline constexpr int kLastOwnAlgorithm = engine::AlgorithmIndex(ResizeAlgorithm::AdvancedNatural);

class PreviewStore {
  public:
    enum class Served {
        No,            // nothing suitable: compute
        WholeCache,    // the cache covers exactly this area
        CutFromCache,  // the area lies inside the cached one at the same scale
    };

    // Tries the cache of the request's algorithm. When the request lies outside the last computed
    // area (or at another scale or output size) all caches are released; when only this
    // algorithm's cache cannot serve it, that cache is released.
    Served ServeFromCache(const PreviewRequest& request);

    // A finished computation: the result, the cache of its algorithm and the computed area.
    void StoreComputed(const PreviewRequest& request, const QImage& result);
    // A 1:1 copy: the result and the computed area (no cache).
    void StoreCopy(const PreviewRequest& request, const QImage& copy);

    void ReleaseResult() { result_ = QImage(); }
    void ReleaseCaches();
    // Everything, as before the first request (a new source image).
    void Clear();

    bool HasResult() const { return !result_.isNull(); }
    const QImage& Result() const { return result_; }
    bool HasCache(ResizeAlgorithm algorithm) const;
    const PreviewRequest& Computed() const { return computed_; }

  private:
    struct Cache {
        QImage image;
        PreviewRequest request;
    };
    Cache* CacheFor(ResizeAlgorithm algorithm);

    QImage result_;
    PreviewRequest computed_;
    std::array<Cache, kLastOwnAlgorithm - kFirstOwnAlgorithm + 1> caches_;
};

}  // namespace orm
