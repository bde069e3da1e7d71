#include "engine/image_plane.h"

#include "engine/parallel.h"
#include "engine/progress.h"
#include "engine/simd.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace orm::engine {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

// Large blocks given back are kept for the next resize: a batch resizes file after file at much
// the same sizes, and the first write into fresh memory costs a page fault and the kernel's
// clearing of every page, far more than reusing a block. A kept block is marked MADV_FREE, so the
// kernel takes its pages back whenever it needs the memory (and counts them as available
// meanwhile); a block not reused within kKeepSeconds, or beyond the kept total, goes back to the
// system.
class LargeBlocks {
  public:
    void* Take(std::size_t bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        DropStale();
        // The smallest kept block that holds `bytes` without wasting more than as much again.
        int best = -1;
        for (int i = 0; i < int(kept_.size()); ++i)
            if (kept_[i].bytes >= bytes && kept_[i].bytes / 2 <= bytes &&
                (best < 0 || kept_[i].bytes < kept_[best].bytes))
                best = i;
        if (best >= 0) {
            const Block block = kept_[best];
            kept_.erase(kept_.begin() + best);
            kept_bytes_ -= block.bytes;
            in_use_.push_back({block.p, block.bytes, {}});
            return block.p;
        }
        void* p = ::operator new(bytes, std::align_val_t(kHugePage));
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        madvise(p, bytes, MADV_HUGEPAGE);  // a hint; without huge pages nothing changes
#endif
        in_use_.push_back({p, bytes, {}});
        return p;
    }

    void Give(void* p) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < in_use_.size(); ++i)
            if (in_use_[i].p == p) {
                bytes = in_use_[i].bytes;
                in_use_[i] = in_use_.back();
                in_use_.pop_back();
                break;
            }
        const std::size_t limit = KeepLimit();
        if (bytes == 0 || bytes > limit) {
            ::operator delete(p, std::align_val_t(kHugePage));
            return;
        }
#if defined(__linux__) && defined(MADV_FREE)
        madvise(p, bytes, MADV_FREE);
#endif
        kept_.push_back({p, bytes, std::chrono::steady_clock::now()});
        kept_bytes_ += bytes;
        while (kept_bytes_ > limit) Drop(0);  // the oldest first
        DropStale();
    }

    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        while (!kept_.empty()) Drop(0);
    }

  private:
    struct Block {
        void* p;
        std::size_t bytes;
        std::chrono::steady_clock::time_point since;
    };
    static constexpr int kKeepSeconds = 10;

    // At most 1 GiB, and an eighth of the machine's memory.
    static std::size_t KeepLimit() {
        static const std::size_t limit = [] {
            std::size_t total = std::size_t(8) << 30;
#if defined(__linux__)
            const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
            if (pages > 0 && page > 0)
                total = std::size_t(pages) * std::size_t(page);
#endif
            return std::min(std::size_t(1) << 30, total / 8);
        }();
        return limit;
    }

    void Drop(std::size_t i) {
        ::operator delete(kept_[i].p, std::align_val_t(kHugePage));
        kept_bytes_ -= kept_[i].bytes;
        kept_.erase(kept_.begin() + std::ptrdiff_t(i));
    }

    void DropStale() {
        const auto now = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < kept_.size();)
            if (now - kept_[i].since > std::chrono::seconds(kKeepSeconds))
                Drop(i);
            else
                ++i;
    }

    std::mutex mutex_;
    std::vector<Block> kept_;    // oldest first
    std::vector<Block> in_use_;  // handed out, with their real sizes
    std::size_t kept_bytes_ = 0;
};

LargeBlocks& Blocks() {
    static LargeBlocks blocks;
    return blocks;
}

}  // namespace

void* AllocateLarge(std::size_t bytes) {
    return Blocks().Take(bytes);
}

void FreeLarge(void* p, std::size_t) {
    Blocks().Give(p);
}

void ReleaseKeptBlocks() {
    Blocks().Release();
}

BgrImage::BgrImage(int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    const std::size_t bytes = std::size_t(width) * std::size_t(height) * kBgrChannels;
    pixels_.resize(bytes, 0);
    width_ = width;
    height_ = height;
}

BgrImage BgrImage::Uninitialised(int width, int height) {
    BgrImage image;
    if (width <= 0 || height <= 0)
        return image;
    image.pixels_.resize(std::size_t(width) * std::size_t(height) * kBgrChannels);
    image.width_ = width;
    image.height_ = height;
    return image;
}

