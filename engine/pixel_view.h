#pragma once
// Plain views of 24-bit BGR images (three bytes per pixel: blue, green, red; rows a stride apart)
// and an owning image of the same layout. The engine never sees toolkit types.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace orm::engine {

// Large pixel buffers: memory from the system costs a page fault per 4 KiB page on its first
// write; blocks of at least kLargeBlock bytes are aligned to 2 MiB and offered to the kernel as
// transparent huge pages (where it has them), which cuts those faults 512-fold. Blocks given back
// are kept a few seconds for the next resize (the kernel may reclaim their pages meanwhile).
constexpr std::size_t kLargeBlock = std::size_t(4) << 20;
void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* p, std::size_t bytes);
// Returns the kept blocks to the system now (benchmarks of a first resize, tests).
void ReleaseKeptBlocks();

// An allocator that leaves new elements uninitialised when they are made without a value:
// buffers that are written in full before they are read need no clearing first.
template <typename T>
struct UninitAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitAllocator<U>;
    };
    UninitAllocator() = default;
    template <typename U>
    UninitAllocator(const UninitAllocator<U>&) {}  // NOLINT: converting like std::allocator
    T* allocate(std::size_t n) {
        if (n > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        if (n * sizeof(T) >= kLargeBlock)
            return static_cast<T*>(AllocateLarge(n * sizeof(T)));
        return std::allocator<T>::allocate(n);
    }
    void deallocate(T* p, std::size_t n) {
        if (n * sizeof(T) >= kLargeBlock)
            FreeLarge(p, n * sizeof(T));
        else
            std::allocator<T>::deallocate(p, n);
    }
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

constexpr int kBgrChannels = 3;

struct BgrView {
    std::uint8_t* data = nullptr;  // first row
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;  // bytes from one row to the next

    std::uint8_t* Row(int y) const { return data + y * stride; }
};

struct ConstBgrView {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;

    ConstBgrView() = default;
    ConstBgrView(const std::uint8_t* d, int w, int h, std::ptrdiff_t s)
        : data(d), width(w), height(h), stride(s) {}
    ConstBgrView(const BgrView& v)  // NOLINT: a writable view reads as well
        : data(v.data), width(v.width), height(v.height), stride(v.stride) {}

    const std::uint8_t* Row(int y) const { return data + y * stride; }

    // The rectangle (x, y, w, h), which must lie inside this view.
    ConstBgrView Sub(int x, int y, int w, int h) const {
        return ConstBgrView(data + y * stride + x * kBgrChannels, w, h, stride);
    }
};

// An owned BGR image with packed rows (stride = 3 * width).
class BgrImage {
  public:
    BgrImage() = default;
    // Throws std::bad_alloc (or std::length_error for sizes beyond the address space).
    BgrImage(int width, int height);
    // The same without clearing the pixels: for results that are written in full.
    static BgrImage Uninitialised(int width, int height);

    bool IsNull() const { return width_ <= 0 || height_ <= 0; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    std::ptrdiff_t Stride() const { return std::ptrdiff_t(width_) * kBgrChannels; }
    BgrView View() { return {pixels_.data(), width_, height_, Stride()}; }
    ConstBgrView View() const { return {pixels_.data(), width_, height_, Stride()}; }
    std::uint8_t* Row(int y) { return pixels_.data() + y * Stride(); }
    const std::uint8_t* Row(int y) const { return pixels_.data() + y * Stride(); }

  private:
    std::vector<std::uint8_t, UninitAllocator<std::uint8_t>> pixels_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace orm::engine
