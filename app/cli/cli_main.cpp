// ormensura-cli: the resizer without a window, for scripts and file managers.

#include "cli/cli_command.h"

#include "imageio/native_path.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>

namespace {

// The toolkit's own diagnostics (codec warnings about damaged files, desktop environment notes)
// are not for users of a command-line tool: every failure is reported with its file and reason.
void QuietMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg || qEnvironmentVariableIsSet("ORM_DEBUG"))
        fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orm::cli;
    // Image codecs and fonts need a Gui application; no window is ever shown.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietMessageHandler);
    // The arguments as the system gave them: file names need not be UTF-8, and Qt would turn
    // their other bytes into U+FFFD (and take arguments such as -platform for itself).
    QStringList args;
    for (int i = 1; i < argc; ++i) args.append(orm::PathFromNative(QByteArrayView(argv[i])));
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    QCoreApplication::setOrganizationName("ORVEN Imaging");
    QCoreApplication::setApplicationName("ORVEN Mensura");
    QCoreApplication::setApplicationVersion(ORM_VERSION);

    QTextStream out(stdout);
    QTextStream err(stderr);
    CliStreams io{out, err};
    const int rc = RunCli(args, io);
    out.flush();
    err.flush();
    return rc;
}
