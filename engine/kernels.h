#pragma once
// The two resampling kernels and their 1024-phase weight table.

#include <vector>

namespace orm::engine {

enum class KernelType : int {
    Cubic = 2,    // Mitchell-Netravali family: p1 = B, p2 = C
    Lanczos = 3,  // windowed sinc: p1 = radius R, p2 = window selector (1: Lanczos window)
};

constexpr int kPhases = 1024;

double KernelCubic(double x, double b, double c);
double KernelLanczos(double x, double radius);

// Samples read on each side of the base sample: 2 for the cubic, ceil(R) for Lanczos.
int KernelSupport(KernelType type, double p1);

// Weights of every sub-pixel phase: entry t of phase p is K(j - p / 1024) with
// j = t - (support - 1), for t = 0 .. 2 support - 1. With `normalised`, each phase's weights are
// then divided by their sum (taken in tap order), so every phase reproduces a constant.
class WeightTable {
  public:
    WeightTable(KernelType type, double p1, double p2, bool normalised = false);

    int Support() const { return support_; }
    int Taps() const { return 2 * support_; }
    const double* Phase(int p) const { return weights_.data() + std::size_t(p) * Taps(); }

  private:
    int support_;
    std::vector<double> weights_;
};

}  // namespace orm::engine
