#pragma once

#include "engine/algorithm.h"
#include "engine/image_plane.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace orm::engine {

// An algorithm from its index, unchecked (tests pass invalid indices on purpose).
inline ResizeAlgorithm Alg(int index) {
    return static_cast<ResizeAlgorithm>(index);
}
inline ResizeAlgorithm Alg(ResizeAlgorithm a) {
    return a;
}
inline std::ostream& operator<<(std::ostream& os, ResizeAlgorithm a) {
    return os << "algorithm " << AlgorithmIndex(a);
}

}  // namespace orm::engine

namespace orm::engine::test {

inline ImagePlane PlaneOf(int w, int h, std::initializer_list<int> values) {
    ImagePlane p(w, h);
    int i = 0;
    for (int v : values) p.Data()[i++] = std::uint8_t(v);
    return p;
}

inline std::vector<int> ValuesOf(const ImagePlane& p) {
    return std::vector<int>(p.Bytes().begin(), p.Bytes().end());
}

inline std::string Dump(const ImagePlane& p) {
    std::ostringstream s;
    for (int y = 0; y < p.Height(); ++y) {
        for (int x = 0; x < p.Width(); ++x)
            s << int(p.At(x, y)) << (x + 1 < p.Width() ? " " : "\n");
    }
    return s.str();
}

// Byte-for-byte equality, printing the first difference and both planes when small.
inline ::testing::AssertionResult SamePlanes(const ImagePlane& expected, const ImagePlane& actual) {
    if (expected.Width() != actual.Width() || expected.Height() != actual.Height())
        return ::testing::AssertionFailure()
               << "size " << actual.Width() << "x" << actual.Height() << ", expected "
               << expected.Width() << "x" << expected.Height();
    for (int y = 0; y < expected.Height(); ++y)
        for (int x = 0; x < expected.Width(); ++x)
            if (expected.At(x, y) != actual.At(x, y)) {
                auto failure = ::testing::AssertionFailure();
                failure << "first difference at (" << x << ", " << y
                        << "): " << int(actual.At(x, y)) << ", expected " << int(expected.At(x, y));
                if (expected.Width() * expected.Height() <= 256)
                    failure << "\nexpected:\n" << Dump(expected) << "actual:\n" << Dump(actual);
                return failure;
            }
    return ::testing::AssertionSuccess();
}

}  // namespace orm::engine::test
