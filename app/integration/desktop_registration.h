#pragma once
// --register and --unregister: the plug-in descriptor, and for the current user what a Linux
// file manager needs to offer the program: the launcher with its MIME types ("Open With"), a
// Dolphin service menu, Nautilus and Nemo script entries and, where Thunar is configured, a
// Thunar custom action. Registration never replaces a file it did not write; removal takes back
// exactly what registration added (files, and folders it made that are empty again).

#include "app/integration/plugin_descriptor.h"

#include <QString>
#include <QStringList>

namespace orm::integration {

struct UserPlaces {
    QString dataHome;        // the per-user data folder ($XDG_DATA_HOME, ~/.local/share)
    QString configHome;      // the per-user configuration folder ($XDG_CONFIG_HOME, ~/.config)
    QStringList configDirs;  // the system configuration folders ($XDG_CONFIG_DIRS, /etc/xdg)
};

// The places of the user running the program.
UserPlaces CurrentUserPlaces();

// Where registration writes, under the given places.
struct RegistrationPaths {
    QString launcher;        // <data>/applications/ormensura.desktop
    QString serviceMenu;     // <data>/kio/servicemenus/ormensura-resize.desktop
    QString nautilusScript;  // <data>/nautilus/scripts/Resize with ORVEN Mensura
    QString nemoScript;      // <data>/nemo/scripts/Resize with ORVEN Mensura
    QString thunarFolder;    // <config>/Thunar
    QString thunarActions;   // <config>/Thunar/uca.xml
    QString record;          // <data>/ORVEN Mensura/registered-files
};
RegistrationPaths PathsFor(const UserPlaces& places);

// The icon the entries name: the program's installed SVG icon (<prefix>/share/icons/...) or the
// copy beside a program in the build tree, by absolute path; else the theme name "ormensura".
QString ProgramIcon(const QString& programPath);

// Writes the descriptor and the entries for the program at programPath. Failures are silent;
// returns the files written.
QStringList RegisterProgram(const UserPlaces& places, const QString& programPath,
                            ProgramVersion version);

// Deletes the descriptor and takes back what registration added. Failures are silent; returns
// the files removed or changed.
QStringList UnregisterProgram(const UserPlaces& places, ProgramVersion version);

}  // namespace orm::integration
