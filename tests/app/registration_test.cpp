// --register and --unregister for the current user: what registration writes, that it never
// takes a file of the user's, and that removal takes back exactly what it added.

#include "app/integration/desktop_registration.h"
#include "app/integration/file_manager_entries.h"
#include "app/integration/launch_quoting.h"
#include "file_tree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace orm::integration {
namespace {

using test::FileTree;
using test::ReadFile;
using test::Snapshot;
using test::WriteFile;

const char* const kSystemActions =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<actions>\n"
    "<action>\n\t<icon>utilities-terminal</icon>\n\t<name>Open Terminal Here</name>\n"
    "\t<unique-id>1-1</unique-id>\n\t<command>exo-open --launch TerminalEmulator</command>\n"
    "\t<patterns>*</patterns>\n\t<directories/>\n</action>\n"
    "</actions>\n";

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

class Registration : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        places.dataHome = home.path() + "/data";
        places.configHome = home.path() + "/config";
        places.configDirs = {home.path() + "/etc/xdg"};
        paths = PathsFor(places);
        // The system's Thunar actions, and some files of the user's in the folders we write to.
        WriteFile(home.path() + "/etc/xdg/Thunar/uca.xml", kSystemActions);
        WriteFile(places.dataHome + "/applications/gimp.desktop", "[Desktop Entry]\nName=GIMP\n");
        WriteFile(places.dataHome + "/nautilus/scripts/Rotate", "#!/bin/sh\n");
        WriteFile(places.configHome + "/ORVEN Imaging/ORVEN Mensura.conf", "[MAIN]\nWIDTH=800\n");
    }

    QTemporaryDir home;
    UserPlaces places;
    RegistrationPaths paths;
    const QString program = QStringLiteral("/opt/orm tools/bin/ormensura");
    const ProgramVersion version{2, 10};
};

TEST_F(Registration, RoundTripAddsTheEntriesAndTakesBackExactlyThem) {
    ASSERT_TRUE(QDir().mkpath(places.configHome + "/Thunar"));  // Thunar has been run
    const FileTree before = Snapshot(home.path());
    const QString descriptor = places.dataHome + "/ORVEN/PLUGINS/ORMensura.02.0a.orplugin";

    const QStringList written = RegisterProgram(places, program, version);
    EXPECT_EQ(Sorted(written),
              Sorted({descriptor, paths.launcher, paths.serviceMenu, paths.nautilusScript,
                      paths.nemoScript, paths.thunarActions}));

    // The launcher: the template with the program quoted, its MIME types, the marker.
    const QByteArray launcher = ReadFile(paths.launcher);
    EXPECT_TRUE(launcher.contains("\nExec=\"/opt/orm tools/bin/ormensura\" %F\n"))
        << launcher.toStdString();
    EXPECT_TRUE(launcher.contains(
        "\nMimeType=image/jpeg;image/png;image/tiff;image/bmp;image/gif;image/webp;image/heic;"
        "image/heif;image/avif;\n"));
    EXPECT_TRUE(launcher.contains("\nGenericName=Image Resizer\n"));
    EXPECT_TRUE(CarriesRegisterMarker(launcher));
    const QByteArray menu = ReadFile(paths.serviceMenu);
    EXPECT_TRUE(menu.contains("\nName=Resize with ORVEN Mensura\n"));
    EXPECT_TRUE(menu.contains("\nExec=\"/opt/orm tools/bin/ormensura\" %F\n"));
    EXPECT_TRUE(QFileInfo(paths.serviceMenu).isExecutable());  // Dolphin runs only executable menus
    for (const QString& script : {paths.nautilusScript, paths.nemoScript}) {
        EXPECT_TRUE(QFileInfo(script).isExecutable());
        EXPECT_TRUE(ReadFile(script).contains("\nexec '/opt/orm tools/bin/ormensura' -- \"$@\"\n"));
    }
    // Thunar: the system's action is kept beside ours, in a well-formed file.
    const QByteArray uca = ReadFile(paths.thunarActions);
    EXPECT_TRUE(uca.contains("<name>Open Terminal Here</name>"));
    EXPECT_TRUE(uca.contains("<command>&#39;/opt/orm tools/bin/ormensura&#39; -- %F</command>") ||
                uca.contains("<command>'/opt/orm tools/bin/ormensura' -- %F</command>"))
        << uca.toStdString();
    QXmlStreamReader xml(uca);
    int actions = 0;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("action"))
            ++actions;
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(actions, 2);

    // Registering again changes nothing.
    const FileTree registered = Snapshot(home.path());
    RegisterProgram(places, program, version);
    EXPECT_EQ(Snapshot(home.path()), registered);

    // Unregistering restores the tree as it was, byte for byte: files, folders, the settings.
    const QStringList removed = UnregisterProgram(places, version);
    EXPECT_EQ(Sorted(removed), Sorted(written));
    EXPECT_EQ(Snapshot(home.path()), before);
    // And again: nothing left to do, nothing touched.
    EXPECT_TRUE(UnregisterProgram(places, version).isEmpty());
    EXPECT_EQ(Snapshot(home.path()), before);
}

