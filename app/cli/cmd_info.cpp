// ormensura-cli info: what the "Image Info" dialog shows about a file.

#include "cli/cli_command.h"

#include "imageio/image_info_reader.h"

namespace orm::cli {
namespace {

void PrintHelp(QTextStream& out) {
    out << "Usage: ormensura-cli info [--] FILE\n\n"
           "Prints the file name, the dimensions, the number of colours and, after the line\n"
           "\"Camera details:\", one line per EXIF property as name, a tab and value: the list\n"
           "of the program's \"Image Info\" dialog.\n";
}

int RunInfo(const QStringList& given, CliStreams& io) {
    QStringList args = given;
    if (!args.isEmpty() && args.first() == QLatin1String("--"))
        args.removeFirst();  // the end of the options: a name starting with '-' follows
    else if (args.contains("--help") || args.contains("-h")) {
        PrintHelp(io.out);
        return kExitOk;
    }
    if (args.size() != 1) {
        io.err << "info: exactly one image file expected\n";
        PrintHelp(io.err);
        return kExitBadArguments;
    }
    QString error;
    const std::optional<ImageInfo> info = ReadImageInfo(args.first(), &error);
    if (!info) {
        io.err << "info: can't open file " << args.first() << ": " << error << "\n";
        return kExitInputFailed;
    }
    io.out << "File Name : " << info->path << "\n";
    io.out << "Dimensions : " << FormatDimensions(uint32_t(info->width), uint32_t(info->height))
           << "\n";
    io.out << "Colors : " << FormatColorCount(info->bitsPerPixel) << "\n";
    if (!info->note.isEmpty())
        io.out << "Note : " << info->note << "\n";
    io.out << "Camera details:\n";
    for (const InfoProperty& p : info->properties) io.out << p.name << "\t" << p.value << "\n";
    return kExitOk;
}

}  // namespace

CliCommand InfoCommand() {
    return {QStringLiteral("info"),
            QStringLiteral("print a file's dimensions, colours and camera details"), RunInfo};
}

}  // namespace orm::cli
