#include "jpeg/jpeg_decoder.h"

#include "jpeg/jpeg_dct.h"
#include "jpeg/jpeg_header_reader.h"
#include "jpeg/jpeg_huffman_decode.h"
#include "jpeg/jpeg_sampling.h"
#include "jpeg/jpeg_tables.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace MiniJpeg {

namespace {

using namespace detail;

// One component of the scan, in MCU order.
struct ScanPart {
    int frameIndex = 0;
    int h = 1, v = 1;    // blocks per MCU across and down
    int firstBlock = 0;  // its first block within the MCU
    const HuffmanDecodeTable* dc = nullptr;
    const HuffmanDecodeTable* ac = nullptr;
    std::array<int32_t, 64> multipliers{};  // quantisation x inverse-DCT scale, natural order
    int dcPrediction = 0;
};

class DecoderImpl final : public Decoder {
  public:
    explicit DecoderImpl(IStream& in);
    const uint8_t* ReadLine() override;

  private:
    void prepare();
    void allocate();
    void decodeMcuRow();
    void restart();
    void decodeBlock(ScanPart& part, int16_t* coef);
    void colourMcu(const uint8_t* samples, int mcuIndex);

    IStream& in_;
    StreamHeaders headers_;
    BitReader bits_;
    ColourMode mode_ = ColourMode::Grey;

    std::array<ScanPart, kMaxScanComponents> parts_{};
    int partCount_ = 0;
    int hmax_ = 1, vmax_ = 1;
    int mcuW_ = 8, mcuH_ = 8;
    int mcusPerRow_ = 0;
    int blocksPerMcu_ = 0;
    int paddedWidth_ = 0;
    int outComponents_ = 1;
    // Per frame component: the sample index of every pixel of the MCU.
    std::array<std::vector<uint16_t>, 3> sampleIndex_;

    std::vector<int16_t> coefRow_;     // one row of MCUs of coefficients
    std::vector<uint8_t> mcuSamples_;  // the samples of one MCU after the inverse DCT
    std::vector<uint8_t> lines_;       // the 8 vmax output lines of one row of MCUs
    size_t lineStride_ = 0;

