#include "browser/thumb_cell_painter.h"

#include "browser/thumbs_layout.h"
#include "thumbnails/thumbnail_codec.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace orm {

namespace {

constexpr int kMaxDecoded = 400;  // decoded pictures kept: a few screens of cells
constexpr int kMinPlaceholderZoom = 20;

int ScaleHalfUp(int length, int zoom) {
    return int(double(length) * zoom / 100.0 + 0.5);
}

// A page with a folded corner and a band across it where the extension is written.
const QImage& GenericFileIcon() {
    static const QImage icon = [] {
        QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath page;
        page.moveTo(5.5, 1.5);
        page.lineTo(20.5, 1.5);
        page.lineTo(27.5, 8.5);
        page.lineTo(27.5, 30.5);
        page.lineTo(5.5, 30.5);
        page.closeSubpath();
        p.setPen(QPen(QColor(96, 96, 96), 1));
        p.setBrush(Qt::white);
        p.drawPath(page);
        QPainterPath fold;
        fold.moveTo(20.5, 1.5);
        fold.lineTo(20.5, 8.5);
        fold.lineTo(27.5, 8.5);
        p.setBrush(QColor(220, 220, 220));
        p.drawPath(fold);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(70, 110, 180));
        p.drawRect(QRect(2, 10, 24, 9));
        return image;
    }();
    return icon;
}

// A loudspeaker with two sound arcs, drawn at the requested size.
QImage SoundIcon(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size.width() / 32.0, size.height() / 32.0);
    QPainterPath speaker;
    speaker.moveTo(4, 12);
    speaker.lineTo(10, 12);
    speaker.lineTo(17, 5);
    speaker.lineTo(17, 27);
    speaker.lineTo(10, 20);
    speaker.lineTo(4, 20);
    speaker.closeSubpath();
    p.setPen(QPen(QColor(40, 40, 40), 1.2));
    p.setBrush(QColor(90, 90, 90));
    p.drawPath(speaker);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.drawArc(QRectF(13, 10, 10, 12), -60 * 16, 120 * 16);
    p.drawArc(QRectF(13, 5, 16, 22), -60 * 16, 120 * 16);
    return image;
}

}  // namespace

QRect PictureRect(const QRect& pictureArea, QSize thumbSize, int zoom) {
    const int w = ScaleHalfUp(thumbSize.width(), zoom);
    const int h = ScaleHalfUp(thumbSize.height(), zoom);
    return {pictureArea.left() + (pictureArea.width() - w) / 2,
            pictureArea.top() + (pictureArea.height() - h) / 2, w, h};
}

QImage MakeCellFrame(QSize cell, bool selected, const ColourScheme& colours, qreal scale) {
    QImage frame(std::max(1, qRound(cell.width() * scale)),
                 std::max(1, qRound(cell.height() * scale)), QImage::Format_RGB32);
    frame.setDevicePixelRatio(scale);
    frame.fill(colours.background);
    QPainter p(&frame);
    const QRect full(QPoint(0, 0), cell);
    p.setClipRegion(QRegion(full).subtracted(PictureArea(full)));
    const QColor band = selected ? colours.selectedBorder : colours.border;
    const int w = cell.width();
    const int h = cell.height();
    p.fillRect(QRect(13, 13, w - 26, h - 26), band);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(band, 12, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(8, 8, w - 16, h - 16));
    return frame;
}

QImage CutPicture(const QImage& picture) {
    QImage source = picture.convertToFormat(QImage::Format_ARGB32);
    QImage out(source.size(), QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        QRgb* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const QRgb c = in[x];
            const int grey = std::min(255, int(0.3 * (qRed(c) + qGreen(c) + qBlue(c))));
            o[x] = qRgba(grey, grey, grey, qAlpha(c) / 2);
        }
    }
    return out;
}

const QImage& CellFrameCache::Frame(QSize cell, bool selected, const ColourScheme& colours,
                                    qreal scale) {
    if (cell != size_ || scale != scale_ || !(colours == colours_) || normal_.isNull()) {
        normal_ = MakeCellFrame(cell, false, colours, scale);
        selected_ = MakeCellFrame(cell, true, colours, scale);
        size_ = cell;
        scale_ = scale;
        colours_ = colours;
        ++builds_;
    }
    return selected ? selected_ : normal_;
}

QFont ThumbCellPainter::NameFont() const {
    if (lineHeight_ == 0) {
        nameFont_ = QGuiApplication::font();
        nameFont_.setPointSize(8);
        lineHeight_ = QFontMetrics(nameFont_).height();
    }
    return nameFont_;
}

int ThumbCellPainter::NameLineHeight() const {
    NameFont();
    return lineHeight_;
}

