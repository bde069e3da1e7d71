#pragma once
// Every settings test runs in a QApplication whose home folder is a temporary folder, with the
// standard paths in test mode, so no test reads or writes the real user's files.

#include <QString>

namespace orm::test {

// The temporary home folder of this test run.
QString TestHome();
// Removes the program's storage folders (settings and batches) under the test home.
void ClearStorage();

}  // namespace orm::test
