#pragma once
// The program's command line: image files to open (one opens it, several become a batch),
// --register / --unregister, --help, --version.

#include <QString>
#include <QStringList>

namespace orm::gui {

struct CommandLine {
    QStringList files;    // plain arguments naming supported image files, in order
    QStringList ignored;  // plain arguments that are not supported image files
    QStringList unknownSwitches;
    bool help = false;
    bool version = false;
    bool registerPlugin = false;
    bool unregisterPlugin = false;
};

// arguments without the program name.
CommandLine ParseCommandLine(const QStringList& arguments);

QString CommandLineHelp();

}  // namespace orm::gui