ThumbCellPainter::Decoded& ThumbCellPainter::DecodedFor(const ThumbnailPtr& thumb) {
    auto it = decoded_.find(thumb.get());
    if (it == decoded_.end()) {
        if (decoded_.size() >= kMaxDecoded) {
            // Forget the older half.
            std::vector<uint64_t> uses;
            uses.reserve(size_t(decoded_.size()));
            for (const Decoded& d : decoded_) uses.push_back(d.used);
            std::nth_element(uses.begin(), uses.begin() + uses.size() / 2, uses.end());
            const uint64_t cut = uses[uses.size() / 2];
            decoded_.removeIf([cut](const auto& entry) { return entry.value().used < cut; });
        }
        it = decoded_.insert(thumb.get(), Decoded{thumb, Decompress(*thumb), {}, 0});
    }
    it->used = ++tick_;
    return *it;
}

QImage ThumbCellPainter::Picture(const ThumbnailPtr& thumb) {
    if (!thumb || !thumb->HasData())
        return {};
    return DecodedFor(thumb).picture;
}

void ThumbCellPainter::DrawCell(QPainter& painter, const QRect& cell, const QRect& clip,
                                const ThumbnailPtr& thumb, const CellState& state,
                                const ColourScheme& colours, CellFrameCache& frames) {
    if (!cell.intersects(clip))
        return;
    // The frame first (it holds the background of the picture area, which is filled next), so
    // that nothing is drawn twice over the picture.
    // Frames and pictures go to the screen's device pixels, not through a logical-size copy.
    const qreal scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    painter.drawImage(cell.topLeft(), frames.Frame(cell.size(), state.selected, colours, scale));

    const QRect area = PictureArea(cell);
    if (area.intersects(clip)) {
        painter.fillRect(area,
                         state.cut ? colours.backgroundInFrameCut : colours.backgroundInFrame);
        Decoded* decoded = thumb && thumb->HasData() ? &DecodedFor(thumb) : nullptr;
        if (decoded && !decoded->picture.isNull()) {
            const QRect picture =
                PictureRect(area, QSize(thumb->thumbWidth, thumb->thumbHeight), state.zoom);
            if (state.cut && decoded->cutPicture.isNull())
                decoded->cutPicture = CutPicture(decoded->picture);
            painter.save();
            const QSize device(qRound(picture.width() * scale), qRound(picture.height() * scale));
            painter.setRenderHint(QPainter::SmoothPixmapTransform,
                                  device != decoded->picture.size());
            painter.drawImage(picture, state.cut ? decoded->cutPicture : decoded->picture);
            painter.setPen(QPen(Qt::black, 0));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(picture.adjusted(0, 0, -1, -1));
            painter.restore();
        } else {
            DrawPlaceholder(painter, area, state.fileName, state.zoom);
        }
    }
}

void ThumbCellPainter::DrawName(QPainter& painter, const QRect& cell, const QString& name,
                                bool selected, const ColourScheme& colours, NameScroll& scroll) {
    const QFont font = NameFont();
    const QFontMetrics metrics(font);
    const QRect rect = NameRect(cell, lineHeight_);
    scroll.rect = rect;
    scroll.textWidth = metrics.horizontalAdvance(name);
    painter.save();
    painter.setFont(font);
    painter.setPen(selected ? colours.selectedText : colours.text);
    painter.setClipRect(rect, Qt::IntersectClip);
    if (scroll.textWidth < rect.width() - 3) {
        scroll.scrolls = false;
        painter.drawText(rect, Qt::AlignHCenter | Qt::AlignTop, name);
    } else {
        scroll.scrolls = true;
        if (selected) {
            painter.drawText(
                QRect(rect.left() - scroll.offset, rect.top(), scroll.textWidth + 1, rect.height()),
                Qt::AlignLeft | Qt::AlignTop, name);
        } else {
            painter.drawText(rect, Qt::AlignHCenter | Qt::AlignTop,
                             metrics.elidedText(name, Qt::ElideRight, rect.width()));
        }
    }
    painter.restore();
}

void ThumbCellPainter::DrawPlaceholder(QPainter& painter, const QRect& area,
                                       const QString& fileName, int zoom) {
    if (zoom < kMinPlaceholderZoom)
        return;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : fileName.mid(dot + 1);
    if (extension.compare(QLatin1String("wav"), Qt::CaseInsensitive) == 0) {
        const int side = std::min(area.width(), area.height());
        const QRect box(area.left() + (area.width() - side) / 2,
                        area.top() + (area.height() - side) / 2, side, side);
        const qreal scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        QImage icon = SoundIcon(QSize(qRound(side * scale), qRound(side * scale)));
        icon.setDevicePixelRatio(scale);
        painter.drawImage(box.topLeft(), icon);
        return;
    }
    const QImage& icon = GenericFileIcon();
    const QPoint at(area.left() + (area.width() - icon.width()) / 2,
                    area.top() + (area.height() - icon.height()) / 2);
    painter.drawImage(at, icon);
    painter.save();
    QFont small(QStringLiteral("Sans"));
    small.setPixelSize(8);
    painter.setFont(small);
    painter.setPen(Qt::white);
    painter.drawText(QRect(at.x() + 2, at.y() + 10, 23, 8), Qt::AlignCenter, extension);
    painter.restore();
}

}  // namespace orm
