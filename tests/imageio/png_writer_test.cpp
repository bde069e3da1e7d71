// The fast PNG writer: its filter choice against a literal version of libpng's heuristic, and
// files that other readers decode to exactly the pixels and resolution written.

#include "imageio/png_writer.h"
#include "test_support.h"

#include <QBuffer>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace orm {
namespace {

// libpng's heuristic, literally: every filter of the row, the one with the smallest sum of
// |signed byte| wins, the first of equal ones.
std::vector<unsigned char> ReferenceFilter(const std::vector<unsigned char>& row,
                                           const std::vector<unsigned char>* above, int bpp) {
    const int n = int(row.size());
    std::vector<unsigned char> best;
    long bestSum = -1;
    for (int type = 0; type < 5; ++type) {
        std::vector<unsigned char> out(n + 1);
        out[0] = static_cast<unsigned char>(type);
        long sum = 0;
        for (int i = 0; i < n; ++i) {
            const int a = i >= bpp ? row[i - bpp] : 0;
            const int b = above ? (*above)[i] : 0;
            const int c = i >= bpp && above ? (*above)[i - bpp] : 0;
            int predicted = 0;
            switch (type) {
                case 1:
                    predicted = a;
                    break;
                case 2:
                    predicted = b;
                    break;
                case 3:
                    predicted = (a + b) / 2;
                    break;
                case 4: {
                    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
                              pc = std::abs(p - c);
                    predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                    break;
                }
                default:
                    break;
            }
            const auto v = static_cast<unsigned char>(row[i] - predicted);
            out[i + 1] = v;
            sum += v < 128 ? v : 256 - v;
        }
        if (bestSum < 0 || sum < bestSum) {
            bestSum = sum;
            best = out;
        }
    }
    return best;
}

TEST(PngWriter, FiltersAsLibpngsHeuristicChooses) {
    std::mt19937 rng(5);
    // Rows of few values, so that Paeth's distances tie often and every filter wins somewhere.
    int paethWins = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const int n = 3 + int(rng() % 70);
        const int spread = 1 + int(rng() % 6);
        const int base = rng() % 2 ? 0 : 250;
        std::vector<unsigned char> above(n), row(n);
        for (int i = 0; i < n; ++i) {
            above[i] = static_cast<unsigned char>(base + int(rng() % spread));
            row[i] = static_cast<unsigned char>(base + int(rng() % spread));
        }
        const int bpp = 3 + trial % 2;  // colour, colour with alpha
        std::vector<unsigned char> ours(n + 1);
        FilterPngRow(row.data(), above.data(), n, bpp, ours.data());
        const std::vector<unsigned char> expected = ReferenceFilter(row, &above, bpp);
        ASSERT_EQ(ours, expected) << "trial " << trial;
        paethWins += expected[0] == 4;
    }
    EXPECT_GT(paethWins, 100);
    // Smooth rows pick the prediction filters, noise picks None; short rows and lengths that are
    // not multiples of the vector width check the ends.
    for (int n : {3, 6, 15, 16, 17, 31, 48, 100, 301}) {
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<unsigned char> above(n), row(n);
            for (int i = 0; i < n; ++i) {
                const int base = kind == 0 ? int(rng() % 256) : (i * (kind + 1)) % 256;
                above[i] = static_cast<unsigned char>(base);
                row[i] = static_cast<unsigned char>(kind == 3 ? 255 - base : base + int(rng() % 5));
            }
            for (const std::vector<unsigned char>* a :
                 {static_cast<const std::vector<unsigned char>*>(nullptr),
                  static_cast<const std::vector<unsigned char>*>(&above)}) {
                std::vector<unsigned char> ours(n + 1);
                FilterPngRow(row.data(), a ? a->data() : nullptr, n, 3, ours.data());
                ASSERT_EQ(ours, ReferenceFilter(row, a, 3)) << "n " << n << " kind " << kind;
            }
        }
    }
}

// Smooth rows and noise; with alpha, noise in the alpha too.
QImage Noise(int w, int h, QImage::Format format, std::uint32_t seed) {
    std::mt19937 rng(seed);
    const bool alpha = format == QImage::Format_RGBA8888;
    QImage image(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y,
                           y % 3 == 0 ? qRgb(x * 3, y * 5, (x + y) * 2)
                                      : QRgb(rng()) | (alpha ? 0u : 0xFF000000u));
    return image.convertToFormat(format);
}

TEST(PngWriter, ReadersGetThePixelsAndTheResolution) {
    for (QImage::Format format : {QImage::Format_BGR888, QImage::Format_RGB888,
                                  QImage::Format_RGB32, QImage::Format_RGBA8888}) {
        for (QSize size : {QSize(1, 1), QSize(2, 3), QSize(17, 5), QSize(64, 33), QSize(301, 7)}) {
            QImage image =
                Noise(size.width(), size.height(), format, size.width() * 7 + size.height());
            image.setDotsPerMeterX(11811);  // 300 dpi
            image.setDotsPerMeterY(3937);   // 100 dpi
            ASSERT_TRUE(FastPngWriterTakes(format));
            const QByteArray png = EncodePng24(image);
            ASSERT_FALSE(png.isEmpty());
            QBuffer buffer(const_cast<QByteArray*>(&png));
            QImageReader reader(&buffer, "png");
            const QImage back = reader.read();
            ASSERT_FALSE(back.isNull()) << reader.errorString().toStdString();
            EXPECT_EQ(back.convertToFormat(QImage::Format_ARGB32),
                      image.convertToFormat(QImage::Format_ARGB32))
                << size.width() << "x" << size.height() << " format " << int(format);
            EXPECT_EQ(back.dotsPerMeterX(), 11811);
            EXPECT_EQ(back.dotsPerMeterY(), 3937);
        }
    }
    EXPECT_FALSE(FastPngWriterTakes(QImage::Format_ARGB32));
    EXPECT_FALSE(FastPngWriterTakes(QImage::Format_Indexed8));
}

TEST(PngWriter, AnIndependentReaderFindsNoFault) {
    // ImageMagick reads the file with its own PNG code and reports any chunk or CRC fault.
    if (QProcess::execute("identify", {"-version"}) != 0)
        GTEST_SKIP() << "ImageMagick's identify is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath("noise.png");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(EncodePng24(Noise(257, 129, QImage::Format_BGR888, 9)));
    file.close();
    QProcess identify;
    identify.start("identify", {"-regard-warnings", "-format", "%wx%h %[type]", path});
    ASSERT_TRUE(identify.waitForFinished());
    EXPECT_EQ(identify.exitCode(), 0) << identify.readAllStandardError().toStdString();
    EXPECT_EQ(identify.readAllStandardOutput(), "257x129 TrueColor");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(EncodePng24(Noise(131, 67, QImage::Format_RGBA8888, 4)));
    file.close();
    identify.start("identify", {"-regard-warnings", "-format", "%wx%h %[type]", path});
    ASSERT_TRUE(identify.waitForFinished());
    EXPECT_EQ(identify.exitCode(), 0) << identify.readAllStandardError().toStdString();
    EXPECT_EQ(identify.readAllStandardOutput(), "131x67 TrueColorAlpha");
}

}  // namespace
}  // namespace orm
