#include "jpeg/jpeg_encoder.h"

#include "jpeg/jpeg_dct.h"
#include "jpeg/jpeg_huffman_encode.h"
#include "jpeg/jpeg_sampling.h"
#include "jpeg/jpeg_tables.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace MiniJpeg {

void CoderParams::check() const {
    require(width >= 1 && width <= 0xFFFF && height >= 1 && height <= 0xFFFF);
}

namespace {

using namespace detail;

constexpr char kBanner[] = "ORVEN Mensura MiniJpeg codec";

struct Component {
    uint8_t id;
    int h, v;
    int quantTable;  // also its DC and AC Huffman table number
    int firstBlock = 0;
    int divideBy = 1;  // pixels averaged into one sample
    int dcPrediction = 0;
};

class CoderImpl final : public Coder {
  public:
    CoderImpl(OStream& out, const CoderParams& params);
    void WriteLine(const uint8_t* line) override;

  private:
    void writeHeaders();
    void encodeMcuRow();
    void sampleMcu(int mcuIndex, int16_t* samples);

    OStream& out_;
    CoderParams p_;
    int componentCount_ = 1;
    std::array<Component, 3> comps_{};
    int hmax_ = 1, vmax_ = 1, mcuW_ = 8, mcuH_ = 8;
    int mcusPerRow_ = 0, paddedWidth_ = 0, blocksPerMcu_ = 0;
    std::array<std::vector<uint16_t>, 3> sampleIndex_;
    std::array<std::array<uint8_t, 64>, 2> quant_{};     // natural order
    std::array<std::array<int32_t, 64>, 2> divisors_{};  // quant x forward-DCT scale
    std::array<HuffmanEncodeTable, 2> dcTables_{}, acTables_{};

