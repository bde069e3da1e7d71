#pragma once
// Batch tests run in the shared temporary test home (tests/common/qt_test_home.h); helpers that
// make real image files.

#include "qt_test_home.h"

#include <QImage>
#include <QString>

namespace orm::test {

// A real image file of w x h with a colour gradient, written by the toolkit's encoder for the
// path's extension, with the given resolution (for JPEG as its JFIF density).
void WriteImage(const QString& path, int w, int h, double dpi = 72);

// The whole content of a file (empty when it cannot be read).
QByteArray FileBytes(const QString& path);

// The size of an image file as an independent reader sees it.
QSize ImageFileSize(const QString& path);

}  // namespace orm::test
