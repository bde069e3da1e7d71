#pragma once
// Every Qt test binary that links this runs in one QGuiApplication (a QApplication for the
// widgets' tests; offscreen unless the caller chose a platform) whose home, data, configuration
// and cache folders are a temporary folder, with the standard paths in test mode: no test reads
// or writes the real user's files.

#include <QString>

namespace orm::test {

// The temporary home folder of this test run.
QString TestHome();

}  // namespace orm::test
