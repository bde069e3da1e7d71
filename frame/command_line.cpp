#include "frame/command_line.h"

#include "imageio/image_file_types.h"

namespace orm::gui {

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine cl;
    bool onlyFiles = false;
    for (const QString& arg : arguments) {
        if (!onlyFiles && arg == QLatin1String("--")) {
            onlyFiles = true;
        } else if (!onlyFiles && (arg == QLatin1String("--help") || arg == QLatin1String("-h"))) {
            cl.help = true;
        } else if (!onlyFiles && arg == QLatin1String("--version")) {
            cl.version = true;
        } else if (!onlyFiles && arg == QLatin1String("--register")) {
            cl.registerPlugin = true;
        } else if (!onlyFiles && arg == QLatin1String("--unregister")) {
            cl.unregisterPlugin = true;
        } else if (!onlyFiles && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            cl.unknownSwitches.append(arg);
        } else if (IsSupportedImage(arg)) {
            cl.files.append(arg);
        } else {
            cl.ignored.append(arg);
        }
    }
    return cl;
}

QString CommandLineHelp() {
    return QStringLiteral(
               "Usage: ormensura [options] [image files]\n"
               "  One image file (%1) is\n"
               "  opened; several become a batch.\n"
               "Options:\n"
               "  --register     write the plug-in descriptor and quit\n"
               "  --unregister   delete the plug-in descriptor and quit\n"
               "  --version      print the version and quit\n"
               "  --help         print this text and quit\n")
        .arg(ImageFileExtensions().join(QLatin1Char(' ')));
}

}  // namespace orm::gui
