// Drawing cells: the colours of the default scheme for selected and unselected cells, cut files,
// the picture's place at both zooms, the placeholder, and frames made once per cell size.

#include "browser/thumb_cell_painter.h"
#include "browser/thumbs_layout.h"
#include "thumbnails/thumbnail_codec.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace orm {
namespace {

bool Near(QRgb pixel, const QColor& colour, int tolerance = 2) {
    return std::abs(qRed(pixel) - colour.red()) <= tolerance &&
           std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

// Pixels of the rectangle that are close to the colour.
int CountNear(const QImage& image, const QRect& rect, const QColor& colour, int tolerance) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            n += Near(image.pixel(x, y), colour, tolerance);
    return n;
}

ThumbnailPtr SolidThumbnail(QColor colour, int width = 220, int height = 110) {
    auto thumb = std::make_shared<CPaletteItemImg>();
    thumb->thumbWidth = width;
    thumb->thumbHeight = height;
    thumb->picture = QImage(width, height, QImage::Format_BGR888);
    thumb->picture.fill(colour);
    return thumb;
}

class CellPainterTest : public ::testing::Test {
  protected:
    QImage Draw(const ThumbnailPtr& thumb, const CellState& state, const QString& name) {
        const QSize size = CellSizeForZoom(state.zoom);
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter p(&image);
        const QRect cell(QPoint(0, 0), size);
        painter.DrawCell(p, cell, cell, thumb, state, colours, frames);
        painter.DrawName(p, cell, name, state.selected, colours, scroll);
        return image;
    }

