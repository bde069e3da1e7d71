#include "jpeg/jpeg_stream.h"

#include "jpeg/jpeg_error.h"

#include <algorithm>
#include <cstring>

namespace MiniJpeg {

void fail() {
    throw Error();
}

void IStream::fail_end() {
    fail();
}

bool IStream::refill() {
    // Fresh data goes behind the push-back room, so up to four bytes can later be put back in
    // front of it even when they were read from the previous buffer load.
    pos_ = end_ = kPushBackRoom;
    const long got = fill(buf_.data() + kPushBackRoom, kBufferSize - kPushBackRoom);
    if (got <= 0)
        return false;
    end_ = kPushBackRoom + std::min(size_t(got), kBufferSize - kPushBackRoom);
    return true;
}

size_t IStream::Read(uint8_t* dst, size_t n) {
    size_t done = 0;
    while (done < n) {
        if (pos_ == end_ && !refill())
            break;
        const size_t take = std::min(n - done, end_ - pos_);
        std::memcpy(dst + done, buf_.data() + pos_, take);
        pos_ += take;
        done += take;
    }
    return done;
}

void IStream::Unread(uint8_t byte) {
    require(pos_ > 0);
    buf_[--pos_] = byte;
}

void OStream::WriteBlock(const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) PutByte(data[i]);
}

void OStream::Flush() {
    if (used_ > 0)
        write(buf_.data(), used_);
    used_ = 0;
}

void OStream::Finish() {
    Flush();
    commit();
}

long MemorySource::fill(uint8_t* dst, size_t capacity) {
    const size_t n = std::min(capacity, left_);
    if (n == 0)
        return 0;
    std::memcpy(dst, data_, n);
    data_ += n;
    left_ -= n;
    return long(n);
}

}  // namespace MiniJpeg