ImagePlane::ImagePlane(int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    pixels_.resize(std::size_t(width) * std::size_t(height), 0);
    width_ = width;
    height_ = height;
}

ImagePlane::ImagePlane(PlaneBytes&& bytes, int width, int height) : pixels_(std::move(bytes)) {
    if (width <= 0 || height <= 0) {
        pixels_.clear();
        return;
    }
    pixels_.resize(std::size_t(width) * std::size_t(height));
    width_ = width;
    height_ = height;
}

PlaneBytes ImagePlane::TakeBytes() {
    PlaneBytes bytes = std::move(pixels_);
    pixels_ = PlaneBytes();
    width_ = height_ = 0;
    return bytes;
}

ImagePlane PlaneArena::Take(int width, int height) {
    const std::size_t need = std::size_t(std::max(width, 0)) * std::size_t(std::max(height, 0));
    // The smallest free buffer that holds the plane, else the largest (which then grows).
    int best = -1;
    for (int i = 0; i < int(free_.size()); ++i) {
        const std::size_t cap = free_[i].capacity();
        if (best < 0) {
            best = i;
            continue;
        }
        const std::size_t best_cap = free_[best].capacity();
        const bool fits = cap >= need, best_fits = best_cap >= need;
        if ((fits && (!best_fits || cap < best_cap)) || (!fits && !best_fits && cap > best_cap))
            best = i;
    }
    PlaneBytes bytes;
    if (best >= 0) {
        bytes = std::move(free_[best]);
        free_.erase(free_.begin() + best);
        if (bytes.capacity() < need)
            PlaneBytes().swap(bytes);  // too small: let it go before the new one is made
    }
    return ImagePlane(std::move(bytes), width, height);
}

ImagePlane PlaneArena::Copy(const ImagePlane& plane) {
    ImagePlane copy = Take(plane.Width(), plane.Height());
    std::copy(plane.Bytes().begin(), plane.Bytes().end(), copy.Bytes().begin());
    return copy;
}

void PlaneArena::Give(ImagePlane&& plane) {
    PlaneBytes bytes = plane.TakeBytes();
    if (bytes.capacity() > 0)
        free_.push_back(std::move(bytes));
}

