#pragma once
// Where the cells of a browser lie. The cell of one item is the thumbnail box scaled by the icon
// zoom plus a 6-pixel margin on each side and a 20-pixel name line: 232 x 197 at zoom 100,
// 157 x 141 at zoom 66. A grid fills rows of equal column slots across the view's width, each
// cell centred in its slot; a single row (the batch basket) puts every cell side by side.
//
// All rectangles are in content (scroll) coordinates.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace orm {

// The cell size at an icon zoom in percent.
QSize CellSizeForZoom(int zoom);

// The picture area of a cell: 6 pixels in on every side, 20 more at the bottom for the name.
QRect PictureArea(const QRect& cell);
// The name line: from 20 pixels above the cell's bottom, `lineHeight` high, 10 pixels in on
// either side.
QRect NameRect(const QRect& cell, int lineHeight);

enum class LayoutMode { Grid, SingleRow };

class ThumbsLayout {
  public:
    ThumbsLayout(LayoutMode mode, QSize cell, QSize client, int count);

    LayoutMode mode() const { return mode_; }
    QSize cell() const { return cell_; }
    int count() const { return count_; }

    // Columns of the grid (at least 1); a single row has as many columns as items (at least 1).
    int Columns() const;
    // Whole rows the client area shows (at least 1).
    int RowsPerPage() const;

    QPoint ItemPosition(int index) const;
    QRect ItemRect(int index) const { return {ItemPosition(index), cell_}; }
    // The item whose cell holds the point, or -1.
    int ItemAt(QPoint point) const;
    // The first and last item whose cells meet the rectangle; first > last when none does.
    std::pair<int, int> ItemsIn(const QRect& rect) const;

    // The size of the scrolled content: 1 x 1 while the client area is empty.
    QSize ScrollSize() const;

  private:
    // The width the column slots share. A client narrower than one cell still gets one whole
    // cell, at the left, so that scrolling shows all of it.
    int SlotsWidth() const;

    LayoutMode mode_;
    QSize cell_;
    QSize client_;
    int count_;
};

}  // namespace orm
