// Byte streams: refills, push-back room, memory source and sink.

#include "jpeg_test_util.h"

#include <gtest/gtest.h>

using namespace MiniJpeg;

namespace {

// Delivers at most `chunk` bytes per fill, so every refill boundary is exercised.
class TrickleSource : public IStream {
  public:
    TrickleSource(const std::vector<uint8_t>& data, size_t chunk) : data_(data), chunk_(chunk) {}

  protected:
    long fill(uint8_t* dst, size_t capacity) override {
        const size_t n = std::min({capacity, chunk_, data_.size() - pos_});
        std::copy_n(data_.begin() + long(pos_), n, dst);
        pos_ += n;
        return long(n);
    }

  private:
    const std::vector<uint8_t>& data_;
    size_t chunk_;
    size_t pos_ = 0;
};

std::vector<uint8_t> Sequence(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 7 + 3);
    return v;
}

}  // namespace

TEST(JpegStream, ReadsAcrossRefillsAndStopsAtTheEnd) {
    const std::vector<uint8_t> data = Sequence(3000);
    MemorySource src(data.data(), data.size());
    std::vector<uint8_t> got(5000);
    EXPECT_EQ(src.Read(got.data(), 10), 10u);
    EXPECT_EQ(src.ReadByte(), data[10]);
    EXPECT_EQ(src.Read(got.data() + 11, 4000), 2989u);
    got[10] = data[10];
    got.resize(3000);
    EXPECT_EQ(got, data);
    uint8_t b = 0;
    EXPECT_FALSE(src.TryReadByte(b));
    EXPECT_THROW(src.ReadByte(), Error);
}

TEST(JpegStream, PushBackHasRoomForFourBytesAfterARefill) {
    const std::vector<uint8_t> data = Sequence(10);
    TrickleSource src(data, 1);  // every byte is a refill
    EXPECT_EQ(src.ReadByte(), data[0]);
    EXPECT_EQ(src.ReadByte(), data[1]);
    // The previous buffer is gone, yet four bytes fit in front of the fresh one.
    src.Unread(0xA1);
    src.Unread(0xA2);
    src.Unread(0xA3);
    src.Unread(0xA4);
    src.Unread(0xA5);  // the fifth still fits: one byte was read behind the room
    EXPECT_THROW(src.Unread(0xA6), Error);
    EXPECT_EQ(src.ReadByte(), 0xA5);
    EXPECT_EQ(src.ReadByte(), 0xA4);
    EXPECT_EQ(src.ReadByte(), 0xA3);
    EXPECT_EQ(src.ReadByte(), 0xA2);
    EXPECT_EQ(src.ReadByte(), 0xA1);
    EXPECT_EQ(src.ReadByte(), data[2]);
}

TEST(JpegStream, DecodingDoesNotDependOnHowTheSourceDeliversBytes) {
    // Markers and their push-back fall on every refill boundary with one-byte deliveries.
    const jpegtest::Image img = jpegtest::MakePattern(45, 37, 3);
    const std::vector<uint8_t> jpeg = jpegtest::Encode(img, {});
    const jpegtest::Image whole = jpegtest::Decode(jpeg);
    for (size_t chunk : {size_t(1), size_t(3), size_t(1020)}) {
        TrickleSource src(jpeg, chunk);
        auto dec = CreateDecoder(src);
        std::vector<uint8_t> pixels;
        for (int y = 0; y < 37; ++y) {
            const uint8_t* line = dec->ReadLine();
            pixels.insert(pixels.end(), line, line + 45 * 3);
        }
        EXPECT_EQ(pixels, whole.pixels) << "chunk " << chunk;
    }
}

TEST(JpegStream, SinkCommitsOnlyWhenTheLastLineIsWritten) {
    const jpegtest::Image img = jpegtest::MakePattern(20, 3, 1);
    MemorySink sink;
    CoderParams p;
    p.width = 20;
    p.height = 3;
    p.colour = false;
    auto coder = CreateCoder(sink, p);
    coder->WriteLine(img.row(0));
    coder->WriteLine(img.row(1));
    EXPECT_FALSE(sink.committed());
    coder->WriteLine(img.row(2));
    ASSERT_TRUE(sink.committed());
    const auto& d = sink.data();
    ASSERT_GE(d.size(), 4u);
    EXPECT_EQ(d[d.size() - 2], 0xFF);
    EXPECT_EQ(d[d.size() - 1], 0xD9);
    EXPECT_THROW(coder->WriteLine(img.row(0)), Error);
}