namespace {
constexpr int kCopyBand = 16;  // rows per band of the channel copies

// Channel C of 16 BGR pixels (48 bytes) to and from 16 plane bytes with byte shuffles.
typedef std::uint8_t Bytes16 __attribute__((vector_size(16)));

template <int C>
struct ChannelMasks {
    // Store: byte i of the 48-byte block d (0..2) keeps its value or takes source byte (p / 3).
    static Bytes16 Store(int d) {
        Bytes16 m{};
        for (int i = 0; i < 16; ++i) {
            const int p = 16 * d + i;
            m[i] = std::uint8_t(p % 3 == C ? 16 + p / 3 : i);
        }
        return m;
    }
    // Extract: pixel i's byte sits at p = 3 i + C; the first step gathers those below 32 from
    // blocks 0 and 1, the second adds those from block 2.
    static Bytes16 First() {
        Bytes16 m{};
        for (int i = 0; i < 16; ++i) m[i] = std::uint8_t(3 * i + C < 32 ? 3 * i + C : 0);
        return m;
    }
    static Bytes16 Second() {
        Bytes16 m{};
        for (int i = 0; i < 16; ++i) m[i] = std::uint8_t(3 * i + C < 32 ? i : 16 + 3 * i + C - 32);
        return m;
    }
};

// GCC's two-input byte shuffle; other compilers take the plain loops.
#if defined(__GNUC__) && !defined(__clang__)
#define ORM_BYTE_SHUFFLE 1
#endif

template <int C>
ORM_KERNEL void ExtractRow3(const std::uint8_t* src, int width, std::uint8_t* dst) {
    int x = 0;
#if defined(ORM_BYTE_SHUFFLE)
    const Bytes16 first = ChannelMasks<C>::First(), second = ChannelMasks<C>::Second();
    for (; x + 16 <= width; x += 16) {
        Bytes16 d0, d1, d2;
        std::memcpy(&d0, src + 3 * x, 16);
        std::memcpy(&d1, src + 3 * x + 16, 16);
        std::memcpy(&d2, src + 3 * x + 32, 16);
        const Bytes16 low = __builtin_shuffle(d0, d1, first);
        const Bytes16 out = __builtin_shuffle(low, d2, second);
        std::memcpy(dst + x, &out, 16);
    }
#endif
    for (; x < width; ++x) dst[x] = src[3 * x + C];
}

template <int C>
ORM_KERNEL void StoreRow3(const std::uint8_t* src, int width, std::uint8_t* dst) {
    int x = 0;
#if defined(ORM_BYTE_SHUFFLE)
    const Bytes16 m0 = ChannelMasks<C>::Store(0), m1 = ChannelMasks<C>::Store(1),
                  m2 = ChannelMasks<C>::Store(2);
    for (; x + 16 <= width; x += 16) {
        Bytes16 s, d0, d1, d2;
        std::memcpy(&s, src + x, 16);
        std::memcpy(&d0, dst + 3 * x, 16);
        std::memcpy(&d1, dst + 3 * x + 16, 16);
        std::memcpy(&d2, dst + 3 * x + 32, 16);
        d0 = __builtin_shuffle(d0, s, m0);
        d1 = __builtin_shuffle(d1, s, m1);
        d2 = __builtin_shuffle(d2, s, m2);
        std::memcpy(dst + 3 * x, &d0, 16);
        std::memcpy(dst + 3 * x + 16, &d1, 16);
        std::memcpy(dst + 3 * x + 32, &d2, 16);
    }
#endif
    for (; x < width; ++x) dst[3 * x + C] = src[x];
}

// Rows [y0, y1) of channel c of a k-byte-per-pixel image, into or out of the plane.
ORM_KERNEL void ExtractRowsBody(const std::uint8_t* first_row, std::ptrdiff_t stride, int c, int k,
                                int width, int y0, int y1, ImagePlane* plane) {
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* src = first_row + y * stride;
        std::uint8_t* dst = plane->Row(y);
        if (k == 3 && c == 0)
            ExtractRow3<0>(src, width, dst);
        else if (k == 3 && c == 1)
            ExtractRow3<1>(src, width, dst);
        else if (k == 3 && c == 2)
            ExtractRow3<2>(src, width, dst);
        else
            for (int x = 0; x < width; ++x) dst[x] = src[x * k + c];
    }
}
ORM_DISPATCH3(ExtractRows, ExtractRowsBody)

ORM_KERNEL void StoreRowsBody(std::uint8_t* first_row, std::ptrdiff_t stride, int c, int k,
                              const ImagePlane* plane, int y0, int y1) {
    const int width = plane->Width();
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* dst = first_row + y * stride;
        const std::uint8_t* src = plane->Row(y);
        if (k == 3 && c == 0)
            StoreRow3<0>(src, width, dst);
        else if (k == 3 && c == 1)
            StoreRow3<1>(src, width, dst);
        else if (k == 3 && c == 2)
            StoreRow3<2>(src, width, dst);
        else
            for (int x = 0; x < width; ++x) dst[x * k + c] = src[x];
    }
}
ORM_DISPATCH3(StoreRows, StoreRowsBody)

}  // namespace

bool ExtractPlane(const std::uint8_t* first_row, std::ptrdiff_t stride, int c, int k, int width,
                  int height, CRSProgress* progress, ImagePlane& plane, PlaneArena* arena) {
    plane = arena != nullptr ? arena->Take(width, height) : ImagePlane(width, height);
    const bool done = ParallelRows(
        height, kCopyBand, progress != nullptr,
        [&](int y0, int y1) { ExtractRows(first_row, stride, c, k, width, y0, y1, &plane); },
        [&](int y) { return Report(progress, 100 * y / height); });
    if (!done) {
        if (arena != nullptr)
            arena->Give(std::move(plane));
        plane.Release();
    }
    return done;
}

bool StorePlane(std::uint8_t* first_row, std::ptrdiff_t stride, int c, int k,
                const ImagePlane& plane, CRSProgress* progress) {
    const int height = plane.Height();
    return ParallelRows(
        height, kCopyBand, progress != nullptr,
        [&](int y0, int y1) {
            StoreRows(first_row, stride, c, k, static_cast<const ImagePlane*>(&plane), y0, y1);
        },
        [&](int y) { return Report(progress, 100 * y / height); });
}

}  // namespace orm::engine
