#pragma once
// The texts of what registration installs for the current user: the launcher (a desktop entry
// with the image MIME types, so "Open With" lists the program), a Dolphin service menu, a script
// for the Nautilus and Nemo script menus, and a Thunar custom action. Each opens the selected
// files: one opens it, several become a batch.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orm::integration {

// Every file registration writes carries this line (the Thunar action file excepted, which
// Thunar rewrites), so removal never takes a file of the user's.
inline constexpr const char* kRegisterMarker = "X-ORVEN-Mensura-Register=true";
inline constexpr const char* kResizeActionName = "Resize with ORVEN Mensura";
// The unique id of the Thunar action.
inline constexpr const char* kThunarActionId = "ormensura-resize-with-orven-mensura";

// The launcher template (share/applications/ormensura.desktop.in) with @ORM_EXEC@ and @ORM_ICON@.
QByteArray LauncherTemplate();
// The MIME types of the template's MimeType key.
QStringList LauncherMimeTypes();

// The entries for the program at programPath with the icon (a theme name or an absolute path).
// Empty when the path cannot be written into that kind of file (a control character in it).
QByteArray LauncherEntry(const QString& programPath, const QString& icon);
QByteArray ServiceMenuEntry(const QString& programPath, const QString& icon);
QByteArray FileManagerScript(const QString& programPath);

// A whole Thunar action file: the actions of defaultActions (the system's uca.xml, may be empty)
// followed by ours.
QByteArray ThunarActionFile(const QByteArray& defaultActions, const QString& programPath,
                            const QString& icon);
// The action file without our action (every other byte kept); unchanged when it has none.
QByteArray WithoutThunarAction(const QByteArray& actionFile);

// Whether the bytes carry kRegisterMarker.
bool CarriesRegisterMarker(const QByteArray& bytes);

}  // namespace orm::integration
