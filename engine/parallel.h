#pragma once
// The engine's threads: a small pool owned by the engine and a deterministic ParallelFor over
// bands of rows (or columns, or planes).
//
// Every band writes only its own outputs and reads only inputs no band writes, so the result is
// the same for any number of threads and any order in which the bands run. Progress and stop
// requests stay on the calling thread: `ParallelRows` runs the rows in waves and, after each
// wave, makes the per-row reports of that wave in row order, so a sink sees exactly the values
// a one-row-at-a-time loop would report, and a stop ends the stage at the next wave.

#include <cstddef>
#include <type_traits>
#include <utility>

namespace orm::engine {

// A non-owning reference to a callable `void(int begin, int end)`; cheap to pass per band.
class BandFunction {
  public:
    template <typename F>
    BandFunction(F& f)  // NOLINT: implicit from any callable that outlives the call
        : object_(&f), call_([](void* o, int b, int e) { (*static_cast<F*>(o))(b, e); }) {}
    void operator()(int begin, int end) const { call_(object_, begin, end); }

  private:
    void* object_;
    void (*call_)(void*, int, int);
};

// Number of threads a ParallelFor uses: the machine's hardware threads unless overridden.
int EngineThreadCount();
// Overrides the thread count (tests, benchmarks); 0 restores the machine's count. Not to be
// called while a resize runs.
void SetEngineThreadCount(int threads);

// Runs body(begin, end) over [0, count) in bands of at most `grain` items, spread over the
// engine's threads; returns when every band is done. Bands never overlap and cover the range.
// When the pool is busy with another caller's work (two resizes at once), the calling thread
// runs all bands itself.
void ParallelFor(int count, int grain, BandFunction body);

// Rows [0, count) in waves of about a sixteenth of the rows; after each wave `report(i)` is
// called on the calling thread for every row i of the wave, in order, until one returns false,
// which ends the stage (returns false). Without a listener (`listened` false: no progress sink,
// no stop flag) the rows run as one wave and `report` is not called. Bands are a quarter of a
// thread's share of a wave, so a thread slowed by other work hands rows to the others;
// `min_band` is the smallest band worth a thread.
template <typename Body, typename Report>
bool ParallelRows(int count, int min_band, bool listened, Body&& body, Report&& report) {
    if (count <= 0)
        return true;
    const int threads = EngineThreadCount();
    int wave = listened ? (count + 15) / 16 : count;
    if (wave < min_band * threads)
        wave = min_band * threads;
    for (int begin = 0; begin < count; begin += wave) {
        const int end = begin + wave < count ? begin + wave : count;
        const int n = end - begin;
        int grain = (n + 4 * threads - 1) / (4 * threads);
        if (grain < min_band)
            grain = min_band;
        auto shifted = [&](int b, int e) { body(begin + b, begin + e); };
        ParallelFor(n, grain, shifted);
        if (listened)
            for (int i = begin; i < end; ++i)
                if (!report(i))
                    return false;
    }
    return true;
}

}  // namespace orm::engine
