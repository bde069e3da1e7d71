#pragma once
// Where each pixel of an MCU finds its sample of one component.

#include <cstdint>
#include <vector>

namespace MiniJpeg::detail {

// MCU geometry: 8 hmax x 8 vmax pixels; a component with factors h x v owns h x v blocks of 64
// samples (natural order), stored from block `firstBlock` of the MCU, left to right and top to
// bottom. Returns, for every pixel of the MCU in row-major order, the index of its sample in the
// MCU's sample array: the sample at ((2 p + 1) f) / (2 fmax) in each direction, so subsampled
// components are replicated (decoder) or averaged over the pixels they cover (encoder).
inline std::vector<uint16_t> McuSampleIndex(int h, int v, int hmax, int vmax, int firstBlock) {
    const int mcuW = 8 * hmax, mcuH = 8 * vmax;
    std::vector<uint16_t> index(size_t(mcuW) * mcuH);
    for (int py = 0; py < mcuH; ++py) {
        const int sy = ((2 * py + 1) * v) / (2 * vmax);
        for (int px = 0; px < mcuW; ++px) {
            const int sx = ((2 * px + 1) * h) / (2 * hmax);
            const int block = firstBlock + (sy / 8) * h + sx / 8;
            index[size_t(py) * mcuW + px] = uint16_t(block * 64 + (sy % 8) * 8 + sx % 8);
        }
    }
    return index;
}

}  // namespace MiniJpeg::detail
