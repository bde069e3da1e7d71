#include "thumbnails/jpeg_eighth_decoder.h"

#include "jpeg/jpeg_error.h"
#include "jpeg/jpeg_header_reader.h"
#include "metadata/byte_source.h"
#include "metadata/jpeg_segments.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>

namespace orm {

namespace {

using MiniJpeg::detail::HuffmanDecodeTable;

// The most bits one block can take: 64 codes of at most 16 bits, each with at most 15 extra bits.
// An MCU holds at most 10 blocks (JPEG's limit for interleaved scans).
constexpr int kMaxBlocksPerMcu = 10;
constexpr size_t kMaxMcuBytes = kMaxBlocksPerMcu * 64 * (16 + 15) / 8 + 1;

// A code of the next bits: (length << 8) | symbol, 0 when the code is longer than maxLength;
// -1 when no code of 16 bits or fewer matches.
int CanonicalCode(const HuffmanDecodeTable& t, uint32_t bits16, int maxLength) {
    for (int len = 1; len <= maxLength; ++len) {
        const int32_t code = int32_t(bits16 >> (16 - len));
        if (code <= t.maxCode[len]) {
            const int32_t index = t.valueOffset[len] + code;
            if (index < 0 || index >= t.symbolCount)
                return -1;
            return (len << 8) | t.symbols[size_t(index)];
        }
    }
    return maxLength == 16 ? -1 : 0;
}

// An AC symbol as the skipping loop needs it: (coefficients passed << 8) | bits taken by the code
// and its extra bits. An end of block (size 0, run below 15) passes all 64 (as libjpeg, which ends
// the block on any size-0 symbol but ZRL); ZRL passes 16 zeros.
uint16_t SkipEntry(int length, int symbol) {
    const int run = symbol >> 4, size = symbol & 15;
    const int passed = size ? run + 1 : (run == 15 ? 16 : 64);
    return uint16_t((passed << 8) | (length + size));
}

// The lookups of one Huffman table, indexed by the next bits. The sizes were measured on camera
// photos: a wider multi-symbol table takes more symbols per lookup (14 bits beat 12 by a tenth,
// though they leave the first-level cache); the others are rarely consulted and kept small.
//   dc (9 bits): (length << 8) | size of the difference's extra bits;
//   acMulti (14 bits): several AC symbols at once (below);
//   acSingle (10 bits): one AC symbol as SkipEntry gives it;
// 0 wherever the code is longer: the canonical search of the codec's table decides.
constexpr int kDcBits = 9, kMultiBits = 14, kSingleBits = 10;
static_assert(4 * kMultiBits <= 56, "four multi-symbol lookups per refill");
static_assert(kMultiBits <= 15, "the bits taken are held in four bits");

struct TableLookups {
    const HuffmanDecodeTable* table = nullptr;
    std::array<uint16_t, 1 << kDcBits> dc{};
    std::array<uint16_t, 1 << kMultiBits> acMulti{};
    std::array<uint16_t, 1 << kSingleBits> acSingle{};
};

// The multi-symbol entry of a 14-bit pattern: the AC symbols (codes with their extra bits) that lie
// wholly in it, up to an end of block. Bits 0-3: bits taken (1..14; 0: not even one symbol fits),
// 4-9: coefficients passed minus 1 (an end of block counts up to 64), 10-15: coefficients passed
// before the last symbol. The block may end inside the pattern (its 63rd coefficient reached): the
// decoder takes the entry only when the symbols before the last leave the block open.
uint16_t MultiEntry(const HuffmanDecodeTable& t, uint32_t pattern) {
    int used = 0, passed = 0, before = 0;
    for (;;) {
        const int left = kMultiBits - used;
        const uint32_t bits16 = (pattern << (16 - kMultiBits + used)) & 0xFFFF;
        const int code = CanonicalCode(t, bits16, left);
        if (code <= 0 || (code >> 8) + (code & 15) > left)
            break;
        const uint16_t skip = SkipEntry(code >> 8, code & 0xFF);
        before = passed;
        passed += skip >> 8;
        used += skip & 0xFF;
        if (passed >= 63)
            break;  // an end of block, or the block's last coefficient
    }
    if (used == 0)
        return 0;
    return uint16_t(used | ((std::min(passed, 64) - 1) << 4) | (before << 10));
}

void BuildLookups(const HuffmanDecodeTable& t, bool ac, TableLookups& out) {
    out.table = &t;
    if (!ac) {
        for (uint32_t p = 0; p < out.dc.size(); ++p) {
            const int code = CanonicalCode(t, p << (16 - kDcBits), kDcBits);
            out.dc[p] = uint16_t(std::max(code, 0));
        }
        return;
    }
    for (uint32_t p = 0; p < out.acSingle.size(); ++p) {
        const int code = CanonicalCode(t, p << (16 - kSingleBits), kSingleBits);
        out.acSingle[p] = code <= 0 ? 0 : SkipEntry(code >> 8, code & 0xFF);
    }
    for (uint32_t p = 0; p < out.acMulti.size(); ++p) out.acMulti[p] = MultiEntry(t, p);
}

// The scan's bytes with the stuffing removed, in place: [begin, end) of the file's buffer, and
// where each restart interval begins (offsets from `begin`).
struct ScanBits {
    size_t begin = 0;
    size_t end = 0;
    std::vector<size_t> restarts;
};

// Rewrites the entropy-coded data that starts at `start` in place: 0xFF 0x00 becomes 0xFF, fill
// bytes and restart markers go (their positions are noted); any other marker, or the end of the
// file, ends the scan.
ScanBits Unstuff(std::span<uint8_t> file, size_t start) {
    uint8_t* const d = file.data();
    const size_t n = file.size();
    size_t r = start, w = start;
    ScanBits scan;
    scan.begin = start;
    while (r < n) {
        const void* ff = std::memchr(d + r, 0xFF, n - r);
        const size_t plain = ff ? size_t(static_cast<const uint8_t*>(ff) - d) : n;
        if (w != r)
            std::memmove(d + w, d + r, plain - r);
        w += plain - r;
        r = plain;
        if (r + 1 >= n)
            break;
        const uint8_t next = d[r + 1];
        if (next == 0x00) {
            d[w++] = 0xFF;
            r += 2;
        } else if (next == 0xFF) {
            r += 1;  // a fill byte before a marker
        } else if (next >= 0xD0 && next <= 0xD7) {
            scan.restarts.push_back(w - start);
            r += 2;
        } else {
            break;
        }
    }
    scan.end = w;
    return scan;
}

// Where the entropy-coded data of the first scan starts: just after its header.
std::optional<size_t> ScanStart(std::span<const uint8_t> file) {
    const MemoryByteSource source(file);
    JpegSegmentWalker walker(source);
    while (const std::optional<JpegSegment> segment = walker.Next())
        if (segment->marker == jpeg_marker::kSos)
            return segment->End() <= file.size() ? std::optional<size_t>(segment->End())
                                                 : std::nullopt;
    return std::nullopt;
}

// The bit string of the scan: `acc` holds the next `count` bits left-aligned (the bits below
// them are zero), `next` is the first byte not yet in `acc`.
struct Bits {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t next = 0;
    uint64_t acc = 0;
    int count = 0;

