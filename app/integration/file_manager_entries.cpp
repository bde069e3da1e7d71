#include "app/integration/file_manager_entries.h"

#include "app/integration/launch_quoting.h"
#include "imageio/image_file_types.h"

#include <QFile>
#include <QRegularExpression>

// The launcher template is compiled into the library (its resources need an explicit start).
static void InitIntegrationResources() {
    Q_INIT_RESOURCE(integration_resources);
}

namespace orm::integration {
namespace {

QByteArray Utf8(const QString& s) {
    return s.toUtf8();
}

QString MimeTypeList() {
    return LauncherMimeTypes().join(QLatin1Char(';')) + QLatin1Char(';');
}

// Thunar matches its patterns against file names as they are: both cases of every extension.
QString ThunarPatterns() {
    QStringList patterns;
    for (const QString& ext : ImageFileExtensions())
        patterns << QLatin1Char('*') + ext << QLatin1Char('*') + ext.toUpper();
    return patterns.join(QLatin1Char(';'));
}

QString XmlEscaped(const QString& text) {
    return text.toHtmlEscaped();
}

}  // namespace

QByteArray LauncherTemplate() {
    InitIntegrationResources();
    QFile file(QStringLiteral(":/integration/ormensura.desktop.in"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList LauncherMimeTypes() {
    static const QStringList types = [] {
        const QString text = QString::fromUtf8(LauncherTemplate());
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^MimeType=(.*)$"),
                                                             QRegularExpression::MultilineOption)
                                              .match(text);
        return m.captured(1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }();
    return types;
}

QByteArray LauncherEntry(const QString& programPath, const QString& icon) {
    const QString exec = DesktopExecArgument(programPath);
    if (exec.isEmpty() || !FitsInDesktopEntry(icon))
        return {};
    QString text = QString::fromUtf8(LauncherTemplate());
    text.replace(QLatin1String("@ORM_EXEC@"), exec);
    text.replace(QLatin1String("@ORM_ICON@"), icon);
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    return Utf8(text) + kRegisterMarker + '\n';
}

QByteArray ServiceMenuEntry(const QString& programPath, const QString& icon) {
    const QString exec = DesktopExecArgument(programPath);
    if (exec.isEmpty() || !FitsInDesktopEntry(icon))
        return {};
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Service\n"
                             "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
                             "MimeType=%1\n"
                             "Actions=resizeWithOrvenMensura;\n"
                             "%2\n"
                             "\n"
                             "[Desktop Action resizeWithOrvenMensura]\n"
                             "Name=%3\n"
                             "Icon=%4\n"
                             "Exec=%5 %F\n")
                             .arg(MimeTypeList(), QString::fromLatin1(kRegisterMarker),
                                  QString::fromLatin1(kResizeActionName), icon, exec);
    return Utf8(text);
}

QByteArray FileManagerScript(const QString& programPath) {
    if (!FitsInDesktopEntry(programPath))
        return {};
    // Nautilus and Nemo start the script in the shown folder with the selected files as arguments.
    const QString text =
        QStringLiteral(
            "#!/bin/sh\n"
            "# %1: opens the selected images (one opens it, several become a batch).\n"
            "# Added by \"ormensura --register\"; \"ormensura --unregister\" removes it.\n"
            "# %2\n"
            "exec %3 -- \"$@\"\n")
            .arg(QString::fromLatin1(kResizeActionName), QString::fromLatin1(kRegisterMarker),
                 ShellQuoted(programPath));
    return Utf8(text);
}

QByteArray ThunarActionFile(const QByteArray& defaultActions, const QString& programPath,
                            const QString& icon) {
    if (!FitsInDesktopEntry(programPath) || !FitsInDesktopEntry(icon))
        return {};
    // The system's actions, as they are, between its <actions> and </actions>.
    QByteArray inherited;
    const QRegularExpressionMatch open = QRegularExpression(QStringLiteral("<actions(\\s[^>]*)?>"))
                                             .match(QString::fromUtf8(defaultActions));
    const qsizetype close = defaultActions.lastIndexOf("</actions>");
    if (open.hasMatch()) {
        const QByteArray openTag = open.captured(0).toUtf8();
        const qsizetype start = defaultActions.indexOf(openTag) + openTag.size();
        if (close > start)
            inherited = defaultActions.mid(start, close - start).trimmed() + '\n';
    }
    // Thunar fills in %F with the quoted paths and splits the command line as a shell would.
    const QString action =
        QStringLiteral(
            "<action>\n"
            "\t<icon>%1</icon>\n"
            "\t<name>%2</name>\n"
            "\t<submenu></submenu>\n"
            "\t<unique-id>%3</unique-id>\n"
            "\t<command>%4 -- %F</command>\n"
            "\t<description>Open the selected images in ORVEN Mensura</description>\n"
            "\t<range>*</range>\n"
            "\t<patterns>%5</patterns>\n"
            "\t<image-files/>\n"
            "</action>\n")
            .arg(XmlEscaped(icon), QString::fromLatin1(kResizeActionName),
                 QString::fromLatin1(kThunarActionId), XmlEscaped(ShellQuoted(programPath)),
                 ThunarPatterns());
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n" + inherited + Utf8(action) +
           "</actions>\n";
}

QByteArray WithoutThunarAction(const QByteArray& actionFile) {
    const QByteArray id = QByteArray("<unique-id>") + kThunarActionId + "</unique-id>";
    const qsizetype at = actionFile.indexOf(id);
    if (at < 0)
        return actionFile;
    const qsizetype start = actionFile.lastIndexOf("<action>", at);
    qsizetype end = actionFile.indexOf("</action>", at);
    if (start < 0 || end < 0)
        return actionFile;
    end += qsizetype(sizeof("</action>") - 1);
    // The line break after the action goes with it.
    if (end < actionFile.size() && actionFile[end] == '\n')
        ++end;
    // So does the indentation before it.
    qsizetype lineStart = start;
    while (lineStart > 0 && (actionFile[lineStart - 1] == ' ' || actionFile[lineStart - 1] == '\t'))
        --lineStart;
    return actionFile.left(lineStart) + actionFile.mid(end);
}

bool CarriesRegisterMarker(const QByteArray& bytes) {
    return bytes.contains(kRegisterMarker);
}

}  // namespace orm::integration