    std::vector<uint8_t> lines_;  // 8 vmax input lines of the padded width
    size_t lineStride_ = 0;
    std::vector<int16_t> mcuBlocks_;  // samples, then coefficients, of one MCU
    BitWriter bits_;
    int nextLine_ = 0;
};

CoderImpl::CoderImpl(OStream& out, const CoderParams& params) : out_(out), p_(params), bits_(out) {
    p_.check();
    p_.quality = std::clamp(p_.quality, 1, 100);
    if (p_.colour) {
        componentCount_ = 3;
        comps_[0] = {1, 2, p_.subsample422 ? 1 : 2, 0};
        comps_[1] = {2, 1, 1, 1};
        comps_[2] = {3, 1, 1, 1};
    } else {
        componentCount_ = 1;
        comps_[0] = {1, 1, 1, 0};
    }
    for (int i = 0; i < componentCount_; ++i) {
        hmax_ = std::max(hmax_, comps_[i].h);
        vmax_ = std::max(vmax_, comps_[i].v);
    }
    mcuW_ = 8 * hmax_;
    mcuH_ = 8 * vmax_;
    mcusPerRow_ = (p_.width + mcuW_ - 1) / mcuW_;
    paddedWidth_ = mcusPerRow_ * mcuW_;
    for (int i = 0; i < componentCount_; ++i) {
        Component& c = comps_[i];
        require(hmax_ % c.h == 0 && vmax_ % c.v == 0);
        c.firstBlock = blocksPerMcu_;
        blocksPerMcu_ += c.h * c.v;
        c.divideBy = (hmax_ * vmax_) / (c.h * c.v);
        sampleIndex_[i] = McuSampleIndex(c.h, c.v, hmax_, vmax_, c.firstBlock);
    }
    for (int t = 0; t < 2; ++t) {
        quant_[t] = ScaledQuantTable(p_.quality, t == 1);
        for (int k = 0; k < 64; ++k)
            divisors_[t][k] = int32_t(quant_[t][k]) * kFdctScale[k];  // < 255 x 63043
    }
    dcTables_[0] = BuildHuffmanEncodeTable(kStdDcLuminance);
    acTables_[0] = BuildHuffmanEncodeTable(kStdAcLuminance);
    dcTables_[1] = BuildHuffmanEncodeTable(kStdDcChrominance);
    acTables_[1] = BuildHuffmanEncodeTable(kStdAcChrominance);

    const int bytesPerPixel = p_.colour ? 3 : 1;
    lineStride_ = size_t(paddedWidth_) * bytesPerPixel;
    lines_.assign(lineStride_ * mcuH_, 0);
    mcuBlocks_.assign(size_t(blocksPerMcu_) * 64, 0);
    writeHeaders();
}

void CoderImpl::writeHeaders() {
    out_.PutMarker(0xD8);  // start of image

    out_.PutMarker(0xE0);  // JFIF 1.1
    out_.Put16(16);
    out_.WriteBlock(reinterpret_cast<const uint8_t*>("JFIF"), 5);  // with its zero byte
    out_.PutByte(1);
    out_.PutByte(1);
    out_.PutByte(p_.densityUnit == kDotsPerInch ? 1 : (p_.densityUnit == kDotsPerCm ? 2 : 0));
    out_.Put16(p_.xDensity);
    out_.Put16(p_.yDensity);
    out_.PutByte(0);
    out_.PutByte(0);

    out_.PutMarker(0xFE);  // comment
    out_.Put16(uint16_t(sizeof(kBanner) - 1 + 2));
    out_.WriteBlock(reinterpret_cast<const uint8_t*>(kBanner), sizeof(kBanner) - 1);

    // Both quantisation tables, also for grey images.
    for (int t = 0; t < 2; ++t) {
        if (t == 0 || !p_.singleQuantSegment) {
            out_.PutMarker(0xDB);
            out_.Put16(p_.singleQuantSegment ? 132 : 67);
        }
        out_.PutByte(uint8_t(t));  // 8-bit entries, table t
        for (int k = 0; k < 64; ++k) out_.PutByte(quant_[t][kZigzagToNatural[k]]);
    }

    out_.PutMarker(0xC0);  // baseline frame
    out_.Put16(uint16_t(8 + 3 * componentCount_));
    out_.PutByte(8);
    out_.Put16(uint16_t(p_.height));
    out_.Put16(uint16_t(p_.width));
    out_.PutByte(uint8_t(componentCount_));
    for (int i = 0; i < componentCount_; ++i) {
        out_.PutByte(comps_[i].id);
        out_.PutByte(uint8_t(comps_[i].h * 16 + comps_[i].v));
        out_.PutByte(uint8_t(comps_[i].quantTable));
    }

    // Huffman tables the scan uses: DC tables first, then AC, each in number order.
    const int tables = p_.colour ? 2 : 1;
    for (int t = 0; t < tables; ++t)
        WriteHuffmanSegment(out_, 0, t, t == 0 ? kStdDcLuminance : kStdDcChrominance);
    for (int t = 0; t < tables; ++t)
        WriteHuffmanSegment(out_, 1, t, t == 0 ? kStdAcLuminance : kStdAcChrominance);

    out_.PutMarker(0xDA);  // start of scan
    out_.Put16(uint16_t(6 + 2 * componentCount_));
    out_.PutByte(uint8_t(componentCount_));
    for (int i = 0; i < componentCount_; ++i) {
        out_.PutByte(comps_[i].id);
        out_.PutByte(uint8_t(comps_[i].quantTable * 16 + comps_[i].quantTable));
    }
    out_.PutByte(0);
    out_.PutByte(63);
    out_.PutByte(0);
}

void CoderImpl::WriteLine(const uint8_t* line) {
    require(nextLine_ < p_.height);
    const int bpp = p_.colour ? 3 : 1;
    const int inRow = nextLine_ % mcuH_;
    uint8_t* dst = lines_.data() + size_t(inRow) * lineStride_;
    std::memcpy(dst, line, size_t(p_.width) * bpp);
    // Repeat the last pixel up to the padded width.
    for (int x = p_.width; x < paddedWidth_; ++x)
        std::memcpy(dst + size_t(x) * bpp, dst + size_t(p_.width - 1) * bpp, size_t(bpp));

    const bool last = nextLine_ == p_.height - 1;
    if (last) {
        for (int r = inRow + 1; r < mcuH_; ++r)
            std::memcpy(lines_.data() + size_t(r) * lineStride_, dst, lineStride_);
    }
    ++nextLine_;
    if (inRow == mcuH_ - 1 || last)
        encodeMcuRow();
    if (last) {
        bits_.FlushWithOnes();
        out_.PutMarker(0xD9);  // end of image
        out_.Finish();
    }
}

void CoderImpl::sampleMcu(int mcuIndex, int16_t* samples) {
    std::fill(samples, samples + size_t(blocksPerMcu_) * 64, int16_t(0));
    const int x0 = mcuIndex * mcuW_;
    for (int py = 0; py < mcuH_; ++py) {
        const size_t rowStart = size_t(py) * mcuW_;
        if (!p_.colour) {
            const uint8_t* in = lines_.data() + size_t(py) * lineStride_ + x0;
            const uint16_t* iy = sampleIndex_[0].data() + rowStart;
            for (int px = 0; px < mcuW_; ++px) samples[iy[px]] = in[px];
            continue;
        }
        const uint8_t* in = lines_.data() + size_t(py) * lineStride_ + size_t(x0) * 3;
        const uint16_t* iy = sampleIndex_[0].data() + rowStart;
        const uint16_t* ib = sampleIndex_[1].data() + rowStart;
        const uint16_t* ir = sampleIndex_[2].data() + rowStart;
        const EncoderColourTables& t = kEncoderColour;
        for (int px = 0; px < mcuW_; ++px, in += 3) {
            const int r = in[0], g = in[1], b = in[2];
            const int rg = r - g + 256, bg = b - g + 256;  // 1..511
            samples[iy[px]] += int16_t(g + (t.yFromRminusG[rg] + t.yFromBminusG[bg]) / 4);
            samples[ib[px]] += int16_t((t.cbFromRminusG[rg] + (b - g) + 256) / 2);
            samples[ir[px]] += int16_t((t.crFromBminusG[bg] + (r - g) + 256) / 2);
        }
    }
    // Chroma is the average of the pixels it covers.
    for (int i = 0; i < componentCount_; ++i) {
        const Component& c = comps_[i];
        if (c.divideBy <= 1)
            continue;
        int16_t* s = samples + size_t(c.firstBlock) * 64;
        for (int k = 0; k < c.h * c.v * 64; ++k) s[k] = int16_t(s[k] / c.divideBy);
    }
}

void CoderImpl::encodeMcuRow() {
    int16_t* blocks = mcuBlocks_.data();
    int64_t dct[64];
    for (int m = 0; m < mcusPerRow_; ++m) {
        sampleMcu(m, blocks);
        for (int i = 0; i < componentCount_; ++i) {
            Component& c = comps_[i];
            for (int b = 0; b < c.h * c.v; ++b) {
                int16_t* block = blocks + size_t(c.firstBlock + b) * 64;
                ForwardDctBlock(block, dct);
                QuantizeBlock(dct, divisors_[c.quantTable].data(), block);
                EncodeBlock(bits_, block, c.dcPrediction, dcTables_[c.quantTable],
                            acTables_[c.quantTable]);
            }
        }
    }
}

}  // namespace

std::unique_ptr<Coder> CreateCoder(OStream& out, const CoderParams& params) {
    return std::make_unique<CoderImpl>(out, params);
}

}  // namespace MiniJpeg
