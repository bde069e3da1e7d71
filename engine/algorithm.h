#pragma once
// The eight resampling algorithms, in the order of the algorithm list (the index is what
// settings, batch files and the command line store).

#include <optional>

namespace orm::engine {

enum class ResizeAlgorithm : int {
    NearestNeighbor = 0,
    Bilinear = 1,
    HighQualityBilinear = 2,
    Bicubic = 3,
    HighQualityBicubic = 4,
    SmartArtificial = 5,
    SmartNatural = 6,
    AdvancedNatural = 7,
};
inline constexpr int kAlgorithmCount = 8;

constexpr int AlgorithmIndex(ResizeAlgorithm a) {
    return static_cast<int>(a);
}

// The algorithm at a stored index; none outside 0..7.
constexpr std::optional<ResizeAlgorithm> AlgorithmFromIndex(int index) {
    if (index < 0 || index >= kAlgorithmCount)
        return std::nullopt;
    return static_cast<ResizeAlgorithm>(index);
}

// The own algorithms (5, 6, 7): computed per plane, with progress reports and a stop check.
constexpr bool IsOwnAlgorithm(ResizeAlgorithm a) {
    return a == ResizeAlgorithm::SmartArtificial || a == ResizeAlgorithm::SmartNatural ||
           a == ResizeAlgorithm::AdvancedNatural;
}

// "Nearest Neighbor" .. "Advanced for Natural Scenes".
const char* AlgorithmName(ResizeAlgorithm a);

}  // namespace orm::engine
