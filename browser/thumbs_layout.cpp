#include "browser/thumbs_layout.h"

#include "thumbnails/palette_item.h"

#include <algorithm>

namespace orm {

namespace {

// Rounds half up as the cell arithmetic does (add 0.5, truncate).
int ScaleHalfUp(int length, int zoom) {
    return int(double(length) * zoom / 100.0 + 0.5);
}

constexpr int kCellMargin = 6;
constexpr int kNameLine = 20;
constexpr int kNameInset = 10;

}  // namespace

QSize CellSizeForZoom(int zoom) {
    return {ScaleHalfUp(kThumbBoxWidth, zoom) + 2 * kCellMargin,
            ScaleHalfUp(kThumbBoxHeight, zoom) + kNameLine + 2 * kCellMargin};
}

QRect PictureArea(const QRect& cell) {
    return QRect(QPoint(cell.left() + kCellMargin, cell.top() + kCellMargin),
                 QPoint(cell.left() + cell.width() - kCellMargin - 1,
                        cell.top() + cell.height() - kCellMargin - kNameLine - 1));
}

QRect NameRect(const QRect& cell, int lineHeight) {
    return QRect(cell.left() + kNameInset, cell.top() + cell.height() - kNameLine,
                 cell.width() - 2 * kNameInset, lineHeight);
}

ThumbsLayout::ThumbsLayout(LayoutMode mode, QSize cell, QSize client, int count)
    : mode_(mode), cell_(cell.expandedTo({1, 1})), client_(client), count_(std::max(0, count)) {}

int ThumbsLayout::Columns() const {
    if (mode_ == LayoutMode::SingleRow)
        return std::max(1, count_);
    return std::max(1, client_.width() / cell_.width());
}

int ThumbsLayout::RowsPerPage() const {
    return std::max(1, client_.height() / cell_.height());
}

int ThumbsLayout::SlotsWidth() const {
    return std::max(client_.width(), cell_.width());
}

QPoint ThumbsLayout::ItemPosition(int index) const {
    if (mode_ == LayoutMode::SingleRow)
        return {index * cell_.width(), 0};
    const int n = Columns();
    const int row = index / n;
    const int column = index % n;
    const int w = SlotsWidth();
    return {column * w / n + (w / n - cell_.width()) / 2, row * cell_.height()};
}

int ThumbsLayout::ItemAt(QPoint point) const {
    if (point.x() < 0 || point.y() < 0 || count_ == 0)
        return -1;
    int index = 0;
    if (mode_ == LayoutMode::SingleRow) {
        if (point.y() >= cell_.height())
            return -1;
        index = point.x() / cell_.width();
    } else {
        const int n = Columns();
        const int w = SlotsWidth();
        const int column = std::min(n - 1, int(int64_t(point.x()) * n / w));
        index = (point.y() / cell_.height()) * n + column;
    }
    if (index >= count_ || !ItemRect(index).contains(point))
        return -1;
    return index;
}

std::pair<int, int> ThumbsLayout::ItemsIn(const QRect& rect) const {
    if (count_ == 0 || rect.isEmpty())
        return {0, -1};
    int first = 0;
    int last = count_ - 1;
    if (mode_ == LayoutMode::SingleRow) {
        if (rect.bottom() < 0 || rect.top() >= cell_.height())
            return {0, -1};
        first = std::max(0, rect.left() / cell_.width());
        last = std::min(last, std::max(0, rect.right()) / cell_.width());
    } else {
        const int n = Columns();
        const int topRow = std::max(0, rect.top()) / cell_.height();
        const int bottomRow = std::max(0, rect.bottom()) / cell_.height();
        if (rect.bottom() < 0)
            return {0, -1};
        first = topRow * n;
        last = std::min(last, bottomRow * n + n - 1);
    }
    // Cells of the rows met that lie beside the rectangle.
    while (first <= last && !ItemRect(first).intersects(rect)) ++first;
    while (last >= first && !ItemRect(last).intersects(rect)) --last;
    return {first, last};
}

QSize ThumbsLayout::ScrollSize() const {
    if (client_.isEmpty())
        return {1, 1};
    if (mode_ == LayoutMode::SingleRow)
        return {std::max(1, count_ * cell_.width()), cell_.height() + 1};
    const int n = Columns();
    const int rows = std::max(1, (count_ + n - 1) / n);
    return {n * cell_.width(), rows * cell_.height()};
}

}  // namespace orm
