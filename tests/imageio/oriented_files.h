#pragma once
// Made photos for the upright tests: a pattern of four coloured quadrants whose upright picture
// is known, stored the way a camera held in one of the eight EXIF orientations stores it, as a
// JPEG with the Orientation item, the stored size items, an EXIF thumbnail stored the same way,
// and a resolution that differs between the two directions.

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <gtest/gtest.h>

namespace orm::test {

// Top-left red, top-right green, bottom-left blue, bottom-right white.
QImage UprightPattern(QSize size);

// The stored picture of the upright one for an orientation, made with Qt's own mirror and
// quarter turns (independent of the program's).
QImage StoredPicture(const QImage& upright, int orientation);

struct OrientedJpeg {
    QSize upright{64, 48};
    int orientation = 1;
    bool thumbnail = true;  // a JPEG thumbnail (an eighth, at least 40 x 30), stored the same way
    double dpiX = 100;      // of the upright picture; the file states them for the stored one
    double dpiY = 200;
};
QByteArray MakeOrientedJpeg(const OrientedJpeg& made);

// Whether the picture shows the upright pattern (the centres of its quadrants, within a
// tolerance for JPEG's losses).
::testing::AssertionResult ShowsUprightPattern(const QImage& picture, int tolerance = 40);

}  // namespace orm::test
