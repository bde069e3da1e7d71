#pragma once
// Every test of the main window runs in a QApplication (offscreen) whose home folder is a
// temporary folder, with the standard paths in test mode, so no test touches the user's files.

#include <QImage>
#include <QString>

namespace orm::test {

QString TestHome();

// A picture with a different colour in every pixel (Format_BGR888).
QImage PatternImage(int width, int height);

}  // namespace orm::test
