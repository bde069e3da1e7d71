#include "document/preview_store.h"

namespace orm {

PreviewStore::Cache* PreviewStore::CacheFor(ResizeAlgorithm algorithm) {
    if (!IsOwnAlgorithm(algorithm))
        return nullptr;
    return &caches_[engine::AlgorithmIndex(algorithm) - kFirstOwnAlgorithm];
}

bool PreviewStore::HasCache(ResizeAlgorithm algorithm) const {
    return IsOwnAlgorithm(algorithm) &&
           !caches_[engine::AlgorithmIndex(algorithm) - kFirstOwnAlgorithm].image.isNull();
}

void PreviewStore::ReleaseCaches() {
    for (Cache& c : caches_) c = Cache{};
}

void PreviewStore::Clear() {
    result_ = QImage();
    computed_ = PreviewRequest{};
    ReleaseCaches();
}

PreviewStore::Served PreviewStore::ServeFromCache(const PreviewRequest& request) {
    Cache* cache = CacheFor(request.algorithm);
    if (cache && cache->request.sampling != request.sampling)
        *cache = Cache{};  // made on the other grid
    if (cache && !cache->image.isNull() && cache->request.area == request.area) {
        result_ = cache->image;
        return Served::WholeCache;
    }

    const PreviewArea& want = request.area;
    const bool reusable = !computed_.area.isEmpty() && !want.isEmpty() &&
                          request.outputWidth == computed_.outputWidth &&
                          request.outputHeight == computed_.outputHeight &&
                          computed_.area.source.contains(want.source) &&
                          ScaleOf(computed_.area) == ScaleOf(want);
    if (!reusable) {
        ReleaseCaches();
        return Served::No;
    }
    if (!cache || cache->image.isNull())
        return Served::No;

    // The cut is placed by output coordinates: the cache covers its own target rectangle.
    const PreviewArea& have = cache->request.area;
    const bool inside = cache->request.outputWidth == request.outputWidth &&
                        cache->request.outputHeight == request.outputHeight &&
                        have.source.contains(want.source) && have.target.contains(want.target) &&
                        ScaleOf(have) == ScaleOf(want);
    if (inside) {
        const int x = want.target.left - have.target.left;
        const int y = want.target.top - have.target.top;
        QImage cut = cache->image.copy(x, y, want.target.width(), want.target.height());
        if (!cut.isNull()) {
            result_ = std::move(cut);
            return Served::CutFromCache;
        }
    }
    *cache = Cache{};
    return Served::No;
}

void PreviewStore::StoreComputed(const PreviewRequest& request, const QImage& result) {
    result_ = result;
    computed_ = request;
    if (Cache* cache = CacheFor(request.algorithm))
        *cache = Cache{result, request};
}

void PreviewStore::StoreCopy(const PreviewRequest& request, const QImage& copy) {
    result_ = copy;
    computed_ = request;
}

}  // namespace orm