    size_t Position() const { return next * 8 - size_t(count); }
    void Seek(size_t bit) {
        next = bit / 8;
        acc = 0;
        count = 0;
        Refill<true>();
        Drop(int(bit % 8));
    }
    // Tops `acc` up to at least 56 bits. `Checked` supplies zeros beyond the data; the unchecked
    // form reads the 8 bytes from `next` on.
    template <bool Checked>
    void Refill() {
        uint64_t w = 0;
        if (!Checked || next + 8 <= size) {
            std::memcpy(&w, data + next, 8);
            w = __builtin_bswap64(w);
        } else {
            for (size_t i = 0; i < 8; ++i) w = (w << 8) | (next + i < size ? data[next + i] : 0);
        }
        acc |= w >> count;
        next += size_t(63 - count) >> 3;
        count |= 56;
    }
    void Drop(int n) {
        acc <<= n;
        count -= n;
    }
};

// One component of the scan: its tables and its plane of block values (one byte per block, the
// block's mean sample).
struct Component {
    const TableLookups* dc = nullptr;
    const TableLookups* ac = nullptr;
    int h = 1, v = 1;  // blocks per MCU across and down
    int quant = 1;     // the DC quantiser
    int predictor = 0;
    int planeWidth = 0, planeHeight = 0;  // in blocks
    std::vector<uint8_t> plane;
};

// libjpeg's 1 x 1 inverse DCT: the dequantised DC over 8, rounded, level-shifted by 128 and
// range-limited the way its table does it (values wrap modulo 1024 before clamping; the
// coefficient is held in 16 bits).
uint8_t BlockMean(int dc, int quant) {
    const int dcval = (int(int16_t(dc)) * quant + 4) >> 3;
    const int wrapped = ((dcval & 1023) ^ 512) - 512;
    return uint8_t(std::clamp(wrapped + 128, 0, 255));
}

// The DC difference of a block, added to the component's predictor; false on a bad code.
template <bool Checked>
bool DecodeDc(Bits& in, Component& c) {
    in.Refill<Checked>();  // 56 bits: a code of up to 16 bits and up to 15 extra bits
    int code = c.dc->dc[in.acc >> (64 - kDcBits)];
    if (code == 0 && (code = CanonicalCode(*c.dc->table, uint32_t(in.acc >> 48), 16)) <= 0)
        return false;
    const int length = code >> 8, bits = code & 0xFF;
    if (bits > 15)
        return false;
    in.Drop(length);
    if (bits) {
        int diff = int(in.acc >> (64 - bits));
        if (diff < (1 << (bits - 1)))
            diff -= (1 << bits) - 1;
        c.predictor += diff;
        in.Drop(bits);
    }
    return true;
}

// Steps over the AC codes of a block; false on a bad code. After each refill (56 bits) up to four
// multi-symbol lookups of at most 14 bits each follow without another: the refill stays off the
// chain from one lookup to the next. A pattern that holds no whole symbol, or whose symbols would
// run past the block's end, is taken one symbol at a time.
template <bool Checked>
bool SkipAc(Bits& in, const TableLookups& t) {
    Bits b = in;  // in registers: the plane's byte stores could alias the reader's fields
    int k = 1;
    while (k < 64) {
        b.Refill<Checked>();
        int i = 0;
        for (; i < 4 && k < 64; ++i) {
            const uint32_t m = t.acMulti[b.acc >> (64 - kMultiBits)];
            if (m == 0 || k + int(m >> 10) >= 64)
                break;
            b.Drop(int(m & 15));
            k += int((m >> 4) & 63) + 1;
        }
        if (i == 4 || k >= 64)
            continue;
        b.Refill<Checked>();  // one symbol of up to 31 bits
        int skip = t.acSingle[b.acc >> (64 - kSingleBits)];
        if (skip == 0) {
            const int code = CanonicalCode(*t.table, uint32_t(b.acc >> 48), 16);
            if (code <= 0)
                return false;
            skip = SkipEntry(code >> 8, code & 0xFF);
        }
        b.Drop(skip & 0xFF);
        k += skip >> 8;
    }
    in = b;
    return true;
}

struct Frame {
    int mcusAcross = 0, mcusDown = 0;
    int restartInterval = 0;
    MiniJpeg::detail::ColourMode mode = MiniJpeg::detail::ColourMode::YCbCr;
    std::vector<Component> components;  // in scan order (the order of the blocks in an MCU)
    std::array<int, 3> byFrameIndex{};  // frame component i: components[byFrameIndex[i]]
    // The lookups of each DC and AC table the scan uses, built once (Cb and Cr share theirs).
    std::array<std::unique_ptr<TableLookups>, 4> dcLookups, acLookups;

