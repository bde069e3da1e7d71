#pragma once
// The AAN (Arai-Agui-Nakajima) fast integer DCTs of the codec.

#include <cstddef>
#include <cstdint>

namespace MiniJpeg::detail {

// Inverse DCT of one block. coef: 64 quantised coefficients in natural order; multipliers:
// quantisation table x kIdctScale (13 fractional bits), natural order. Writes 8 rows of 8 samples,
// level-shifted by 128 and clamped to 0..255, `stride` bytes apart.
void InverseDctBlock(const int16_t* coef, const int32_t* multipliers, uint8_t* out,
                     ptrdiff_t stride);

// Forward DCT of one block of 64 samples (0..255 or a little above for averaged chroma) in
// natural order, level-shifted by -128 here. The outputs carry 16 fractional bits on top of the
// AAN scaling (8 from each pass), ready for QuantizeBlock.
void ForwardDctBlock(const int16_t* samples, int64_t* out);

// Quantises forward-DCT outputs with divisors = quantisation table x kFdctScale, rounding halves
// away from zero; results in natural order.
void QuantizeBlock(const int64_t* dct, const int32_t* divisors, int16_t* coef);

}  // namespace MiniJpeg::detail
