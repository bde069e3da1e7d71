// GIF output: exact palettes for pictures of 256 colours or fewer, and a quantiser that keeps
// the colours of a photo (neutral greys stay grey) for richer ones.

#include "imageio/gif_writer.h"
#include "imageio/gif_palette.h"
#include "imageio/image_loader.h"
#include "test_support.h"

#include <QImage>

#include <cmath>

namespace orm {
namespace {

QImage Decode(const QByteArray& gif) {
    QImage back = QImage::fromData(gif, "GIF");
    return back.convertToFormat(QImage::Format_RGB888);
}

double Psnr(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB888),
                 y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int i = 0; i < 3 * x.width(); ++i) {
            const double d = double(x.constScanLine(row)[i]) - double(y.constScanLine(row)[i]);
            sum += d * d;
        }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

TEST(GifWriter, FewColoursAreKeptExactly) {
    // Four colours, none of them on a quantiser's grid: each comes back as it was.
    const QRgb colours[] = {qRgb(100, 50, 60), qRgb(201, 7, 33), qRgb(13, 250, 129),
                            qRgb(255, 255, 254)};
    QImage img(37, 23, QImage::Format_BGR888);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, colours[(x / 5 + y / 3) % 4]);
    const QByteArray gif = EncodeGif(img);
    ASSERT_FALSE(gif.isEmpty());
    EXPECT_EQ(Decode(gif), img.convertToFormat(QImage::Format_RGB888));
    // A four-colour table is written as one of four entries.
    EXPECT_EQ(uchar(gif[10]) & 0x07, 1);

    // Exactly 256 colours still fit; 257 do not.
    QImage ramp(256, 2, QImage::Format_RGB888);
    for (int x = 0; x < 256; ++x) {
        ramp.setPixel(x, 0, qRgb(x, 255 - x, x / 2));
        ramp.setPixel(x, 1, qRgb(x, 255 - x, x / 2));
    }
    EXPECT_EQ(Decode(EncodeGif(ramp)), ramp);
    ASSERT_TRUE(ExactPalette(ramp));
    ramp.setPixel(0, 1, qRgb(1, 2, 3));
    EXPECT_FALSE(ExactPalette(ramp));

    // A palette image keeps its own table, in its order.
    QImage indexed(4, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(9, 9, 9), qRgb(200, 100, 0)});
    for (int x = 0; x < 4; ++x) indexed.setPixel(x, 0, uint(x % 2));
    const auto kept = ExactPalette(indexed);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->palette, (std::vector<PaletteColour>{{9, 9, 9}, {200, 100, 0}}));
    EXPECT_EQ(kept->indices, (std::vector<uint8_t>{0, 1, 0, 1}));
}

TEST(GifWriter, RichPicturesKeepNeutralGreysAndTheirColours) {
    // A colour field beside a grey ramp: far more than 256 colours. The greys must stay grey
    // (a per-channel median cut turns dark greys red-brown and light ones cream).
    QImage img(256, 128, QImage::Format_RGB888);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, y < 64 ? qRgb(x, (y * 4) & 255, (x + y * 3) & 255) : qRgb(x, x, x));
    const QImage back = Decode(EncodeGif(img));
    ASSERT_EQ(back.size(), img.size());
    int worstCast = 0;
    double castSum = 0;
    for (int y = 64; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = back.pixel(x, y);
            const int cast =
                std::max({std::abs(qRed(p) - qGreen(p)), std::abs(qGreen(p) - qBlue(p)),
                          std::abs(qRed(p) - qBlue(p))});
            worstCast = std::max(worstCast, cast);
            castSum += cast;
        }
    EXPECT_LE(worstCast, 4);
    EXPECT_LT(castSum / (64.0 * img.width()), 1.0);
    EXPECT_GT(Psnr(img, back), 30);
}

TEST(GifWriter, CameraPhotosStayCloseToTheir24BitPixels) {
    ORM_REQUIRE_CORPUS();
    for (const char* name :
         {"exiforg-nikon-e950.jpg", "exiforg-ricoh-rdc5300.jpg", "exiforg-fujifilm-mx1700.jpg"}) {
        const auto photo = LoadSourceImage(test::CorpusFile(name));
        ASSERT_TRUE(photo) << name;
        const QImage back = Decode(EncodeGif(photo->image));
        ASSERT_EQ(back.size(), photo->image.size()) << name;
        // giflib's median cut gave 23 to 27 dB here.
        EXPECT_GT(Psnr(photo->image, back), 33) << name;
    }
}

}  // namespace
}  // namespace orm
