#pragma once
// Main-window tests run in the shared temporary test home (tests/common/qt_test_home.h).

#include "qt_test_home.h"

#include <QImage>
#include <QString>

namespace orm::test {

// A picture with a different colour in every pixel (Format_BGR888).
QImage PatternImage(int width, int height);

}  // namespace orm::test