    ColourScheme colours;
    CellFrameCache frames;
    ThumbCellPainter painter;
    NameScroll scroll;
};

TEST_F(CellPainterTest, SelectedCellsHaveAnOrangeBandAndARedName) {
    for (bool selected : {false, true}) {
        CellState state;
        state.selected = selected;
        state.fileName = QStringLiteral("HHHHHHHH.jpg");
        const QImage image = Draw(SolidThumbnail(Qt::green), state, state.fileName);
        const QColor band = selected ? colours.selectedBorder : colours.border;
        const QColor text = selected ? colours.selectedText : colours.text;
        // The band left of the picture area, the strip under it, the corner outside the band.
        EXPECT_TRUE(Near(image.pixel(4, 100), band)) << selected;
        EXPECT_TRUE(Near(image.pixel(12, 197 - 6), band)) << selected;
        EXPECT_TRUE(Near(image.pixel(0, 0), colours.background)) << selected;
        // The picture area around the picture, and the picture with its black frame.
        EXPECT_TRUE(Near(image.pixel(116, 10), colours.backgroundInFrame)) << selected;
        EXPECT_TRUE(Near(image.pixel(116, 88), QColor(Qt::green))) << selected;
        EXPECT_TRUE(Near(image.pixel(6, 88), QColor(Qt::black))) << selected;
        // Written in the name's colour on the band.
        const QRect name = NameRect(QRect(0, 0, 232, 197), painter.NameLineHeight());
        EXPECT_GT(CountNear(image, name, text, 40), 10) << selected;
        EXPECT_FALSE(scroll.scrolls);
        // Nothing left unpainted.
        EXPECT_EQ(CountNear(image, image.rect(), QColor(Qt::magenta), 0), 0) << selected;
    }
}

TEST_F(CellPainterTest, CutFilesDrawGreyAndHalfTransparentOnGrey) {
    const QImage cut = CutPicture(SolidThumbnail(QColor(200, 100, 0))->picture);
    EXPECT_EQ(qRed(cut.pixel(0, 0)), 90);
    EXPECT_EQ(qGreen(cut.pixel(0, 0)), 90);
    EXPECT_EQ(qAlpha(cut.pixel(0, 0)), 127);
    EXPECT_EQ(qRed(CutPicture(SolidThumbnail(Qt::white)->picture).pixel(0, 0)), 229);

    CellState state;
    state.cut = true;
    const QImage image = Draw(SolidThumbnail(QColor(200, 100, 0)), state, QStringLiteral("a.jpg"));
    EXPECT_TRUE(Near(image.pixel(116, 10), colours.backgroundInFrameCut));
    // Half of grey 90 over grey 128.
    EXPECT_TRUE(Near(image.pixel(116, 88), QColor(109, 109, 109), 3))
        << std::hex << image.pixel(116, 88);
}

TEST_F(CellPainterTest, PictureIsScaledWithTheZoomAndCentred) {
    const QRect area = PictureArea(QRect(QPoint(0, 0), CellSizeForZoom(66)));
    EXPECT_EQ(area.size(), QSize(145, 109));
    EXPECT_EQ(PictureRect(area, {220, 22}, 66), QRect(6, 6 + 47, 145, 15));
    EXPECT_EQ(PictureRect(area, {110, 165}, 66), QRect(6 + 36, 6, 73, 109));

    CellState state;
    state.zoom = 66;
    const QImage image = Draw(SolidThumbnail(Qt::blue, 220, 22), state, QStringLiteral("a.jpg"));
    EXPECT_TRUE(Near(image.pixel(78, 60), QColor(Qt::blue)));
    EXPECT_TRUE(Near(image.pixel(78, 40), colours.backgroundInFrame));
}

TEST_F(CellPainterTest, PlaceholderOnlyFromZoomTwenty) {
    for (int zoom : {19, 20}) {
        CellState state;
        state.zoom = zoom;
        const QImage image = Draw(nullptr, state, QStringLiteral("photo.jpg"));
        const QRect area = PictureArea(QRect(QPoint(0, 0), CellSizeForZoom(zoom)));
        const int plain = CountNear(image, area, colours.backgroundInFrame, 0);
        if (zoom == 19)
            EXPECT_EQ(plain, area.width() * area.height());
        else
            EXPECT_LT(plain, area.width() * area.height() - 300);  // a 32 x 32 icon
    }
}

TEST_F(CellPainterTest, FramesAreMadeOncePerCellSize) {
    const QSize large = CellSizeForZoom(100), small = CellSizeForZoom(66);
    for (bool selected : {false, true, false}) frames.Frame(large, selected, colours);
    EXPECT_EQ(frames.Builds(), 1);
    frames.Frame(small, true, colours);
    frames.Frame(small, false, colours);
    EXPECT_EQ(frames.Builds(), 2);
    EXPECT_EQ(frames.Frame(small, false, colours).size(), small);
    ColourScheme other = colours;
    other.border = Qt::darkGreen;
    EXPECT_TRUE(Near(frames.Frame(small, false, other).pixel(4, 60), QColor(Qt::darkGreen)));
    EXPECT_EQ(frames.Builds(), 3);
}

TEST_F(CellPainterTest, ScaledDesktopGetsFramesAndThumbnailsAtDevicePixels) {
    // Interface scaled by 2: the frame holds the cell's device pixels.
    const QSize large = CellSizeForZoom(100);
    const QImage& frame = frames.Frame(large, false, colours, 2.0);
    EXPECT_EQ(frame.size(), large * 2);
    EXPECT_EQ(frame.devicePixelRatio(), 2.0);
    EXPECT_TRUE(Near(frame.pixel(8, 200), colours.border));
    EXPECT_TRUE(Near(frame.pixel(0, 0), colours.background));
    EXPECT_EQ(frames.Frame(large, false, colours, 1.0).size(), large) << "another screen";

    // At zoom 50 the thumbnail's pixels meet the device pixels one to one: one-pixel stripes
    // come through unblurred, not enlarged from a logical-size copy.
    auto stripes = std::make_shared<CPaletteItemImg>(*SolidThumbnail(Qt::white));
    for (int y = 0; y < stripes->picture.height(); ++y)
        for (int x = 0; x < stripes->picture.width(); x += 2)
            stripes->picture.setPixelColor(x, y, (x / 2 + y) % 2 ? Qt::black : Qt::red);
    const ThumbnailPtr thumb = stripes;
    CellState state;
    state.zoom = 50;
    const QSize size = CellSizeForZoom(state.zoom);
    QImage screen(size * 2, QImage::Format_RGB32);
    screen.setDevicePixelRatio(2.0);
    screen.fill(Qt::magenta);
    {
        QPainter p(&screen);
        const QRect cell(QPoint(0, 0), size);
        painter.DrawCell(p, cell, cell, thumb, state, colours, frames);
    }
    const QRect logical = PictureRect(PictureArea(QRect(QPoint(0, 0), size)), QSize(220, 110), 50);
    const QPoint at = logical.topLeft() * 2;
    ASSERT_EQ(logical.size() * 2, thumb->picture.size());
    // The black frame line lies on the outermost device pixels.
    for (int y = 2; y < 108; ++y)
        for (int x = 2; x < 218; ++x)
            ASSERT_EQ(screen.pixel(at + QPoint(x, y)), thumb->picture.pixel(x, y)) << x << "," << y;
}

}  // namespace
}  // namespace orm
