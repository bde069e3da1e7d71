#pragma once
// Drawing one cell of the browser: the picture area with the thumbnail (or a placeholder), the
// rounded frame band in the colour of the selection state, and the file name under it. Colours
// come from the colour scheme's BROWSER section. Qt Gui painting only.
//
// The frame of a cell is drawn with smoothing only twice per cell size (normal and selected) and
// then copied onto every cell (CellFrameCache).

#include "browser/browser_item.h"
#include "settings/colour_scheme.h"
#include "thumbnails/palette_item.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QRect>
#include <QSize>

#include <cstdint>

class QPainter;

namespace orm {

// The picture rectangle: the thumbnail size scaled by the zoom (each side rounded half up),
// centred in the picture area (integer halves of the spare room).
QRect PictureRect(const QRect& pictureArea, QSize thumbSize, int zoom);

// The frame of a cell: background, then the band colour filled from (13, 13) to (W - 13, H - 13)
// and outlined from (8, 8) to (W - 8, H - 8) with a 12-pixel pen and rounded joins: a rounded
// band 4 pixels wide around the picture area and the strip under it that holds the name. The
// picture area keeps the background colour. Made at `scale` device pixels per logical pixel
// (the screen's device pixel ratio), so a scaled desktop draws it sharp.
QImage MakeCellFrame(QSize cell, bool selected, const ColourScheme& colours, qreal scale = 1);

// The picture as a cut file draws: each of red, green and blue 0.3 x (red + green + blue)
// (clamped), alpha halved.
QImage CutPicture(const QImage& picture);

// The two frames for the current cell size and colours, made again when either changes.
class CellFrameCache {
  public:
    const QImage& Frame(QSize cell, bool selected, const ColourScheme& colours, qreal scale = 1);
    // How many times the pair was made (each time both frames).
    int Builds() const { return builds_; }
    void Clear() { size_ = {}; }

  private:
    QSize size_;
    qreal scale_ = 1;
    ColourScheme colours_;
    QImage normal_;
    QImage selected_;
    int builds_ = 0;
};

struct CellState {
    bool selected = false;
    bool cut = false;
    int zoom = 100;
    QString fileName;
};

class ThumbCellPainter {
  public:
    // The font of the names: the default face at 8 points.
    QFont NameFont() const;
    int NameLineHeight() const;

    // Draws the cell `cell` where it meets `clip`. `thumb` may be null (no thumbnail yet).
    void DrawCell(QPainter& painter, const QRect& cell, const QRect& clip,
                  const ThumbnailPtr& thumb, const CellState& state, const ColourScheme& colours,
                  CellFrameCache& frames);
    // The name line; measures the name into `scroll` (its rectangle, width and whether it
    // scrolls) and writes it centred, with an ellipsis, or scrolled when selected.
    void DrawName(QPainter& painter, const QRect& cell, const QString& name, bool selected,
                  const ColourScheme& colours, NameScroll& scroll);
    // No thumbnail: at zoom 20 or more a generic file icon with the extension written over it,
    // or a sound icon for a .wav file.
    void DrawPlaceholder(QPainter& painter, const QRect& pictureArea, const QString& fileName,
                         int zoom);

    // The decoded picture of a thumbnail, kept for the most recently drawn thumbnails so that a
    // repaint does not decode again.
    QImage Picture(const ThumbnailPtr& thumb);
    int DecodedCount() const { return int(decoded_.size()); }

  private:
    struct Decoded {
        ThumbnailPtr thumb;  // holds the key's object alive
        QImage picture;
        QImage cutPicture;
        uint64_t used = 0;
    };
    Decoded& DecodedFor(const ThumbnailPtr& thumb);

    QHash<const void*, Decoded> decoded_;
    uint64_t tick_ = 0;
    mutable QFont nameFont_;
    mutable int lineHeight_ = 0;
};

}  // namespace orm