    int nextLine_ = 0;
    int restartsLeft_ = 0;  // MCUs left in the current restart interval
    int nextRestart_ = 0;   // expected RSTn number
    bool broken_ = false;
};

DecoderImpl::DecoderImpl(IStream& in) : in_(in), bits_(in) {
    ReadHeaders(in_, headers_);
    mode_ = ChooseColourMode(headers_);
    prepare();

    info_.width = headers_.width;
    info_.height = headers_.height;
    info_.colour = mode_ == ColourMode::Grey ? 0 : 1;
    info_.densityUnit = headers_.jfifSeen ? headers_.densityUnit : uint8_t(kNoJfif);
    info_.xDensity = headers_.jfifSeen ? headers_.xDensity : 0;
    info_.yDensity = headers_.jfifSeen ? headers_.yDensity : 0;
}

void DecoderImpl::prepare() {
    const int count = headers_.componentCount;
    if (count == 1) {
        // A single component is one block per MCU whatever its declared factors.
        headers_.components[0].h = headers_.components[0].v = 1;
    }
    for (int i = 0; i < count; ++i) {
        hmax_ = std::max<int>(hmax_, headers_.components[i].h);
        vmax_ = std::max<int>(vmax_, headers_.components[i].v);
    }
    mcuW_ = 8 * hmax_;
    mcuH_ = 8 * vmax_;
    mcusPerRow_ = (headers_.width + mcuW_ - 1) / mcuW_;
    paddedWidth_ = mcusPerRow_ * mcuW_;
    outComponents_ = count == 1 ? 1 : 3;

    const ScanHeader scan = ReadScanHeader(in_, headers_);
    partCount_ = scan.count;
    blocksPerMcu_ = 0;
    std::array<int, kMaxFrameComponents> firstBlockOf{};
    for (int i = 0; i < scan.count; ++i) {
        const ScanComponent& sc = scan.components[i];
        const FrameComponent& fc = headers_.components[sc.frameIndex];
        ScanPart& p = parts_[i];
        p.frameIndex = sc.frameIndex;
        p.h = fc.h;
        p.v = fc.v;
        p.firstBlock = blocksPerMcu_;
        firstBlockOf[sc.frameIndex] = blocksPerMcu_;
        blocksPerMcu_ += fc.h * fc.v;
        p.dc = &headers_.dc[sc.dcTable];
        p.ac = &headers_.ac[sc.acTable];
        const QuantTable& q = headers_.quant[fc.quantTable];
        for (int k = 0; k < 64; ++k)
            p.multipliers[k] = int32_t(q.natural[k]) * kIdctScale[k];  // < 65536 x 15761 < 2^31
    }
    for (int c = 0; c < count; ++c) {
        const FrameComponent& fc = headers_.components[c];
        sampleIndex_[c] = McuSampleIndex(fc.h, fc.v, hmax_, vmax_, firstBlockOf[c]);
    }
    restartsLeft_ = headers_.restartInterval;
}

// Buffers are taken at the first line, so a stream declaring a huge size costs nothing before.
// At most: 65536 / (8 hmax) MCUs x 3 hmax vmax blocks x 128 bytes = 12 MB of coefficients and
// 32 lines x 65536 x 3 bytes = 6 MB of lines.
void DecoderImpl::allocate() {
    coefRow_.assign(size_t(mcusPerRow_) * blocksPerMcu_ * 64, 0);
    mcuSamples_.assign(size_t(blocksPerMcu_) * 64, 0);
    lineStride_ = size_t(paddedWidth_) * outComponents_;
    lines_.assign(lineStride_ * mcuH_, 0);
}

const uint8_t* DecoderImpl::ReadLine() {
    require(!broken_ && nextLine_ < headers_.height);
    const int inRow = nextLine_ % mcuH_;
    if (inRow == 0) {
        try {
            if (lines_.empty())
                allocate();
            decodeMcuRow();
        } catch (...) {
            broken_ = true;
            throw;
        }
    }
    ++nextLine_;
    return lines_.data() + size_t(inRow) * lineStride_;
}

void DecoderImpl::restart() {
    bits_.Reset();
    const uint8_t marker = FindMarker(in_);
    require(marker == 0xD0 + nextRestart_);
    nextRestart_ = (nextRestart_ + 1) & 7;
    for (int i = 0; i < partCount_; ++i) parts_[i].dcPrediction = 0;
    restartsLeft_ = headers_.restartInterval;
}

void DecoderImpl::decodeMcuRow() {
    std::fill(coefRow_.begin(), coefRow_.end(), int16_t(0));
    int16_t* coef = coefRow_.data();
    for (int m = 0; m < mcusPerRow_; ++m) {
        if (headers_.restartInterval != 0) {
            if (restartsLeft_ == 0)
                restart();
            --restartsLeft_;
        }
        for (int i = 0; i < partCount_; ++i) {
            ScanPart& p = parts_[i];
            for (int b = 0; b < p.h * p.v; ++b, coef += 64) decodeBlock(p, coef);
        }
    }
    const int16_t* mcuCoef = coefRow_.data();
    for (int m = 0; m < mcusPerRow_; ++m) {
        for (int i = 0; i < partCount_; ++i) {
            const ScanPart& p = parts_[i];
            for (int b = 0; b < p.h * p.v; ++b) {
                const int block = p.firstBlock + b;
                InverseDctBlock(mcuCoef + block * 64, p.multipliers.data(),
                                mcuSamples_.data() + block * 64, 8);
            }
        }
        colourMcu(mcuSamples_.data(), m);
        mcuCoef += size_t(blocksPerMcu_) * 64;
    }
}

void DecoderImpl::decodeBlock(ScanPart& p, int16_t* coef) {
    // DC: a size category, then that many bits of the difference to the prediction.
    const int dcSize = bits_.DecodeSymbol(*p.dc);
    require(dcSize <= 15);
    int diff = int(bits_.GetBits(dcSize));
    if (dcSize > 0 && diff < (1 << (dcSize - 1)))
        diff -= (1 << dcSize) - 1;
    // Kept to 16 bits like the coefficients, so a hostile stream cannot overflow the sum.
    p.dcPrediction = int16_t(p.dcPrediction + diff);
    coef[0] = int16_t(p.dcPrediction);

    // AC: run/size symbols in zigzag order.
    for (int k = 1; k < 64;) {
        const int rs = bits_.DecodeSymbol(*p.ac);
        const int run = rs >> 4;
        const int size = rs & 15;
        if (size == 0) {
            if (rs == 0)
                break;  // end of block
            if (rs == 0xF0) {
                if (k > 47)
                    break;
                k += 16;
                continue;
            }
        }
        k += run;
        require(k < 64);
        int value = int(bits_.GetBits(size));
        if (size > 0 && value < (1 << (size - 1)))
            value -= (1 << size) - 1;
        coef[kZigzagToNatural[k]] = int16_t(value);
        ++k;
    }
}

inline uint8_t clamp255(int v) {
    return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

void DecoderImpl::colourMcu(const uint8_t* s, int mcuIndex) {
    const int x0 = mcuIndex * mcuW_;
    for (int py = 0; py < mcuH_; ++py) {
        uint8_t* out = lines_.data() + size_t(py) * lineStride_ + size_t(x0) * outComponents_;
        const size_t rowStart = size_t(py) * mcuW_;
        switch (mode_) {
            case ColourMode::Grey: {
                const uint16_t* iy = sampleIndex_[0].data() + rowStart;
                for (int px = 0; px < mcuW_; ++px) out[px] = s[iy[px]];
                break;
            }
            case ColourMode::Rgb: {
                const uint16_t* i0 = sampleIndex_[0].data() + rowStart;
                const uint16_t* i1 = sampleIndex_[1].data() + rowStart;
                const uint16_t* i2 = sampleIndex_[2].data() + rowStart;
                for (int px = 0; px < mcuW_; ++px, out += 3) {
                    out[0] = s[i0[px]];
                    out[1] = s[i1[px]];
                    out[2] = s[i2[px]];
                }
                break;
            }
            case ColourMode::YCbCr: {
                const uint16_t* iy = sampleIndex_[0].data() + rowStart;
                const uint16_t* ib = sampleIndex_[1].data() + rowStart;
                const uint16_t* ir = sampleIndex_[2].data() + rowStart;
                const DecoderColourTables& t = kDecoderColour;
                for (int px = 0; px < mcuW_; ++px, out += 3) {
                    const int y = s[iy[px]];
                    const int cb = s[ib[px]];
                    const int cr = s[ir[px]];
                    out[0] = clamp255(y + t.redFromCr[cr]);
                    out[1] = clamp255(y + (t.greenFromCb[cb] + t.greenFromCr[cr]) / 4);
                    out[2] = clamp255(y + t.blueFromCb[cb]);
                }
                break;
            }
        }
    }
}

}  // namespace

std::unique_ptr<Decoder> CreateDecoder(IStream& in, uint16_t* width, uint16_t* height,
                                       uint8_t* colour, uint8_t* densityUnit, uint16_t* xDensity,
                                       uint16_t* yDensity) {
    auto decoder = std::make_unique<DecoderImpl>(in);
    const ImageInfo& i = decoder->info();
    if (width)
        *width = i.width;
    if (height)
        *height = i.height;
    if (colour)
        *colour = i.colour;
    if (densityUnit)
        *densityUnit = i.densityUnit;
    if (xDensity)
        *xDensity = i.xDensity;
    if (yDensity)
        *yDensity = i.yDensity;
    return decoder;
}

}  // namespace MiniJpeg
