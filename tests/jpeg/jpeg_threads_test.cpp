// Decoders and encoders on several threads at once share no state.

#include "jpeg_test_util.h"

#include <gtest/gtest.h>

#include <thread>

TEST(JpegThreads, ParallelCodecsGiveTheSingleThreadResults) {
    const jpegtest::Image src = jpegtest::MakePattern(96, 64, 3);
    const std::vector<uint8_t> jpeg = jpegtest::Encode(src, {});
    const jpegtest::Image expected = jpegtest::Decode(jpeg);

    constexpr int kThreads = 4;
    std::vector<int> good(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                const auto again = jpegtest::Encode(src, {});
                good[size_t(t)] +=
                    again == jpeg && jpegtest::Decode(again).pixels == expected.pixels;
            }
        });
    for (auto& th : threads) th.join();
    for (int g : good) EXPECT_EQ(g, 10);
}