    const TableLookups* Lookups(const std::array<HuffmanDecodeTable, 4>& tables, int number,
                                bool ac) {
        std::unique_ptr<TableLookups>& slot = (ac ? acLookups : dcLookups)[size_t(number)];
        if (!slot) {
            slot = std::make_unique<TableLookups>();
            BuildLookups(tables[size_t(number)], ac, *slot);
        }
        return slot.get();
    }
};

// Decodes every MCU of the scan into the planes; false on a bad code, on data that runs past its
// restart interval or the scan, or on missing restart markers.
bool DecodeScan(const uint8_t* d, const ScanBits& scan, Frame& f) {
    Bits in;
    in.data = d + scan.begin;
    in.size = scan.end - scan.begin;
    in.Seek(0);
    size_t segment = 0;
    // Restart markers in a scan without a restart interval are not looked at (libjpeg warns).
    size_t segmentEnd =
        f.restartInterval == 0 || scan.restarts.empty() ? in.size : scan.restarts[0];
    int64_t mcu = 0;
    for (int my = 0; my < f.mcusDown; ++my) {
        for (int mx = 0; mx < f.mcusAcross; ++mx, ++mcu) {
            if (f.restartInterval > 0 && mcu > 0 && mcu % f.restartInterval == 0) {
                if (segment >= scan.restarts.size())
                    return false;
                in.Seek(scan.restarts[segment] * 8);
                ++segment;
                segmentEnd = segment < scan.restarts.size() ? scan.restarts[segment] : in.size;
                for (Component& c : f.components) c.predictor = 0;
            }
            const bool fast = in.next + kMaxMcuBytes + 16 <= in.size;
            for (Component& c : f.components) {
                for (int by = 0; by < c.v; ++by)
                    for (int bx = 0; bx < c.h; ++bx) {
                        const bool ok = fast ? DecodeDc<false>(in, c) && SkipAc<false>(in, *c.ac)
                                             : DecodeDc<true>(in, c) && SkipAc<true>(in, *c.ac);
                        if (!ok)
                            return false;
                        const int x = mx * c.h + bx, y = my * c.v + by;
                        c.plane[size_t(y) * size_t(c.planeWidth) + size_t(x)] =
                            BlockMean(c.predictor, c.quant);
                    }
            }
            if (in.Position() > segmentEnd * 8)
                return false;  // the data of the interval (or of the file) ran out
        }
    }
    return true;
}

// The frame's geometry and tables from the headers (read into `h`, which the components point
// into); false for what this decoder leaves alone. Throws MiniJpeg::Error on headers the codec
// refuses.
bool SetUpFrame(std::span<const uint8_t> file, MiniJpeg::detail::StreamHeaders& h, Frame& f) {
    using namespace MiniJpeg::detail;
    MiniJpeg::MemorySource source(file.data(), file.size());
    ReadHeaders(source, h);
    const ScanHeader scan = ReadScanHeader(source, h);
    f.mode = ChooseColourMode(h);
    int hMax = 1, vMax = 1;
    for (int i = 0; i < h.componentCount; ++i) {
        hMax = std::max<int>(hMax, h.components[size_t(i)].h);
        vMax = std::max<int>(vMax, h.components[size_t(i)].v);
    }
    const bool interleaved = scan.count > 1;
    f.mcusAcross = interleaved ? (h.width + 8 * hMax - 1) / (8 * hMax) : (h.width + 7) / 8;
    f.mcusDown = interleaved ? (h.height + 8 * vMax - 1) / (8 * vMax) : (h.height + 7) / 8;
    f.restartInterval = h.restartInterval;
    int blocksPerMcu = 0;
    f.components.resize(size_t(scan.count));
    for (int i = 0; i < scan.count; ++i) {
        const ScanComponent& s = scan.components[size_t(i)];
        const FrameComponent& fc = h.components[size_t(s.frameIndex)];
        Component& c = f.components[size_t(i)];
        f.byFrameIndex[size_t(s.frameIndex)] = i;
        c.dc = f.Lookups(h.dc, s.dcTable, false);
        c.ac = f.Lookups(h.ac, s.acTable, true);
        // A single-component scan is not interleaved: one block per MCU, whatever the factors.
        c.h = interleaved ? fc.h : 1;
        c.v = interleaved ? fc.v : 1;
        c.quant = h.quant[fc.quantTable].natural[0];
        blocksPerMcu += c.h * c.v;
        // Which block of this component covers output pixel (x, y): (x h / hMax, y v / vMax).
        c.planeWidth = f.mcusAcross * c.h;
        c.planeHeight = f.mcusDown * c.v;
    }
    return blocksPerMcu <= kMaxBlocksPerMcu;
}

// libjpeg's YCbCr to RGB conversion (16-bit fixed point, rounded; green from both chroma terms
// in one sum): the terms of each chroma value.
struct YccTables {
    std::array<int, 256> crR{}, cbB{};
    std::array<int32_t, 256> crG{}, cbG{};
    YccTables() {
        constexpr int32_t kHalf = 1 << 15;
        for (int i = 0; i < 256; ++i) {
            const int32_t x = i - 128;
            crR[size_t(i)] = int((91881 * x + kHalf) >> 16);   // 1.40200
            cbB[size_t(i)] = int((116130 * x + kHalf) >> 16);  // 1.77200
            crG[size_t(i)] = -46802 * x;                       // -0.71414
            cbG[size_t(i)] = -22554 * x + kHalf;               // -0.34414
        }
    }
};

uint8_t Clamp255(int v) {
    return uint8_t(std::clamp(v, 0, 255));
}

// The planes as blue-green-red pixels, each component sampled at the block that covers the
// pixel.
void ToBgr(const Frame& f, int hMax, int vMax, EighthImage& out) {
    using MiniJpeg::detail::ColourMode;
    static const YccTables ycc;
    out.bgr.resize(size_t(out.width) * size_t(out.height) * 3);
    std::array<const Component*, 3> c{};
    const int count = int(f.components.size());
    for (int i = 0; i < count; ++i) c[size_t(i)] = &f.components[size_t(f.byFrameIndex[size_t(i)])];
    std::array<std::vector<int>, 3> columns;  // block column of each output column
    for (int i = 0; i < count; ++i) {
        columns[size_t(i)].resize(size_t(out.width));
        for (int x = 0; x < out.width; ++x)
            columns[size_t(i)][size_t(x)] = x * c[size_t(i)]->h / hMax;
    }
    for (int y = 0; y < out.height; ++y) {
        std::array<const uint8_t*, 3> rows{};
        for (int i = 0; i < count; ++i)
            rows[size_t(i)] = c[size_t(i)]->plane.data() +
                              size_t(y * c[size_t(i)]->v / vMax) * size_t(c[size_t(i)]->planeWidth);
        uint8_t* o = out.bgr.data() + size_t(y) * size_t(out.width) * 3;
        for (int x = 0; x < out.width; ++x, o += 3) {
            const int l = rows[0][columns[0][size_t(x)]];
            if (count == 1) {
                o[0] = o[1] = o[2] = uint8_t(l);
                continue;
            }
            const int a = rows[1][columns[1][size_t(x)]], b = rows[2][columns[2][size_t(x)]];
            if (f.mode == ColourMode::Rgb) {
                o[0] = uint8_t(b), o[1] = uint8_t(a), o[2] = uint8_t(l);
                continue;
            }
            o[0] = Clamp255(l + ycc.cbB[size_t(a)]);
            o[1] = Clamp255(l + int((ycc.cbG[size_t(a)] + ycc.crG[size_t(b)]) >> 16));
            o[2] = Clamp255(l + ycc.crR[size_t(b)]);
        }
    }
}

EighthDecode Decode(std::span<uint8_t> file, EighthImage& out, const EighthSizeCheck& accept) {
    auto headers = std::make_unique<MiniJpeg::detail::StreamHeaders>();
    Frame f;
    if (!SetUpFrame(file, *headers, f) || !accept(headers->width, headers->height))
        return EighthDecode::NotHandled;
    const std::optional<size_t> start = ScanStart(file);
    if (!start)
        return EighthDecode::NotHandled;
    for (Component& c : f.components)
        c.plane.assign(size_t(c.planeWidth) * size_t(c.planeHeight), 0);
    const ScanBits scan = Unstuff(file, *start);
    if (!DecodeScan(file.data(), scan, f))
        return EighthDecode::Failed;
    out.fileWidth = headers->width;
    out.fileHeight = headers->height;
    out.width = (headers->width + 7) / 8;
    out.height = (headers->height + 7) / 8;
    out.grey = f.components.size() == 1;
    int hMax = 1, vMax = 1;
    for (const Component& c : f.components) {
        hMax = std::max(hMax, c.h);
        vMax = std::max(vMax, c.v);
    }
    ToBgr(f, hMax, vMax, out);
    return EighthDecode::Decoded;
}

}  // namespace

EighthDecode DecodeJpegEighth(std::span<uint8_t> file, EighthImage& out,
                              const EighthSizeCheck& accept) {
    try {
        return Decode(file, out, accept);
    } catch (const MiniJpeg::Error&) {
        return EighthDecode::NotHandled;  // headers the codec refuses; the scan is untouched
    }
}

}  // namespace orm
