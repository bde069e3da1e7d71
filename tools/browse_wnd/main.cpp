// browse-wnd: shows the browse window alone (folder tree and thumbnail grid) on a folder, with
// the user's settings and thumbnail cache, until the window is closed.
//
//   browse-wnd [FOLDER] [--size WxH] [--shot FILE]
//
// --shot waits until the thumbnails of the folder are made, saves a picture of the window to
// FILE and ends.

#include "browser/thumbs_browser.h"
#include "settings/settings_model.h"
#include "settings/settings_store.h"
#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/thumbs_builder_threads.h"
#include "ui/browse_wnd.h"
#include "ui/message_box_prompt.h"
#include "ui/thumbs_view.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("ORVEN Imaging"));
    QApplication::setApplicationName(QStringLiteral("ORVEN Mensura"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows the browse window on a folder."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The folder to show."));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Window size."),
                                  QStringLiteral("WxH"), QStringLiteral("1100x760"));
    const QCommandLineOption shot(QStringLiteral("shot"),
                                  QStringLiteral("Save a picture of the window and end."),
                                  QStringLiteral("file"));
    parser.addOption(size);
    parser.addOption(shot);
    parser.process(app);

    orm::SettingsStore store;
    orm::SettingsModel settings;
    settings.Load(store);
    orm::MessageBoxPrompt prompt;
    settings.SetPrompt(&prompt);

    orm::ThumbnailCache cache;
    cache.Open();
    orm::CThumbsBuilderThreads builder(cache);
    int exitCode = 0;
    {
        orm::CBrowseWnd window(builder, settings, &store);
        const QStringList wh = parser.value(size).split(QLatin1Char('x'));
        window.resize(wh.value(0).toInt() > 0 ? wh.value(0).toInt() : 1100,
                      wh.value(1).toInt() > 0 ? wh.value(1).toInt() : 760);
        window.setWindowTitle(QStringLiteral("Browse"));
        window.show();
        const QString folder = parser.positionalArguments().isEmpty()
                                   ? window.StartFolder()
                                   : parser.positionalArguments().first();
        window.ShowFolder(folder);

        if (parser.isSet(shot)) {
            const QString file = parser.value(shot);
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                if (!builder.Pending(1).isEmpty() || !builder.Pending(2).isEmpty())
                    return;
                poll.stop();
                // Let the last notifications paint.
                QTimer::singleShot(300, [&] {
                    if (!window.grab().save(file)) {
                        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                        exitCode = 1;
                    }
                    QApplication::quit();
                });
            });
            poll.start(100);
            QTimer::singleShot(60000, [&] {
                std::fprintf(stderr, "thumbnails not done within a minute\n");
                exitCode = 1;
                QApplication::quit();
            });
            app.exec();
        } else {
            exitCode = app.exec();
        }
    }
    return exitCode;
}
