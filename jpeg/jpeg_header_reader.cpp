#include "jpeg/jpeg_header_reader.h"

#include "jpeg/jpeg_tables.h"

#include <cstring>

namespace MiniJpeg::detail {

namespace {

enum Marker : uint8_t {
    kSof0 = 0xC0,  // baseline
    kSof1 = 0xC1,  // extended sequential, Huffman
    kDht = 0xC4,
    kDac = 0xCC,
    kSoi = 0xD8,
    kEoi = 0xD9,
    kSos = 0xDA,
    kDqt = 0xDB,
    kDri = 0xDD,
    kApp0 = 0xE0,
    kApp1 = 0xE1,
    kApp13 = 0xED,
    kApp14 = 0xEE,
    kApp15 = 0xEF,
    kCom = 0xFE,
};

// The payload of one marker segment; every read is checked against the segment length.
class Segment {
  public:
    explicit Segment(IStream& in) : in_(in) {
        const int hi = in_.ReadByte();
        const int lo = in_.ReadByte();
        const int length = (hi << 8) | lo;
        require(length >= 2);
        left_ = length - 2;
    }
    int left() const { return left_; }
    uint8_t u8() {
        require(left_ > 0);
        --left_;
        return in_.ReadByte();
    }
    uint16_t u16() {
        const int hi = u8();
        return uint16_t((hi << 8) | u8());
    }
    void skip(int n) {
        require(n <= left_);
        for (int i = 0; i < n; ++i) u8();
    }
    void skipRest() { skip(left_); }

