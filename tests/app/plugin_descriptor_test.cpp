// The plug-in descriptor: its name from the version, its document node by node, and writing it
// safely into the plug-in folder.

#include "app/integration/plugin_descriptor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace orm::integration {
namespace {

// The document as one line per node: "<name a=v ...>" for an element with its attributes in
// order, "</name>" for its end; text between elements must be white space only.
QStringList Nodes(const QByteArray& xml) {
    QStringList nodes;
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        switch (r.readNext()) {
            case QXmlStreamReader::StartElement: {
                QString node = QLatin1Char('<') + r.name().toString();
                for (const QXmlStreamAttribute& a : r.attributes())
                    node += QStringLiteral(" %1=%2").arg(a.name().toString(), a.value().toString());
                nodes << node + QLatin1Char('>');
                break;
            }
            case QXmlStreamReader::EndElement:
                nodes << QStringLiteral("</%1>").arg(r.name().toString());
                break;
            case QXmlStreamReader::Characters:
                if (!r.isWhitespace())
                    nodes << QStringLiteral("text ") + r.text().toString();
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
            case QXmlStreamReader::DTD:
                nodes << QStringLiteral("unexpected ") + r.tokenString();
                break;
            default:
                break;
        }
    }
    if (r.hasError())
        nodes << QStringLiteral("error ") + r.errorString();
    return nodes;
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(PluginDescriptor, NameCarriesTheVersionInTwoDigitLowerCaseHex) {
    EXPECT_EQ(DescriptorFileName(ParseProgramVersion("2.0.0.0")), "ORMensura.02.00.orplugin");
    EXPECT_EQ(DescriptorFileName(ParseProgramVersion("2.10.0.0")), "ORMensura.02.0a.orplugin");
    EXPECT_EQ(DescriptorFileName(ParseProgramVersion("17.255")), "ORMensura.11.ff.orplugin");
    EXPECT_EQ(DescriptorFileName(ParseProgramVersion("1.4095")), "ORMensura.01.fff.orplugin");
    EXPECT_EQ(DescriptorFileName(ParseProgramVersion("3")), "ORMensura.03.00.orplugin");
}

TEST(PluginDescriptor, DocumentHoldsTheElementsAttributesAndValuesInOrder) {
    // A path with characters XML must escape comes back exactly.
    const QString program = QStringLiteral("/opt/R&D \"tools\" <x>/bin/ormensura");
    const QString icon = program + QStringLiteral(",128");
    const QStringList expected{
        "<orplugin>",
        "<general path=" + program + " icon=" + icon + " type=exe call=cmdline>",
        "</general>",
        "<plugins>",
        "<plugin>",
        "<interface icon=" + icon + " text=ORVEN Mensura|Mensura|&Mensura group=3>",
        "</interface>",
        "<special mode=browse files-type=image files-count-min=1 files-count-max=-1>",
        "</special>",
        "</plugin>",
        "</plugins>",
        "</orplugin>",
    };
    EXPECT_EQ(Nodes(DescriptorXml(program)), expected);
}

TEST(PluginDescriptor, WrittenTwiceIsOneFileAndDeletingLeavesTheFolderAsItWas) {
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    const ProgramVersion v = ParseProgramVersion("2.10");
    const QString folder = data.path() + "/ORVEN/PLUGINS";
    // Nothing to delete: harmless.
    EXPECT_FALSE(DeleteDescriptor(data.path(), v));
    EXPECT_FALSE(QDir(folder).exists());

    ASSERT_TRUE(WriteDescriptor(data.path(), "/usr/bin/ormensura", v));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile other(folder + "/Other.01.00.orplugin");  // another program's descriptor
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("<orplugin/>");
    other.close();
    ASSERT_TRUE(WriteDescriptor(data.path(), "/usr/local/bin/ormensura", v));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"ORMensura.02.0a.orplugin", "Other.01.00.orplugin"}));
    EXPECT_EQ(FileBytes(folder + "/ORMensura.02.0a.orplugin"),
              DescriptorXml("/usr/local/bin/ormensura"));

    EXPECT_TRUE(DeleteDescriptor(data.path(), v));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              QStringList{"Other.01.00.orplugin"});
    EXPECT_EQ(FileBytes(folder + "/Other.01.00.orplugin"), QByteArray("<orplugin/>"));
}

TEST(PluginDescriptor, FailuresWriteNothing) {
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    // A control character cannot stand in an XML attribute: no half-valid document.
    EXPECT_FALSE(WriteDescriptor(data.path(), QStringLiteral("/opt/a\x01/ormensura"), {2, 0}));
    EXPECT_FALSE(QFileInfo::exists(data.path() + "/ORVEN"));
    // A file where the folder should be.
    QFile blocker(data.path() + "/ORVEN");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(WriteDescriptor(data.path(), "/usr/bin/ormensura", {2, 0}));
    EXPECT_FALSE(WriteDescriptor(QString(), "/usr/bin/ormensura", {2, 0}));
}

}  // namespace
}  // namespace orm::integration
