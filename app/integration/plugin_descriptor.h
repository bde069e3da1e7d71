#pragma once
// The plug-in descriptor: a small XML file in the shared plug-in folder that tells host programs
// of the same maker how to start the program, which icon and menu text to show, and that it takes
// one or more image files picked in the host's browser.

#include <QByteArray>
#include <QString>

namespace orm::integration {

struct ProgramVersion {
    quint16 major = 0;
    quint16 minor = 0;
};

// The first two numbers of a version text such as "2.10.0.0" (missing or unreadable parts are 0).
ProgramVersion ParseProgramVersion(const QString& text);

// "ORMensura.%02hx.%02hx.orplugin": ORMensura.02.00.orplugin for 2.0, ORMensura.02.0a.orplugin
// for 2.10.
QString DescriptorFileName(ProgramVersion version);

// The plug-in folder under a data folder: <data>/ORVEN/PLUGINS.
QString PluginFolder(const QString& dataFolder);

// The descriptor's document for the program at programPath: orplugin > general (path, icon,
// type, call), plugins > plugin > interface (icon, text, group) and special (mode, files-type,
// files-count-min, files-count-max), attributes in that order.
QByteArray DescriptorXml(const QString& programPath);

// Writes the descriptor into <dataFolder>/ORVEN/PLUGINS/ (made when missing) through a
// temporary file that replaces the old one only when complete. False on any failure; the caller
// stays silent about it.
bool WriteDescriptor(const QString& dataFolder, const QString& programPath, ProgramVersion version);

// Deletes the descriptor; false when there was none or it could not be deleted.
bool DeleteDescriptor(const QString& dataFolder, ProgramVersion version);

}  // namespace orm::integration
