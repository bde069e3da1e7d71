#include "engine/resample_plane.h"

#include "engine/parallel.h"
#include "engine/progress.h"
#include "engine/simd.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// The area-average reductions of whole lines (rows or columns) by an integer-free ratio: the
// documented 16.16 fixed-point form and the centred form with exact integer weights.

namespace orm::engine {

namespace {

// The 16.16 fixed-point area average. The step A = floor(count * 65536 / out_count) and every
// accumulator are 64-bit: the classic 32-bit form overflows for lines of 65536 samples or more
// and for reductions stronger than 1/256; where it does not overflow the results are identical.
//
// Output o reads samples first .. first + whole + 1: the first with weight lead (the part of it
// inside the output's area), `whole` samples with weight 65536, and, unless the area ends at the
// line's end, one more with weight trail. Products of partial weights have their low 16 bits
// cleared. These per-output terms depend only on the line lengths, so they are built once.
//
// The centred form has the same shape with exact integer weights: a source sample is out_count
// units wide and output o covers units [o count, (o + 1) count), so the weights of an output sum
// to `count` (the divisor), whole samples weigh `unit` = out_count, nothing is cleared, and half
// the divisor is added before dividing (rounding to nearest).
struct BoxTerm {
    int first;
    int whole;
    std::uint32_t lead;   // <= unit
    std::uint32_t trail;  // < unit; 0 when there is no trailing sample
    bool has_trail;
};

struct BoxPlan {
    std::uint64_t step;  // the divisor
    std::uint32_t unit;  // weight of a whole sample
    std::uint64_t bias;  // added before the division
    std::uint64_t keep;  // mask applied to the products of partial weights
    bool documented;
    std::vector<BoxTerm> terms;
};

constexpr std::uint64_t kClearLow = ~std::uint64_t(0xFFFF);

BoxPlan MakeBoxPlan(int count, int out_count) {
    BoxPlan plan;
    plan.step = (std::uint64_t(count) << 16) / std::uint64_t(out_count);
    plan.unit = 65536;
    plan.bias = 0;
    plan.keep = kClearLow;
    plan.documented = true;
    plan.terms.resize(out_count);
    std::uint64_t b = 0;
    int i = 0;
    for (int o = 0; o < out_count; ++o) {
        const std::uint64_t e = b + plan.step;
        const std::uint64_t c = (b >> 16) + 1;
        const std::uint64_t last = e >> 16;
        BoxTerm& term = plan.terms[o];
        term.first = i;
        term.lead = std::uint32_t(c * 65536 - b);
        term.whole = last > c ? int(last - c) : 0;
        i += 1 + term.whole;
        term.has_trail = last < std::uint64_t(count);
        term.trail = term.has_trail ? std::uint32_t(e - last * 65536) : 0;
        b = e;
    }
    return plan;
}

BoxPlan MakeCentredBoxPlan(int count, int out_count) {
    BoxPlan plan;
    const std::uint64_t unit = std::uint64_t(out_count);
    plan.step = std::uint64_t(count);
    plan.unit = std::uint32_t(out_count);
    plan.bias = plan.step / 2;
    plan.keep = ~std::uint64_t(0);
    plan.documented = false;
    plan.terms.resize(out_count);
    for (int o = 0; o < out_count; ++o) {
        const std::uint64_t start = std::uint64_t(o) * plan.step, end = start + plan.step;
        const std::uint64_t first = start / unit, last = end / unit;  // last: first sample after
        BoxTerm& term = plan.terms[o];
        term.first = int(first);
        if (end <= (first + 1) * unit) {  // inside one sample
            term.lead = std::uint32_t(plan.step);
            term.whole = 0;
            term.has_trail = false;
            term.trail = 0;
            continue;
        }
        term.lead = std::uint32_t((first + 1) * unit - start);
        term.whole = int(last - first - 1);
        term.trail = std::uint32_t(end - last * unit);
        term.has_trail = term.trail != 0;
    }
    return plan;
}

BoxPlan MakeBoxPlan(int count, int out_count, Sampling sampling) {
    return sampling == Sampling::Centred ? MakeCentredBoxPlan(count, out_count)
                                         : MakeBoxPlan(count, out_count);
}

// One line of samples `step` bytes apart.
void BoxLineReduce(const BoxPlan& plan, const std::uint8_t* s, std::ptrdiff_t step,
                   std::uint8_t* out, std::ptrdiff_t out_step) {
    const std::uint64_t a = plan.step;
    for (std::size_t o = 0; o < plan.terms.size(); ++o) {
        const BoxTerm& t = plan.terms[o];
        const std::uint8_t* p = s + t.first * step;
        std::uint64_t acc = (std::uint64_t(t.lead) * p[0]) & plan.keep;
        std::uint64_t whole = 0;
        for (int k = 1; k <= t.whole; ++k) whole += p[k * step];
        acc += whole * plan.unit;
        if (t.has_trail)
            acc += (std::uint64_t(t.trail) * p[(t.whole + 1) * step]) & plan.keep;
        out[o * out_step] = std::uint8_t((acc + plan.bias) / a);
    }
}

// The column reduction of output row o across the columns [x0, x1): the same terms, applied to
// whole source rows at once. Accumulators stay 64-bit; the division is done in double precision,
// which is exact here: the quotient is at most 255 and a non-whole quotient lies at least 1 / A
// (>= 2^-40) from the next integer, far more than the rounding error of the division.
ORM_KERNEL void BoxColumnRowBody(const std::uint8_t* s, std::ptrdiff_t w, const BoxTerm* t,
                                 std::uint64_t a, int x0, int x1, std::uint64_t* acc,
                                 std::uint8_t* out) {
    const std::uint8_t* p = s + std::ptrdiff_t(t->first) * w;
    const std::uint64_t lead = t->lead;
    for (int x = x0; x < x1; ++x) acc[x] = (lead * p[x]) & kClearLow;
    for (int k = 1; k <= t->whole; ++k) {
        const std::uint8_t* r = p + k * w;
        for (int x = x0; x < x1; ++x) acc[x] += std::uint64_t(r[x]) << 16;
    }
    if (t->has_trail) {
        const std::uint8_t* r = p + std::ptrdiff_t(t->whole + 1) * w;
        const std::uint64_t trail = t->trail;
        for (int x = x0; x < x1; ++x) acc[x] += (trail * r[x]) & kClearLow;
    }
    const double divisor = double(a);
    for (int x = x0; x < x1; ++x) out[x] = std::uint8_t(std::int64_t(double(acc[x]) / divisor));
}
ORM_DISPATCH3(BoxColumnRow, BoxColumnRowBody)

// The centred form: exact weights (a sample's weight and value fit in 32 bits each, so the
// products are 32 x 32 -> 64-bit), half the divisor added, the same exact double division.
ORM_KERNEL void BoxColumnRowCentredBody(const std::uint8_t* s, std::ptrdiff_t w, const BoxTerm* t,
                                        std::uint64_t a, std::uint32_t unit, int x0, int x1,
                                        std::uint64_t* acc, std::uint8_t* out) {
    const std::uint8_t* p = s + std::ptrdiff_t(t->first) * w;
    const std::uint64_t lead = t->lead, whole = unit;
    for (int x = x0; x < x1; ++x) acc[x] = lead * p[x];
    for (int k = 1; k <= t->whole; ++k) {
        const std::uint8_t* r = p + k * w;
        for (int x = x0; x < x1; ++x) acc[x] += whole * r[x];
    }
    if (t->has_trail) {
        const std::uint8_t* r = p + std::ptrdiff_t(t->whole + 1) * w;
        const std::uint64_t trail = t->trail;
        for (int x = x0; x < x1; ++x) acc[x] += trail * r[x];
    }
    const double divisor = double(a);
    const std::uint64_t bias = a / 2;
    for (int x = x0; x < x1; ++x)
        out[x] = std::uint8_t(std::int64_t(double(acc[x] + bias) / divisor));
}
ORM_DISPATCH3(BoxColumnRowCentred, BoxColumnRowCentredBody)

}  // namespace

bool BoxReduceRows(ImagePlane& dst, const ImagePlane& src, CRSProgress* progress,
                   Sampling sampling) {
    const int h = src.Height();
    const BoxPlan plan = MakeBoxPlan(src.Width(), dst.Width(), sampling);
    return ParallelRows(
        h, 16, progress != nullptr,
        [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) BoxLineReduce(plan, src.Row(y), 1, dst.Row(y), 1);
        },
        [&](int y) { return Report(progress, int(100LL * y / h)); });
}

bool BoxReduceColumns(ImagePlane& dst, const ImagePlane& src, CRSProgress* progress,
                      Sampling sampling) {
    const int w = src.Width();
    const int dh = dst.Height();
    const BoxPlan plan = MakeBoxPlan(src.Height(), dh, sampling);
    // Columns are independent: bands of columns, each reduced row by row across the band so the
    // loads are contiguous; the reports are the per-column ones.
    return ParallelRows(
        w, 64, progress != nullptr,
        [&](int x0, int x1) {
            std::vector<std::uint64_t, UninitAllocator<std::uint64_t>> acc(w);  // written first
            for (int o = 0; o < dh; ++o) {
                const BoxTerm* term = plan.terms.data() + o;
                if (plan.documented)
                    BoxColumnRow(src.Data(), std::ptrdiff_t(w), term, plan.step, x0, x1, acc.data(),
                                 dst.Row(o));
                else
                    BoxColumnRowCentred(src.Data(), std::ptrdiff_t(w), term, plan.step, plan.unit,
                                        x0, x1, acc.data(), dst.Row(o));
            }
        },
        [&](int x) { return Report(progress, int(100LL * x / w)); });
}

}  // namespace orm::engine
