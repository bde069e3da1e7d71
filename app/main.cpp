// ormensura: the desktop program. Start-up: the command line, the settings (read before the
// window, written at exit), the main window, and the file named on the command line.

#include "ui/command_line.h"
#include "ui/frame_layout.h"
#include "ui/main_frame.h"
#include "ui/message_box_prompt.h"
#include "ui/printer_resolution.h"
#include "imageio/image_loader.h"
#include "settings/settings_model.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QImageReader>
#include <QScreen>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("ORVEN Imaging"));
    QCoreApplication::setApplicationName(QString::fromLatin1(orm::gui::kAppTitle));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORM_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("ormensura"));
    QImageReader::setAllocationLimit(orm::kImageAllocationLimitMb);
    orm::InstallPrinterDpiSource();

    const orm::gui::CommandLine commandLine = orm::gui::ParseCommandLine(app.arguments().mid(1));
    if (commandLine.help) {
        std::fputs(qPrintable(orm::gui::CommandLineHelp()), stdout);
        return 0;
    }
    if (commandLine.version) {
        std::printf("%s\n", qPrintable(orm::gui::AboutVersionText(QStringLiteral(ORM_VERSION))));
        return 0;
    }
    if (commandLine.registerPlugin || commandLine.unregisterPlugin) {
        // The plug-in descriptor is written by its own part of the program; the settings are
        // left untouched either way.
        std::fputs("ormensura: the plug-in descriptor is not available in this build.\n", stderr);
        return 1;
    }
    for (const QString& s : commandLine.unknownSwitches)
        std::fprintf(stderr, "ormensura: unknown option %s (see --help)\n", qPrintable(s));

    orm::MessageBoxPrompt boxes;
    orm::SettingsModel settings;
    settings.SetPrompt(&boxes);
    orm::SettingsStore store;
    settings.Load(store);

    int result = 0;
    {
        orm::gui::CMainFrame frame(settings, &store);
        if (QScreen* screen = QGuiApplication::primaryScreen())
            frame.resize(screen->availableGeometry().size() * 0.9);
        frame.showMaximized();
        if (commandLine.files.size() == 1)
            frame.OpenDocumentFile(commandLine.files.first());
        else if (commandLine.files.size() > 1)
            frame.SetCommandLineBatch(commandLine.files);
        result = app.exec();
        frame.SaveFrameState();
    }
    settings.Save(store);
    return result;
}
