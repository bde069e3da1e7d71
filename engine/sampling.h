#pragma once
// Where the own algorithms (5, 6, 7) place their output samples on the source.

namespace orm::engine {

enum class Sampling : int {
    // Output pixel X samples the source at X sw / dw (pixel 0 on source pixel 0), with the
    // stages' weights and roundings as documented: the default, byte for byte.
    Documented = 0,
    // Pixel centres aligned, as the standard modes: X samples (X + 1/2) sw / dw - 1/2. Every
    // stage's weights sum to one (kernels per phase, the box average, the recursive Gaussian
    // with edge terms of a replicated border) and results round to nearest, so a flat image
    // stays flat to its last row and column and no level bias remains.
    Centred = 1,
};

}  // namespace orm::engine
