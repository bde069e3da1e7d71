#pragma once
// Byte streams of the JPEG codec.
//
// IStream is a buffered byte source: a subclass supplies bytes through fill(); the codec reads
// them one at a time or in blocks and may push up to four bytes back in front of the data it has
// just read. OStream is a buffered byte sink: a subclass receives the bytes through write() and a
// final commit() once the stream is complete.
//
// For in-memory work use the two ready-made classes:
//
//     MiniJpeg::MemorySource src(bytes.data(), bytes.size());   // bytes must outlive src
//     auto dec = MiniJpeg::CreateDecoder(src, &width, &height);   // src must outlive dec
//
//     MiniJpeg::MemorySink sink;
//     auto enc = MiniJpeg::CreateCoder(sink, params);             // sink must outlive enc
//     ... enc->WriteLine(...) height times ...
//     if (sink.committed()) use(sink.data());                     // complete JPEG stream
//
// A stream belongs to one thread at a time; streams share no state with each other.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace MiniJpeg {

class IStream {
  public:
    virtual ~IStream() = default;

    // The next byte; throws Error when no byte is left.
    uint8_t ReadByte() {
        if (pos_ == end_ && !refill())
            fail_end();
        return buf_[pos_++];
    }
    // The next byte in `out`, or false at the end of the data (never throws).
    bool TryReadByte(uint8_t& out) {
        if (pos_ == end_ && !refill())
            return false;
        out = buf_[pos_++];
        return true;
    }
    // Reads up to n bytes into dst; returns how many it got (fewer only at the end of the data).
    size_t Read(uint8_t* dst, size_t n);
    // Pushes one byte back in front of the read position; throws Error when there is no room.
    // Room for at least four bytes is always kept after any read.
    void Unread(uint8_t byte);

  protected:
    // Delivers up to `capacity` bytes into dst; returns how many, 0 or less at the end.
    virtual long fill(uint8_t* dst, size_t capacity) = 0;

  private:
    static constexpr size_t kBufferSize = 1024;
    static constexpr size_t kPushBackRoom = 4;

    bool refill();
    [[noreturn]] static void fail_end();

    std::array<uint8_t, kBufferSize> buf_{};
    size_t pos_ = kPushBackRoom;  // next byte to hand out
    size_t end_ = kPushBackRoom;  // one past the last valid byte
};

class OStream {
  public:
    virtual ~OStream() = default;

    void PutByte(uint8_t b) {
        if (used_ == buf_.size())
            Flush();
        buf_[used_++] = b;
    }
    void Put16(uint16_t v)  // big-endian
    {
        PutByte(uint8_t(v >> 8));
        PutByte(uint8_t(v & 0xFF));
    }
    void PutMarker(uint8_t code) {
        PutByte(0xFF);
        PutByte(code);
    }
    void WriteBlock(const uint8_t* data, size_t n);
    // Hands the buffered bytes to write() and empties the buffer.
    void Flush();
    // Flush, then commit(): the stream is complete.
    void Finish();

  protected:
    virtual void write(const uint8_t* data, size_t n) = 0;
    virtual void commit() = 0;

  private:
    std::array<uint8_t, 1024> buf_{};
    size_t used_ = 0;
};

// Serves a caller's byte buffer (not copied; it must outlive the source and every decoder on it).
class MemorySource : public IStream {
  public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), left_(data ? size : 0) {}

  protected:
    long fill(uint8_t* dst, size_t capacity) override;

  private:
    const uint8_t* data_;
    size_t left_;
};

// Collects the written bytes in memory. committed() tells whether the encoder completed the
// stream; data() is then one whole JPEG stream.
class MemorySink : public OStream {
  public:
    const std::vector<uint8_t>& data() const { return data_; }
    std::vector<uint8_t> take() { return std::move(data_); }
    bool committed() const { return committed_; }

  protected:
    void write(const uint8_t* data, size_t n) override {
        data_.insert(data_.end(), data, data + n);
    }
    void commit() override { committed_ = true; }

  private:
    std::vector<uint8_t> data_;
    bool committed_ = false;
};

}  // namespace MiniJpeg
