#include "app/integration/plugin_descriptor.h"

#include "imageio/safe_file_writer.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QXmlStreamWriter>

namespace orm::integration {
namespace {

// The application icon's resource number, named after the program path in both icon texts.
constexpr int kIconResource = 128;
// The menu texts (title, short name, menu item) one per line; the descriptor joins them with '|'.
constexpr const char* kPluginMenuText = "ORVEN Mensura\nMensura\n&Mensura";

// XML 1.0 cannot hold control characters other than tab, line feed and carriage return.
bool FitsInXml(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
            c != QLatin1Char('\r'))
            return false;
    return true;
}

}  // namespace

ProgramVersion ParseProgramVersion(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    ProgramVersion v;
    v.major = parts.value(0).toUShort();
    v.minor = parts.value(1).toUShort();
    return v;
}

QString DescriptorFileName(ProgramVersion version) {
    return QStringLiteral("ORMensura.%1.%2.orplugin")
        .arg(version.major, 2, 16, QLatin1Char('0'))
        .arg(version.minor, 2, 16, QLatin1Char('0'));
}

QString PluginFolder(const QString& dataFolder) {
    return QDir(dataFolder).filePath(QStringLiteral("ORVEN/PLUGINS"));
}

QByteArray DescriptorXml(const QString& programPath) {
    const QString icon = QStringLiteral("%1,%2").arg(programPath).arg(kIconResource);
    const QString text =
        QString::fromLatin1(kPluginMenuText).replace(QLatin1Char('\n'), QLatin1Char('|'));
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("orplugin"));

    w.writeStartElement(QStringLiteral("general"));
    w.writeAttribute(QStringLiteral("path"), programPath);
    w.writeAttribute(QStringLiteral("icon"), icon);
    w.writeAttribute(QStringLiteral("type"), QStringLiteral("exe"));
    w.writeAttribute(QStringLiteral("call"), QStringLiteral("cmdline"));
    w.writeEndElement();

    w.writeStartElement(QStringLiteral("plugins"));
    w.writeStartElement(QStringLiteral("plugin"));
    w.writeStartElement(QStringLiteral("interface"));
    w.writeAttribute(QStringLiteral("icon"), icon);
    w.writeAttribute(QStringLiteral("text"), text);
    w.writeAttribute(QStringLiteral("group"), QStringLiteral("3"));
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("special"));
    w.writeAttribute(QStringLiteral("mode"), QStringLiteral("browse"));
    w.writeAttribute(QStringLiteral("files-type"), QStringLiteral("image"));
    w.writeAttribute(QStringLiteral("files-count-min"), QStringLiteral("1"));
    w.writeAttribute(QStringLiteral("files-count-max"), QStringLiteral("-1"));
    w.writeEndElement();
    w.writeEndElement();  // plugin
    w.writeEndElement();  // plugins

    w.writeEndElement();  // orplugin
    w.writeEndDocument();
    return xml;
}

bool WriteDescriptor(const QString& dataFolder, const QString& programPath,
                     ProgramVersion version) {
    if (dataFolder.isEmpty() || !FitsInXml(programPath))
        return false;
    const QString folder = PluginFolder(dataFolder);
    if (!QDir().mkpath(folder))
        return false;
    return WriteFileSafely(QDir(folder).filePath(DescriptorFileName(version)),
                           DescriptorXml(programPath));
}

bool DeleteDescriptor(const QString& dataFolder, ProgramVersion version) {
    if (dataFolder.isEmpty())
        return false;
    return QFile::remove(QDir(PluginFolder(dataFolder)).filePath(DescriptorFileName(version)));
}

}  // namespace orm::integration