  private:
    IStream& in_;
    int left_ = 0;
};

void readFrame(Segment& s, StreamHeaders& h) {
    require(!h.frameSeen);  // one frame per image
    require(s.u8() == 8);   // 8-bit samples only
    h.height = s.u16();
    h.width = s.u16();
    const int count = s.u8();
    require(h.width > 0 && h.height > 0);
    require(count >= 1 && count <= kMaxFrameComponents);
    require(s.left() == 3 * count);
    for (int i = 0; i < count; ++i) {
        FrameComponent& c = h.components[i];
        c.id = s.u8();
        const uint8_t sampling = s.u8();
        c.h = sampling >> 4;
        c.v = sampling & 15;
        c.quantTable = s.u8();
        require(c.h >= 1 && c.h <= kMaxSamplingFactor && c.v >= 1 && c.v <= kMaxSamplingFactor);
        require(c.quantTable < kMaxTables);
        for (int j = 0; j < i; ++j)
            require(h.components[j].id != c.id);  // scan selectors must be unambiguous
    }
    h.componentCount = count;
    h.frameSeen = true;
}

void readHuffmanTables(Segment& s, StreamHeaders& h) {
    while (s.left() > 0) {
        const uint8_t classAndNumber = s.u8();
        const int tableClass = classAndNumber >> 4;
        const int number = classAndNumber & 15;
        require(tableClass <= 1 && number < kMaxTables);
        uint8_t counts[16];
        int total = 0;
        for (uint8_t& c : counts) {
            c = s.u8();
            total += c;
        }
        require(total <= kMaxHuffmanSymbols);
        uint8_t symbols[kMaxHuffmanSymbols];
        for (int i = 0; i < total; ++i) symbols[i] = s.u8();
        BuildHuffmanDecodeTable(counts, symbols, tableClass == 0 ? h.dc[number] : h.ac[number]);
    }
}

void readQuantTables(Segment& s, StreamHeaders& h) {
    while (s.left() > 0) {
        const uint8_t precisionAndNumber = s.u8();
        const bool wide = (precisionAndNumber >> 4) != 0;
        const int number = precisionAndNumber & 15;
        require(number < kMaxTables);
        QuantTable& t = h.quant[number];
        for (int k = 0; k < 64; ++k) t.natural[kZigzagToNatural[k]] = wide ? s.u16() : s.u8();
        t.present = true;
    }
}

bool startsWith(const uint8_t* bytes, const char* tag, size_t n) {
    return std::memcmp(bytes, tag, n) == 0;
}

void readJfif(Segment& s, StreamHeaders& h) {
    if (s.left() + 2 < 16) {
        s.skipRest();
        return;
    }
    uint8_t tag[5];
    for (uint8_t& b : tag) b = s.u8();
    if (startsWith(tag, "JFIF", 5)) {
        require(!h.jfifSeen);
        require(s.u8() == 1);  // major version
        s.u8();                // minor version
        const uint8_t units = s.u8();
        // Units 0, 1, 2 give codes 1, 2, 3. An unknown unit is read as "aspect ratio only", so
        // its numbers are never taken for a resolution.
        h.densityUnit = units <= 2 ? uint8_t(units + 1) : uint8_t(1);
        h.xDensity = s.u16();
        h.yDensity = s.u16();
        s.skip(2);  // thumbnail size
        h.jfifSeen = true;
    }
    s.skipRest();
}

void readAdobe(Segment& s, StreamHeaders& h) {
    if (s.left() + 2 < 14) {
        s.skipRest();
        return;
    }
    uint8_t tag[5];
    for (uint8_t& b : tag) b = s.u8();
    if (startsWith(tag, "Adobe", 5)) {
        require(!h.adobeSeen);
        s.skip(6);  // version, flags0, flags1
        h.adobeTransform = s.u8();
        h.adobeSeen = true;
    }
    s.skipRest();
}

}  // namespace

uint8_t FindMarker(IStream& in) {
    for (;;) {
        uint8_t b = in.ReadByte();
        if (b != 0xFF)
            continue;
        do {
            b = in.ReadByte();
        } while (b == 0xFF);
        if (b != 0)
            return b;
    }
}

void ReadHeaders(IStream& in, StreamHeaders& h) {
    require(in.ReadByte() == 0xFF && in.ReadByte() == kSoi);
    for (;;) {
        const uint8_t marker = FindMarker(in);
        if (marker == kSos || marker == kEoi) {
            in.Unread(marker);
            in.Unread(0xFF);
            break;
        }
        Segment s(in);
        switch (marker) {
            case kSof0:
            case kSof1:
                readFrame(s, h);
                break;
            case kDht:
                readHuffmanTables(s, h);
                break;
            case kDqt:
                readQuantTables(s, h);
                break;
            case kDri:
                require(s.left() == 2);
                h.restartInterval = s.u16();
                break;
            case kApp0:
                readJfif(s, h);
                break;
            case kApp14:
                readAdobe(s, h);
                break;
            case kDac:
            case kApp15:
            case kCom:
                s.skipRest();
                break;
            default:
                if (marker >= kApp1 && marker <= kApp13) {
                    s.skipRest();
                    break;
                }
                // Progressive, lossless, hierarchical and arithmetic frames, restart markers and
                // everything else that has no place among the headers.
                fail();
        }
    }
    require(h.frameSeen);
}

ScanHeader ReadScanHeader(IStream& in, const StreamHeaders& h) {
    require(in.ReadByte() == 0xFF && in.ReadByte() == kSos);
    Segment s(in);
    ScanHeader scan;
    scan.count = s.u8();
    require(scan.count >= 1 && scan.count <= kMaxScanComponents);
    require(s.left() == 2 * scan.count + 3);
    bool used[kMaxFrameComponents] = {};
    for (int i = 0; i < scan.count; ++i) {
        const uint8_t selector = s.u8();
        const uint8_t tables = s.u8();
        int index = -1;
        for (int j = 0; j < h.componentCount; ++j)
            if (h.components[j].id == selector)
                index = j;
        require(index >= 0 && !used[index]);
        used[index] = true;
        ScanComponent& c = scan.components[i];
        c.frameIndex = index;
        c.dcTable = tables >> 4;
        c.acTable = tables & 15;
        require(c.dcTable < kMaxTables && c.acTable < kMaxTables);
        require(h.dc[c.dcTable].present && h.ac[c.acTable].present);
        require(h.quant[h.components[index].quantTable].present);
    }
    s.skip(3);  // spectral selection and successive approximation: fixed for sequential scans
    // The whole image must be one scan.
    require(scan.count == h.componentCount);
    return scan;
}

ColourMode ChooseColourMode(const StreamHeaders& h) {
    if (h.componentCount == 1)
        return ColourMode::Grey;
    require(h.componentCount == 3);
    // An Adobe segment decides by its transform byte, with or without JFIF: RGB JPEGs are
    // written with transform 0 and usually without a JFIF segment.
    if (h.adobeSeen)
        return h.adobeTransform == 0 ? ColourMode::Rgb : ColourMode::YCbCr;
    if (h.jfifSeen) {
        const auto& c = h.components;
        if (c[0].id == 'R' && c[1].id == 'G' && c[2].id == 'B')
            return ColourMode::Rgb;
    }
    return ColourMode::YCbCr;
}

}  // namespace MiniJpeg::detail
