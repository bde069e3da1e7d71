#pragma once
// The panel tests run in one QApplication (offscreen) whose home folder is a temporary folder,
// with the standard paths in test mode, so no test reads or writes the real user's files.

#include <QString>

namespace orm::test {

// The temporary home folder of this test run.
QString PanelTestHome();

}  // namespace orm::test