TEST_F(Registration, FilesOfTheUsersAreNeverTaken) {
    // A launcher of the same name (an installed copy, or the user's own), and Thunar actions of
    // the user's own: registration leaves them, and so does removal.
    WriteFile(paths.launcher, "[Desktop Entry]\nName=Mine\n");
    WriteFile(paths.thunarActions, kSystemActions);
    WriteFile(paths.nemoScript, "#!/bin/sh\necho mine\n");
    const FileTree before = Snapshot(home.path());

    const QStringList written = RegisterProgram(places, program, version);
    EXPECT_FALSE(written.contains(paths.launcher));
    EXPECT_FALSE(written.contains(paths.thunarActions));
    EXPECT_FALSE(written.contains(paths.nemoScript));
    EXPECT_TRUE(written.contains(paths.nautilusScript));
    EXPECT_EQ(ReadFile(paths.launcher), "[Desktop Entry]\nName=Mine\n");
    EXPECT_EQ(ReadFile(paths.thunarActions), kSystemActions);

    UnregisterProgram(places, version);
    EXPECT_EQ(Snapshot(home.path()), before);
}

TEST_F(Registration, ThunarActionsTheUserAddedSinceStay) {
    ASSERT_TRUE(QDir().mkpath(places.configHome + "/Thunar"));
    RegisterProgram(places, program, version);
    // Thunar rewrites the file when the user adds an action of their own.
    QByteArray uca = ReadFile(paths.thunarActions);
    const QByteArray mine =
        "<action>\n\t<name>Mine</name>\n\t<unique-id>9-9</unique-id>\n</action>\n";
    uca.insert(uca.indexOf("</actions>"), mine);
    WriteFile(paths.thunarActions, uca);

    UnregisterProgram(places, version);
    const QByteArray left = ReadFile(paths.thunarActions);
    EXPECT_TRUE(left.contains(mine));
    EXPECT_TRUE(left.contains("<name>Open Terminal Here</name>"));
    EXPECT_FALSE(left.contains(kThunarActionId));
    EXPECT_FALSE(left.contains("Resize with ORVEN Mensura"));
}

TEST_F(Registration, AMovedProgramRegisteredAgainIsNamedAtItsNewPlace) {
    ASSERT_TRUE(QDir().mkpath(places.configHome + "/Thunar"));
    const FileTree before = Snapshot(home.path());
    RegisterProgram(places, program, version);
    RegisterProgram(places, "/usr/bin/ormensura", version);
    EXPECT_TRUE(ReadFile(paths.launcher).contains("\nExec=/usr/bin/ormensura %F\n"));
    EXPECT_TRUE(ReadFile(paths.nautilusScript).contains("exec '/usr/bin/ormensura' -- \"$@\""));
    EXPECT_TRUE(ReadFile(paths.thunarActions).contains("/usr/bin/ormensura"));
    EXPECT_FALSE(ReadFile(paths.thunarActions).contains("/opt/orm tools"));
    UnregisterProgram(places, version);
    EXPECT_EQ(Snapshot(home.path()), before);
}

TEST(LaunchQuoting, ExecArgumentsAndShellWords) {
    EXPECT_EQ(DesktopExecArgument("/usr/bin/ormensura"), "/usr/bin/ormensura");
    EXPECT_EQ(DesktopExecArgument("/opt/my apps/ormensura"), "\"/opt/my apps/ormensura\"");
    // Inside quotes " ` $ \ get a backslash; the file's escaping then doubles every backslash.
    EXPECT_EQ(DesktopExecArgument("/a\"b`c$d\\e"), "\"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e\"");
    EXPECT_EQ(DesktopExecArgument("/100%/ormensura"), "/100%%/ormensura");
    EXPECT_EQ(DesktopExecArgument("/a\nb"), "");
    EXPECT_EQ(ShellQuoted("/it's here"), "'/it'\\''s here'");
    // The entries refuse a path they cannot hold rather than write a broken file.
    EXPECT_TRUE(LauncherEntry("/a\nb", "ormensura").isEmpty());
    EXPECT_TRUE(FileManagerScript("/a\nb").isEmpty());
}

TEST(LaunchQuoting, TheShellReadsTheScriptsProgramBack) {
    // The script's quoting, checked by the shell itself: the program it starts is the one given.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString program = dir.path() + "/it's a \"test\" $HOME `x`";
    WriteFile(program, "#!/bin/sh\nprintf '%s\\n' \"$@\"\n");
    ASSERT_TRUE(
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString script = dir.path() + "/script";
    WriteFile(script, FileManagerScript(program));
    QProcess sh;
    sh.start("/bin/sh", {script, "a b.jpg", "-c.png"});
    ASSERT_TRUE(sh.waitForFinished(10000));
    EXPECT_EQ(sh.readAllStandardOutput(), QByteArray("--\na b.jpg\n-c.png\n"))
        << sh.readAllStandardError().toStdString();
}

}  // namespace
}  // namespace orm::integration
