#pragma once
// Sub-commands of ormensura-cli. Each cmd_*.cpp file defines one and registers it with a
// static CliCommandRegistration, so adding a command touches no shared table.

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

std::vector<CliCommand>& CliCommands();

struct CliCommandRegistration {
    explicit CliCommandRegistration(CliCommand command) {
        CliCommands().push_back(std::move(command));
    }
};

}  // namespace orm::cli
