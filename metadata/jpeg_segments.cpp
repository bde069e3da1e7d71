#include "metadata/jpeg_segments.h"

#include "metadata/byte_order.h"

#include <algorithm>
#include <cstring>

namespace orm {

namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kStuffed = 0x00;  // 0xFF 0x00: a data byte 0xFF, not a marker
constexpr uint8_t kTem = 0x01;

constexpr bool IsRestart(uint8_t marker) {
    return marker >= 0xD0 && marker <= 0xD7;
}

}  // namespace

std::optional<uint8_t> JpegSegmentWalker::ByteAt(uint64_t pos) {
    if (pos < windowStart_ || pos - windowStart_ >= windowSize_) {
        if (!file_.Contains(pos, 1))
            return std::nullopt;
        const uint64_t n = std::min<uint64_t>(window_.size(), file_.Size() - pos);
        windowSize_ = 0;
        if (!file_.Read(pos, std::span<uint8_t>(window_.data(), size_t(n))))
            return std::nullopt;
        windowStart_ = pos;
        windowSize_ = n;
    }
    return window_[size_t(pos - windowStart_)];
}

std::optional<uint64_t> JpegSegmentWalker::Find(uint64_t from, uint8_t value) {
    for (uint64_t pos = from;;) {
        if (!ByteAt(pos))
            return std::nullopt;
        const uint8_t* start = window_.data() + (pos - windowStart_);
        const size_t left = size_t(windowSize_ - (pos - windowStart_));
        if (const void* hit = std::memchr(start, value, left))
            return pos + uint64_t(static_cast<const uint8_t*>(hit) - start);
        pos += left;
    }
}

std::optional<JpegSegment> JpegSegmentWalker::Finish(JpegWalkEnd end) {
    end_ = end;
    return std::nullopt;
}

bool JpegSegmentWalker::SkipScanData() {
    for (uint64_t pos = pos_;;) {
        const std::optional<uint64_t> prefix = Find(pos, kMarkerPrefix);
        if (!prefix)
            return false;
        const std::optional<uint8_t> next = ByteAt(*prefix + 1);
        if (!next)
            return false;
        if (*next != kStuffed && !IsRestart(*next)) {
            pos_ = *prefix;
            return true;
        }
        pos = *prefix + 2;
    }
}

std::optional<JpegSegment> JpegSegmentWalker::Next() {
    if (end_ != JpegWalkEnd::kWalking)
        return std::nullopt;
    if (!started_) {
        started_ = true;
        if (ByteAt(0) != kMarkerPrefix || ByteAt(1) != jpeg_marker::kSoi)
            return Finish(JpegWalkEnd::kNotJpeg);
        pos_ = 2;
    }
    if (afterScanHeader_) {
        afterScanHeader_ = false;
        if (!SkipScanData())
            return Finish(JpegWalkEnd::kCutOff);
    }
    for (;;) {
        // Stray bytes up to the next 0xFF, then fill bytes, then the marker (see the header).
        std::optional<uint64_t> at = Find(pos_, kMarkerPrefix);
        if (!at)
            return Finish(JpegWalkEnd::kCutOff);
        std::optional<uint8_t> marker;
        do {
            marker = ByteAt(++*at);
        } while (marker == kMarkerPrefix);
        if (!marker)
            return Finish(JpegWalkEnd::kCutOff);
        pos_ = *at + 1;
        if (*marker == jpeg_marker::kEoi)
            return Finish(JpegWalkEnd::kEndOfImage);
        if (*marker == kStuffed || *marker == kTem || IsRestart(*marker))
            continue;  // no length field follows
        const std::optional<uint8_t> high = ByteAt(pos_), low = ByteAt(pos_ + 1);
        if (!high || !low)
            return Finish(JpegWalkEnd::kCutOff);
        const uint8_t field[2] = {*high, *low};
        const JpegSegment segment{*marker, pos_, LoadBe16(field)};
        if (segment.length < 2)
            return Finish(JpegWalkEnd::kBroken);
        pos_ = segment.End();
        afterScanHeader_ = *marker == jpeg_marker::kSos;
        return segment;
    }
}

}  // namespace orm
