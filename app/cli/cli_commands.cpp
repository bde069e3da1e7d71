#include "cli/cli_command.h"

#include <QCoreApplication>

namespace orm::cli {

std::vector<CliCommand> CliCommands() {
    return {BatchCommand(), InfoCommand(), PresetsCommand(), ResizeCommand()};
}

namespace {

void PrintUsage(QTextStream& out) {
    out << "Usage: ormensura-cli COMMAND [ARGS...]\n\nCommands:\n";
    for (const CliCommand& c : CliCommands())
        out << "  " << c.name.leftJustified(10) << c.summary << "\n";
    out << "\n'ormensura-cli COMMAND --help' describes a command.\n";
}

}  // namespace

int RunCli(QStringList args, CliStreams& io) {
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h") {
        PrintUsage(args.isEmpty() ? io.err : io.out);
        return args.isEmpty() ? kExitBadArguments : kExitOk;
    }
    if (args.first() == "--version") {
        io.out << "ormensura-cli " << QCoreApplication::applicationVersion() << "\n";
        return kExitOk;
    }
    const QString name = args.takeFirst();
    for (const CliCommand& c : CliCommands()) {
        if (c.name == name)
            return c.run(args, io);
    }
    io.err << "ormensura-cli: unknown command '" << name << "'\n";
    PrintUsage(io.err);
    return kExitBadArguments;
}

}  // namespace orm::cli
