// The 1/8 decode from DC coefficients against libjpeg's own 1/8 decode (djpeg -scale 1/8): the
// same pixels for grey, 4:4:4 and 4:2:2 files, with and without restart markers, close ones for
// the 4:2:0 files of the corpus; what it leaves to the ordinary decode, and damaged scans (the
// fuzz target tries arbitrary damage).

#include "test_support.h"

#include "thumbnails/jpeg_eighth_decoder.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>

namespace orm {
namespace {

bool HaveTools() {
    return !QStandardPaths::findExecutable(QStringLiteral("cjpeg")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("djpeg")).isEmpty();
}

#define REQUIRE_TOOLS()                                                            \
    do {                                                                           \
        if (!HaveTools())                                                          \
            GTEST_SKIP() << "cjpeg/djpeg (libjpeg-turbo-progs) are not installed"; \
    } while (0)

// What the program writes on its standard output for `input`; empty when it fails.
QByteArray Run(const QString& program, const QStringList& args, const QByteArray& input) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    // Exit code 2: done, with warnings (stray bytes between segments).
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit ||
        (p.exitCode() != 0 && p.exitCode() != 2))
        return {};
    return p.readAllStandardOutput();
}

// Gradients with noise: every block has its own DC and plenty of AC codes of every length.
QImage NoisyPattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int noise = int((seed >> 16) % 61) - 30;
            uchar* p = image.scanLine(y) + 3 * x;
            p[0] = uchar(std::clamp(x * 255 / std::max(1, width - 1) + noise, 0, 255));
            p[1] = uchar(std::clamp(y * 255 / std::max(1, height - 1) - noise, 0, 255));
            p[2] = uchar(std::clamp(((x / 16 + y / 16) % 2) * 200 + noise, 0, 255));
        }
    return image;
}

QByteArray Ppm(const QImage& rgb888) {
    QByteArray out = QByteArrayLiteral("P6\n") + QByteArray::number(rgb888.width()) + ' ' +
                     QByteArray::number(rgb888.height()) + "\n255\n";
    for (int y = 0; y < rgb888.height(); ++y)
        out.append(reinterpret_cast<const char*>(rgb888.constScanLine(y)), rgb888.width() * 3);
    return out;
}

QByteArray Cjpeg(const QImage& image, const QStringList& options) {
    return Run(QStringLiteral("cjpeg"), QStringList{"-quality", "85"} + options, Ppm(image));
}

// libjpeg's 1/8 decode as 24-bit pixels.
QImage DjpegEighth(const QByteArray& jpeg) {
    const QByteArray pnm = Run(QStringLiteral("djpeg"), {"-scale", "1/8", "-pnm"}, jpeg);
    return QImage::fromData(pnm).convertToFormat(QImage::Format_BGR888);
}

EighthDecode Decode(QByteArray& bytes, EighthImage& out) {
    return DecodeJpegEighth(
        std::span<uint8_t>(reinterpret_cast<uint8_t*>(bytes.data()), size_t(bytes.size())), out,
        [](int, int) { return true; });
}

QImage ToImage(const EighthImage& e) {
    QImage image(e.width, e.height, QImage::Format_BGR888);
    for (int y = 0; y < e.height; ++y)
        std::memcpy(image.scanLine(y), e.bgr.data() + size_t(y) * size_t(e.width) * 3,
                    size_t(e.width) * 3);
    return image;
}

// Decodes a copy of `jpeg` and compares it with djpeg's: the largest and the mean difference
// of a sample.
struct Comparison {
    bool decoded = false;
    bool sameSize = false;
    int largest = 0;
    double mean = 0;
};
Comparison CompareWithLibjpeg(const QByteArray& jpeg) {
    Comparison c;
    QByteArray copy = jpeg;
    EighthImage ours;
    c.decoded = Decode(copy, ours) == EighthDecode::Decoded;
    const QImage reference = DjpegEighth(jpeg);
    if (!c.decoded || reference.isNull())
        return c;
    const QImage mine = ToImage(ours);
    c.sameSize = mine.size() == reference.size();
    if (!c.sameSize)
        return c;
    int64_t sum = 0;
    for (int y = 0; y < mine.height(); ++y)
        for (int x = 0; x < mine.width() * 3; ++x) {
            const int d =
                std::abs(int(mine.constScanLine(y)[x]) - int(reference.constScanLine(y)[x]));
            c.largest = std::max(c.largest, d);
            sum += d;
        }
    c.mean = double(sum) / double(mine.width() * mine.height() * 3);
    return c;
}

