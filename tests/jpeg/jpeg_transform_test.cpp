// The fixed-point transforms and colour tables against their real-valued definitions.

#include "jpeg/jpeg_dct.h"
#include "jpeg/jpeg_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace MiniJpeg::detail;

namespace {

const double kPi = std::acos(-1.0);

double C(int k) {
    return k == 0 ? std::sqrt(0.5) : 1.0;
}

// Pixel (x, y) of the JPEG inverse DCT of natural-order coefficients, before level shift.
double IdctReference(const double* F, int x, int y) {
    double s = 0;
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u)
            s += C(u) * C(v) * F[v * 8 + u] * std::cos((2 * x + 1) * u * kPi / 16) *
                 std::cos((2 * y + 1) * v * kPi / 16);
    return s / 4;
}

}  // namespace

TEST(JpegTransform, InverseDctMatchesTheRealTransform) {
    std::mt19937 rng(7);
    std::array<int32_t, 64> unitMultipliers{};
    for (int k = 0; k < 64; ++k) unitMultipliers[k] = kIdctScale[k];  // quantisation table of ones
    int worst = 0;
    for (int trial = 0; trial < 400; ++trial) {
        int16_t coef[64] = {};
        double F[64] = {};
        // Mostly low frequencies, as in images; a few sparse blocks take the column shortcut.
        const int terms = trial % 4 == 0 ? 1 : 12;
        for (int t = 0; t < terms; ++t) {
            const int k = int(rng() % (trial % 4 == 0 ? 8 : 64));
            const int v = int(rng() % 301) - 150;
            coef[k] = int16_t(v);
            F[k] = v;
        }
        coef[0] = int16_t(int(rng() % 1600) - 800);
        F[0] = coef[0];
        uint8_t out[64];
        InverseDctBlock(coef, unitMultipliers.data(), out, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const double ref = std::clamp(IdctReference(F, x, y) + 128, 0.0, 255.0);
                worst = std::max(worst, int(std::lround(std::abs(out[y * 8 + x] - ref))));
            }
    }
    EXPECT_LE(worst, 2);
}

TEST(JpegTransform, InverseDctOfAConstantBlockIsConstant) {
    std::array<int32_t, 64> m{};
    for (int k = 0; k < 64; ++k) m[k] = 4 * kIdctScale[k];
    const int16_t dc[] = {-300, -17, 0, 5, 100};
    for (int16_t d : dc) {
        int16_t coef[64] = {d};
        uint8_t out[64];
        InverseDctBlock(coef, m.data(), out, 8);
        const int expect = std::clamp(int(std::lround(d * 4 / 8.0)) + 128, 0, 255);
        for (uint8_t o : out) EXPECT_NEAR(o, expect, 1) << "DC " << d;
    }
}

TEST(JpegTransform, ForwardDctAndQuantisationMatchTheRealTransform) {
    std::mt19937 rng(11);
    const auto q = ScaledQuantTable(75, false);
    std::array<int32_t, 64> divisors{};
    for (int k = 0; k < 64; ++k) divisors[k] = q[k] * kFdctScale[k];
    int mismatches = 0, worst = 0;
    for (int trial = 0; trial < 300; ++trial) {
        int16_t samples[64];
        const int base = int(rng() % 200);
        for (int i = 0; i < 64; ++i)
            samples[i] =
                int16_t(std::clamp(base + (i % 8) * int(rng() % 9) - 20 + int(rng() % 30), 0, 255));
        int64_t dct[64];
        ForwardDctBlock(samples, dct);
        int16_t coef[64];
        QuantizeBlock(dct, divisors.data(), coef);
        for (int v = 0; v < 8; ++v)
            for (int u = 0; u < 8; ++u) {
                double s = 0;
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x)
                        s += (samples[y * 8 + x] - 128) * std::cos((2 * x + 1) * u * kPi / 16) *
                             std::cos((2 * y + 1) * v * kPi / 16);
                const double F = C(u) * C(v) * s / 4 / q[v * 8 + u];
                const int diff = std::abs(coef[v * 8 + u] - int(std::lround(F)));
                worst = std::max(worst, diff);
                mismatches += diff != 0;
            }
    }
    EXPECT_LE(worst, 1);
    EXPECT_LT(mismatches, 300 * 64 / 20);  // rounding differences only near halves
}

TEST(JpegTransform, DecoderColourTablesFollowTheJfifConversion) {
    const auto& t = kDecoderColour;
    for (int y = 0; y < 256; y += 15)
        for (int cb = 0; cb < 256; cb += 5)
            for (int cr = 0; cr < 256; cr += 5) {
                const double r = y + 1.402 * (cr - 128);
                const double g = y - 0.344136 * (cb - 128) - 0.714136 * (cr - 128);
                const double b = y + 1.772 * (cb - 128);
                EXPECT_NEAR(y + t.redFromCr[cr], r, 1.0);
                // The green terms are summed and divided by 4 with truncation: within 1.6.
                EXPECT_NEAR(y + (t.greenFromCb[cb] + t.greenFromCr[cr]) / 4, g, 1.6);
                EXPECT_NEAR(y + t.blueFromCb[cb], b, 1.0);
            }
    // Neutral chroma leaves the grey level untouched.
    EXPECT_EQ(t.redFromCr[128], 0);
    EXPECT_EQ(t.blueFromCb[128], 0);
    EXPECT_EQ((t.greenFromCb[128] + t.greenFromCr[128]) / 4, 0);
}

TEST(JpegTransform, EncoderColourTablesFollowTheJfifConversion) {
    const auto& t = kEncoderColour;
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 17) {
                const int rg = r - g + 256, bg = b - g + 256;
                const int y = g + (t.yFromRminusG[rg] + t.yFromBminusG[bg]) / 4;
                const int cb = (t.cbFromRminusG[rg] + (b - g) + 256) / 2;
                const int cr = (t.crFromBminusG[bg] + (r - g) + 256) / 2;
                // The luminance terms are divided by 4 with truncation toward zero.
                EXPECT_NEAR(y, 0.299 * r + 0.587 * g + 0.114 * b, 1.5);
                EXPECT_NEAR(cb, -0.168736 * r - 0.331264 * g + 0.5 * b + 128, 1.0);
                EXPECT_NEAR(cr, 0.5 * r - 0.418688 * g - 0.081312 * b + 128, 1.0);
            }
}
