#pragma once
// Sub-commands of ormensura-cli. Each cmd_*.cpp file defines one; CliCommands() lists them all
// (an explicit table: a static library drops self-registering objects nobody refers to).

#include <QStringList>
#include <QTextStream>

#include <functional>
#include <vector>

namespace orm::cli {

// Exit statuses shared by all sub-commands.
enum ExitCode : int {
    kExitOk = 0,
    kExitInputFailed = 1,  // some input could not be processed
    kExitBadArguments = 2,
    kExitStopped = 3,  // the run stopped (missing folder, failed resize or save)
};

struct CliStreams {
    QTextStream& out;
    QTextStream& err;
};

struct CliCommand {
    QString name;
    QString summary;  // one line for the general help
    std::function<int(const QStringList& args, CliStreams& io)> run;
};

CliCommand BatchCommand();
CliCommand InfoCommand();
CliCommand PresetsCommand();
CliCommand ResizeCommand();

// Every sub-command, sorted by name.
std::vector<CliCommand> CliCommands();

// Runs the command line after the program name ("resize a.jpg -o b.png", "--help", ...) and
// returns the exit status.
int RunCli(QStringList args, CliStreams& io);

}  // namespace orm::cli
