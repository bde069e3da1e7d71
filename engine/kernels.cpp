#include "engine/kernels.h"

#include <cmath>

namespace orm::engine {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

double KernelCubic(double x, double b, double c) {
    const double d = std::fabs(x);
    if (d < 1.0)
        return ((12 - 9 * b - 6 * c) * d * d * d + (-18 + 12 * b + 6 * c) * d * d + (6 - 2 * b)) /
               6;
    if (d < 2.0)
        return ((-b - 6 * c) * d * d * d + (6 * b + 30 * c) * d * d + (-12 * b - 48 * c) * d +
                (8 * b + 24 * c)) /
               6;
    return 0.0;
}

double KernelLanczos(double x, double radius) {
    const double d = std::fabs(x);
    if (d == 0.0)
        return 1.0;
    if (d < radius) {
        const double a = kPi * d;
        const double b = kPi * d / radius;
        return (std::sin(a) / a) * (std::sin(b) / b);
    }
    return 0.0;
}

int KernelSupport(KernelType type, double p1) {
    return type == KernelType::Cubic ? 2 : int(std::ceil(p1));
}

WeightTable::WeightTable(KernelType type, double p1, double p2, bool normalised)
    : support_(KernelSupport(type, p1)), weights_(std::size_t(kPhases) * 2 * support_) {
    const int taps = 2 * support_;
    for (int p = 0; p < kPhases; ++p) {
        const double f = p * 0.0009765625;
        for (int t = 0; t < taps; ++t) {
            const double x = (t - (support_ - 1)) - f;
            weights_[std::size_t(p) * taps + t] =
                type == KernelType::Cubic ? KernelCubic(x, p1, p2) : KernelLanczos(x, p1);
        }
        if (normalised) {
            double* w = weights_.data() + std::size_t(p) * taps;
            double sum = 0;
            for (int t = 0; t < taps; ++t) sum += w[t];
            for (int t = 0; t < taps; ++t) w[t] /= sum;
        }
    }
}

}  // namespace orm::engine