TEST(JpegEighthDecoder, GreyAnd444And422GiveLibjpegsPixelsWithAndWithoutRestarts) {
    REQUIRE_TOOLS();
    const QStringList samplings[] = {{"-grayscale"}, {"-sample", "1x1"}, {"-sample", "2x1"}};
    const QStringList restarts[] = {{}, {"-restart", "3B"}, {"-restart", "1"}};
    for (const QSize size : {QSize(203, 157), QSize(9, 17), QSize(8, 8)})
        for (const QStringList& sampling : samplings)
            for (const QStringList& restart : restarts) {
                SCOPED_TRACE((QString("%1x%2 ").arg(size.width()).arg(size.height()) +
                              (sampling + restart).join(' '))
                                 .toStdString());
                const QByteArray jpeg =
                    Cjpeg(NoisyPattern(size.width(), size.height()), sampling + restart);
                ASSERT_FALSE(jpeg.isEmpty());
                const Comparison c = CompareWithLibjpeg(jpeg);
                ASSERT_TRUE(c.decoded);
                ASSERT_TRUE(c.sameSize);
                EXPECT_EQ(c.largest, 0);
            }
}

TEST(JpegEighthDecoder, LeavesOtherJpegsUntouchedToTheOrdinaryDecode) {
    REQUIRE_TOOLS();
    const QImage image = NoisyPattern(64, 48);
    for (const QStringList& options :
         {QStringList{"-progressive"}, QStringList{"-arithmetic"}, QStringList{}}) {
        SCOPED_TRACE(options.join(' ').toStdString());
        const QByteArray jpeg = Cjpeg(image, options);
        ASSERT_FALSE(jpeg.isEmpty());
        QByteArray copy = jpeg;
        EighthImage out;
        // The plain file is refused by the size check, the others by their coding.
        const EighthDecode result = DecodeJpegEighth(
            std::span<uint8_t>(reinterpret_cast<uint8_t*>(copy.data()), size_t(copy.size())), out,
            [&](int w, int h) { return !options.isEmpty() && w == 64 && h == 48; });
        EXPECT_EQ(result, EighthDecode::NotHandled);
        EXPECT_EQ(copy, jpeg);
    }
    QByteArray notJpeg = QByteArrayLiteral("\x89PNG\r\n\x1a\n");
    EighthImage out;
    EXPECT_EQ(Decode(notJpeg, out), EighthDecode::NotHandled);
}

TEST(JpegEighthDecoder, ScansThatEndEarlyOrLoseTheirRestartMarkersFail) {
    REQUIRE_TOOLS();
    const QByteArray jpeg = Cjpeg(NoisyPattern(160, 120), {"-sample", "2x2", "-restart", "1"});
    EighthImage out;
    QByteArray cut = jpeg.left(jpeg.size() * 2 / 3);
    EXPECT_EQ(Decode(cut, out), EighthDecode::Failed);

    QByteArray withoutRestarts;
    for (qsizetype i = 0; i < jpeg.size(); ++i) {
        if (uchar(jpeg[i]) == 0xFF && i + 1 < jpeg.size() && (uchar(jpeg[i + 1]) & 0xF8) == 0xD0) {
            ++i;
            continue;
        }
        withoutRestarts.append(jpeg[i]);
    }
    EXPECT_EQ(Decode(withoutRestarts, out), EighthDecode::Failed);
}

TEST(JpegEighthDecoder, CorpusJpegsDecodeAsLibjpegDoes) {
    ORM_REQUIRE_CORPUS();
    REQUIRE_TOOLS();
    int decoded = 0;
    for (const QFileInfo& f : QDir(test::CorpusFile("")).entryInfoList({"*.jpg", "*.JPG"})) {
        SCOPED_TRACE(f.fileName().toStdString());
        const QByteArray jpeg = test::ReadAll(f.filePath());
        const Comparison c = CompareWithLibjpeg(jpeg);
        if (!c.decoded)
            continue;  // progressive, arithmetic, CMYK, 12-bit, cut off
        ++decoded;
        EXPECT_TRUE(c.sameSize);
        EXPECT_LT(c.mean, 8.0);  // exact but for 4:2:0 chroma
    }
    EXPECT_GT(decoded, 20);
}

}  // namespace
}  // namespace orm
