#include "jpeg/jpeg_dct.h"

namespace MiniJpeg::detail {

namespace {

// Multipliers in 8 fractional bits.
constexpr int64_t kIdctSqrt2 = 362;  // sqrt(2)
constexpr int64_t kIdct1_082 = 277;  // 2 (cos(pi/8) - cos(3pi/8))
constexpr int64_t kIdct2_613 = 669;  // 2 (cos(pi/8) + cos(3pi/8))
constexpr int64_t kIdct0_765 = 196;  // 2 cos(3pi/8)

constexpr int64_t kFdct0_707 = 181;  // cos(pi/4)
constexpr int64_t kFdct0_383 = 98;   // cos(3pi/8)
constexpr int64_t kFdct0_541 = 139;  // cos(pi/8) - cos(3pi/8)
constexpr int64_t kFdct1_307 = 334;  // cos(pi/8) + cos(3pi/8)

// Product with an 8-bit fraction, truncated toward minus infinity.
inline int64_t mul8(int64_t x, int64_t c) {
    return (x * c) >> 8;
}

inline uint8_t clampSample(int64_t v) {
    return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// One 1-D inverse transform over in[0], in[step], ... in[7 step] into out[0..7 ostep].
// Bit budget: with 16-bit coefficients and 16-bit tables the dequantised inputs reach 2^46 and the
// butterflies add fewer than 8 bits, so 64-bit arithmetic never overflows, even on hostile data.
inline void idct1d(const int64_t* in, int step, int64_t* out, int ostep) {
    // Even part.
    int64_t tmp0 = in[0 * step], tmp1 = in[2 * step], tmp2 = in[4 * step], tmp3 = in[6 * step];
    int64_t tmp10 = tmp0 + tmp2;
    int64_t tmp11 = tmp0 - tmp2;
    int64_t tmp13 = tmp1 + tmp3;
    int64_t tmp12 = mul8(tmp1 - tmp3, kIdctSqrt2) - tmp13;
    tmp0 = tmp10 + tmp13;
    tmp3 = tmp10 - tmp13;
    tmp1 = tmp11 + tmp12;
    tmp2 = tmp11 - tmp12;

    // Odd part.
    const int64_t i1 = in[1 * step], i3 = in[3 * step], i5 = in[5 * step], i7 = in[7 * step];
    const int64_t z13 = i5 + i3;
    const int64_t z10 = i5 - i3;
    const int64_t z11 = i1 + i7;
    const int64_t z12 = i1 - i7;
    const int64_t tmp7 = z11 + z13;
    const int64_t t11 = mul8(z11 - z13, kIdctSqrt2);
    const int64_t z5 = mul8(z10 + z12, kIdct0_765);
    const int64_t t10 = -mul8(z10, kIdct1_082) - z5;
    const int64_t t12 = mul8(z12, kIdct2_613) - z5;
    const int64_t tmp6 = t12 - tmp7;
    const int64_t tmp5 = t11 - tmp6;
    const int64_t tmp4 = t10 + tmp5;

    out[0 * ostep] = tmp0 + tmp7;
    out[7 * ostep] = tmp0 - tmp7;
    out[1 * ostep] = tmp1 + tmp6;
    out[6 * ostep] = tmp1 - tmp6;
    out[2 * ostep] = tmp2 + tmp5;
    out[5 * ostep] = tmp2 - tmp5;
    out[4 * ostep] = tmp3 + tmp4;
    out[3 * ostep] = tmp3 - tmp4;
}

}  // namespace

void InverseDctBlock(const int16_t* coef, const int32_t* multipliers, uint8_t* out,
                     ptrdiff_t stride) {
    int64_t ws[64];
    // Columns. A column whose AC terms are all zero is constant.
    for (int c = 0; c < 8; ++c) {
        const int16_t* in = coef + c;
        if ((in[8] | in[16] | in[24] | in[32] | in[40] | in[48] | in[56]) == 0) {
            const int64_t dc = int64_t(in[0]) * multipliers[c];
            for (int r = 0; r < 8; ++r) ws[r * 8 + c] = dc;
            continue;
        }
        int64_t deq[8];
        for (int r = 0; r < 8; ++r) deq[r] = int64_t(in[r * 8]) * multipliers[r * 8 + c];
        idct1d(deq, 1, ws + c, 8);
    }
    // Rows, then descale the 13 fractional bits of the multipliers and the factor 8 of the two
    // unnormalised passes: add 2^15, shift right by 16.
    for (int r = 0; r < 8; ++r) {
        int64_t row[8];
        idct1d(ws + r * 8, 1, row, 1);
        uint8_t* o = out + r * stride;
        for (int c = 0; c < 8; ++c) o[c] = clampSample(((row[c] + (int64_t(1) << 15)) >> 16) + 128);
    }
}

namespace {

// One 1-D forward transform; every output gains 8 fractional bits (the products keep the 8-bit
// fraction of the multipliers, the other paths are scaled by 256 to match).
inline void fdct1d(const int64_t* d, int step, int64_t* out, int ostep) {
    const int64_t tmp0 = d[0 * step] + d[7 * step];
    const int64_t tmp7 = d[0 * step] - d[7 * step];
    const int64_t tmp1 = d[1 * step] + d[6 * step];
    const int64_t tmp6 = d[1 * step] - d[6 * step];
    const int64_t tmp2 = d[2 * step] + d[5 * step];
    const int64_t tmp5 = d[2 * step] - d[5 * step];
    const int64_t tmp3 = d[3 * step] + d[4 * step];
    const int64_t tmp4 = d[3 * step] - d[4 * step];

    // Even part.
    int64_t tmp10 = tmp0 + tmp3;
    const int64_t tmp13 = tmp0 - tmp3;
    int64_t tmp11 = tmp1 + tmp2;
    int64_t tmp12 = tmp1 - tmp2;
    out[0 * ostep] = (tmp10 + tmp11) * 256;
    out[4 * ostep] = (tmp10 - tmp11) * 256;
    const int64_t z1 = (tmp12 + tmp13) * kFdct0_707;
    out[2 * ostep] = tmp13 * 256 + z1;
    out[6 * ostep] = tmp13 * 256 - z1;

    // Odd part.
    tmp10 = tmp4 + tmp5;
    tmp11 = tmp5 + tmp6;
    tmp12 = tmp6 + tmp7;
    const int64_t z5 = (tmp10 - tmp12) * kFdct0_383;
    const int64_t z2 = tmp10 * kFdct0_541 + z5;
    const int64_t z4 = tmp12 * kFdct1_307 + z5;
    const int64_t z3 = tmp11 * kFdct0_707;
    const int64_t z11 = tmp7 * 256 + z3;
    const int64_t z13 = tmp7 * 256 - z3;
    out[5 * ostep] = z13 + z2;
    out[3 * ostep] = z13 - z2;
    out[1 * ostep] = z11 + z4;
    out[7 * ostep] = z11 - z4;
}

}  // namespace

void ForwardDctBlock(const int16_t* samples, int64_t* out) {
    int64_t shifted[64];
    for (int i = 0; i < 64; ++i) shifted[i] = int64_t(samples[i]) - 128;
    int64_t ws[64];
    for (int r = 0; r < 8; ++r) fdct1d(shifted + r * 8, 1, ws + r * 8, 1);
    // The row pass leaves 8 fractional bits in ws, the column pass adds 8 more: |out| < 2^33.
    for (int c = 0; c < 8; ++c) fdct1d(ws + c, 8, out + c, 8);
}

void QuantizeBlock(const int64_t* dct, const int32_t* divisors, int16_t* coef) {
    for (int i = 0; i < 64; ++i) {
        const int64_t b = divisors[i];
        const int64_t a = (dct[i] + 8) >> 4;
        const int64_t q = a >= 0 ? (a + b / 2) / b : -((b / 2 - a) / b);
        coef[i] = int16_t(q);
    }
}

}  // namespace MiniJpeg::detail
