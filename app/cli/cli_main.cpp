// ormensura-cli: the resizer without a window, for scripts and file managers.

#include "cli/cli_command.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>

namespace orm::cli {

std::vector<CliCommand>& CliCommands() {
    static std::vector<CliCommand> commands;
    return commands;
}

namespace {

void PrintUsage(QTextStream& out) {
    out << "Usage: ormensura-cli COMMAND [ARGS...]\n\nCommands:\n";
    auto commands = CliCommands();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand& a, const CliCommand& b) { return a.name < b.name; });
    for (const CliCommand& c : commands)
        out << "  " << c.name.leftJustified(10) << c.summary << "\n";
    out << "\n'ormensura-cli COMMAND --help' describes a command.\n";
}

// The toolkit's own diagnostics (codec warnings about damaged files, desktop environment notes)
// are not for users of a command-line tool: every failure is reported with its file and reason.
void QuietMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg || qEnvironmentVariableIsSet("ORM_DEBUG"))
        fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace
}  // namespace orm::cli

int main(int argc, char** argv) {
    using namespace orm::cli;
    // Image codecs and fonts need a Gui application; no window is ever shown.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietMessageHandler);
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName("ORVEN Imaging");
    QCoreApplication::setApplicationName("ORVEN Mensura");
    QCoreApplication::setApplicationVersion(ORM_VERSION);

    QTextStream out(stdout);
    QTextStream err(stderr);
    CliStreams io{out, err};

    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h") {
        PrintUsage(args.isEmpty() ? err : out);
        return args.isEmpty() ? kExitBadArguments : kExitOk;
    }
    if (args.first() == "--version") {
        out << "ormensura-cli " << QCoreApplication::applicationVersion() << "\n";
        return kExitOk;
    }
    const QString name = args.takeFirst();
    for (const CliCommand& c : CliCommands()) {
        if (c.name == name) {
            const int rc = c.run(args, io);
            out.flush();
            err.flush();
            return rc;
        }
    }
    err << "ormensura-cli: unknown command '" << name << "'\n";
    PrintUsage(err);
    return kExitBadArguments;
}
