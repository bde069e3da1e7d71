// ormensura: the desktop program. Start-up: the command line; --register, --unregister, --help
// and --version without a window (and without a display); otherwise the settings (read before
// the window, written at exit), the main window, and the files named on the command line.

#include "app/integration/desktop_registration.h"
#include "app/integration/plugin_descriptor.h"
#include "app/integration/unopened_files.h"
#include "frame/command_line.h"
#include "frame/frame_layout.h"
#include "imageio/image_loader.h"
#include "settings/colour_scheme.h"
#include "settings/settings_model.h"
#include "settings/settings_store.h"
#include "ui/main_frame.h"
#include "ui/message_box_prompt.h"
#include "ui/printer_resolution.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QScreen>

#include <cstdio>

namespace {

void SetProgramNames() {
    QCoreApplication::setOrganizationName(QStringLiteral("ORVEN Imaging"));
    QCoreApplication::setApplicationName(QString::fromLatin1(orm::gui::kAppTitle));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORM_VERSION));
}

// The switches that end the program before any window: the command line as given, before Qt
// takes its own options out of it.
orm::gui::CommandLine EarlyCommandLine(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return orm::gui::ParseCommandLine(arguments);
}

// --register / --unregister: the descriptor and the file-manager entries; silent, and the
// stored settings are neither read nor written.
int RunRegistration(int argc, char* argv[], bool registering) {
    QCoreApplication core(argc, argv);
    SetProgramNames();
    const orm::integration::ProgramVersion version =
        orm::integration::ParseProgramVersion(QStringLiteral(ORM_VERSION));
    const orm::integration::UserPlaces places = orm::integration::CurrentUserPlaces();
    if (registering)
        orm::integration::RegisterProgram(places, QCoreApplication::applicationFilePath(), version);
    else
        orm::integration::UnregisterProgram(places, version);
    return 0;
}

// An installation that lacks its help page or colour scheme says so where it was started.
void WarnAboutMissingProgramFiles() {
    const QString help = orm::gui::HelpFilePath(QCoreApplication::applicationFilePath());
    if (!QFileInfo::exists(help))
        std::fprintf(stderr, "ormensura: the help page %s is missing\n", qPrintable(help));
    const QString colours = orm::ColourSchemePath();
    if (!QFileInfo::exists(colours))
        std::fprintf(stderr,
                     "ormensura: the colour scheme %s is missing; default colours are used\n",
                     qPrintable(colours));
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/app/ormensura-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace

int main(int argc, char* argv[]) {
    const orm::gui::CommandLine early = EarlyCommandLine(argc, argv);
    if (early.help) {
        std::fputs(qPrintable(orm::gui::CommandLineHelp()), stdout);
        return 0;
    }
    if (early.version) {
        std::printf("%s\n", qPrintable(orm::gui::AboutVersionText(QStringLiteral(ORM_VERSION))));
        return 0;
    }
    if (early.registerPlugin || early.unregisterPlugin)
        return RunRegistration(argc, argv, early.registerPlugin);

    QApplication app(argc, argv);
    SetProgramNames();
    QGuiApplication::setDesktopFileName(QStringLiteral("ormensura"));
    QApplication::setWindowIcon(ProgramIcon());
    QImageReader::setAllocationLimit(orm::kImageAllocationLimitMb);

    const orm::gui::CommandLine commandLine = orm::gui::ParseCommandLine(app.arguments().mid(1));
    for (const QString& s : commandLine.unknownSwitches)
        std::fprintf(stderr, "ormensura: unknown option %s (see --help)\n", qPrintable(s));
    std::fputs(qPrintable(orm::integration::UnopenedFilesLines(commandLine.ignored)), stderr);
    WarnAboutMissingProgramFiles();

    orm::MessageBoxPrompt boxes;
    orm::SettingsModel settings;
    settings.SetPrompt(&boxes);
    settings.SetPrinterDpiSource(&orm::QueryDefaultPrinterDpi);
    orm::SettingsStore store;
    settings.Load(store);

    int result = 0;
    {
        orm::gui::CMainFrame frame(settings, &store);
        if (QScreen* screen = QGuiApplication::primaryScreen())
            frame.resize(screen->availableGeometry().size() * 0.9);
        frame.showMaximized();
        // One file opens as the document; several become the batch list in batch mode.
        if (commandLine.files.size() > 1)
            frame.OpenCommandLineFiles(commandLine.files);
        else
            frame.OpenFiles(commandLine.files);
        if (!commandLine.ignored.isEmpty())
            settings.Prompt().Warning(orm::integration::UnopenedFilesMessage(commandLine.ignored));
        result = app.exec();
        frame.SaveFrameState();
    }
    settings.Save(store);
    return result;
}
