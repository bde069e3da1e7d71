#pragma once
// Batch tests run in the shared temporary test home (tests/common/qt_test_home.h); helpers that
// make real image files.

#include "qt_test_home.h"

#include <QImage>
#include <QString>
#include <QStringList>

namespace orm::test {

// A real image file of w x h with a colour gradient, written by the toolkit's encoder for the
// path's extension, with the given resolution (for JPEG as its JFIF density).
void WriteImage(const QString& path, int w, int h, double dpi = 72);

// The whole content of a file (empty when it cannot be read).
QByteArray FileBytes(const QString& path);

// The size of an image file as an independent reader sees it.
QSize ImageFileSize(const QString& path);

// What a program run printed and its exit status (-1 when it did not end normally).
struct ProgramRun {
    int status = -1;
    QString out, err;
};
// Runs a program to its end (two minutes at most). With `home`, it runs in that home (data and
// configuration below it) without a display.
ProgramRun RunProgram(const QString& program, const QStringList& args, const QString& home = {});

}  // namespace orm::test
