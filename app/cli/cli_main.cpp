// ormensura-cli: the resizer without a window, for scripts and file managers.

#include "cli/cli_command.h"

#include "imageio/native_path.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

// libpng prints its errors on the C library's stderr itself ("libpng error: IHDR: CRC error"):
// the toolkit's PNG reader gives it no error function of its own. The program reports every
// failure with its file and reason, so those lines are dropped; everything else written through
// stderr goes on to the terminal at once (a line only when it might still become such a line).
constexpr std::string_view kLibraryPrefix = "libpng ";

ssize_t WriteFilteredError(void*, const char* data, size_t size) {
    static std::string pending;  // called under the stream's lock
    pending.append(data, size);
    size_t start = 0;
    for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string_view line(pending.data() + start, end + 1 - start);
        if (!line.starts_with(kLibraryPrefix))
            (void)::write(STDERR_FILENO, line.data(), line.size());
    }
    pending.erase(0, start);
    const std::string_view rest(pending);
    const bool mayBeLibraryLine = rest.size() < kLibraryPrefix.size()
                                      ? kLibraryPrefix.starts_with(rest)
                                      : rest.starts_with(kLibraryPrefix);
    if (!mayBeLibraryLine) {
        (void)::write(STDERR_FILENO, rest.data(), rest.size());
        pending.clear();
    }
    return ssize_t(size);
}

void DropLibraryErrorLines() {
    cookie_io_functions_t io{};
    io.write = WriteFilteredError;
    if (FILE* filtered = ::fopencookie(nullptr, "w", io)) {
        std::setvbuf(filtered, nullptr, _IONBF, 0);
        stderr = filtered;
    }
}

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
    QTextStream err(stderr);  // the real stderr; the libraries' stderr is filtered from here on
    if (!qEnvironmentVariableIsSet("ORM_DEBUG"))
        DropLibraryErrorLines();
    CliStreams io{out, err};
    const int rc = RunCli(args, io);
    out.flush();
    err.flush();
    return rc;
}
