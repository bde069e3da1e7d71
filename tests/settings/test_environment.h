#pragma once
// Settings tests run in the shared temporary test home (tests/common/qt_test_home.h).

#include "qt_test_home.h"

namespace orm::test {

// Removes the program's storage folders (settings and batches) under the test home.
void ClearStorage();

}  // namespace orm::test
