// ormensura-cli presets: the predefined screen sizes, paper sizes and resolutions.

#include "cli/cli_command.h"

#include "settings/number_text.h"
#include "settings/presets.h"

namespace orm::cli {
namespace {

void PrintHelp(QTextStream& out) {
    out << "Usage: ormensura-cli presets [screen|paper|resolution]\n\n"
           "Lists the predefined sizes and resolutions by the labels the program shows,\n"
           "with the size or resolution each stands for. Without an argument all three lists.\n";
}

void PrintScreen(QTextStream& out) {
    out << "Screen sizes:\n";
    for (const ScreenPreset& p : ScreenPresets()) {
        const QString label = QString::fromUtf8(p.label.data(), qsizetype(p.label.size()));
        if (p.originalSize)
            out << "  " << label.leftJustified(40) << "the source size\n";
        else
            out << "  " << label.leftJustified(40) << p.width << " x " << p.height << " pixels\n";
    }
}

void PrintPaper(QTextStream& out) {
    out << "Paper sizes:\n";
    for (const PaperPreset& p : PaperPresets()) {
        const QString label = QString::fromUtf8(p.label.data(), qsizetype(p.label.size()));
        const auto paper = ParsePaperLabel(p.label);
        out << "  " << label.leftJustified(40);
        if (paper)
            out << QFormatG(paper->width) << " x " << QFormatG(paper->height)
                << (paper->metric ? " mm" : " in");
        out << "\n";
    }
}

void PrintResolution(QTextStream& out) {
    out << "Resolutions:\n";
    for (const ResolutionPreset& p : ResolutionPresets()) {
        const QString label = QString::fromUtf8(p.label.data(), qsizetype(p.label.size()));
        out << "  " << label.leftJustified(40);
        switch (p.kind) {
            case ResolutionPresetKind::DefaultPrinter:
                // The command-line tool has no printer back end.
                out << QStringLiteral("unavailable: no default printer");
                break;
            case ResolutionPresetKind::Original:
                out << "the source image's resolution";
                break;
            case ResolutionPresetKind::Fixed:
                out << QFormatG(*ResolutionPresetDpi(p, {})) << " dpi";
                break;
        }
        out << "\n";
    }
}

int RunPresets(const QStringList& args, CliStreams& io) {
    if (args.contains("--help") || args.contains("-h")) {
        PrintHelp(io.out);
        return kExitOk;
    }
    if (args.size() > 1) {
        io.err << "presets: at most one list name expected\n";
        PrintHelp(io.err);
        return kExitBadArguments;
    }
    const QString which = args.isEmpty() ? QString() : args.first();
    if (!which.isEmpty() && which != "screen" && which != "paper" && which != "resolution") {
        io.err << "presets: unknown list '" << which << "' (screen, paper or resolution)\n";
        return kExitBadArguments;
    }
    bool first = true;
    auto section = [&](const char* name, void (*print)(QTextStream&)) {
        if (!which.isEmpty() && which != QLatin1String(name))
            return;
        if (!first)
            io.out << "\n";
        first = false;
        print(io.out);
    };
    section("screen", PrintScreen);
    section("paper", PrintPaper);
    section("resolution", PrintResolution);
    return kExitOk;
}

}  // namespace

CliCommand PresetsCommand() {
    return {QStringLiteral("presets"),
            QStringLiteral("list the predefined screen sizes, paper sizes and resolutions"),
            RunPresets};
}

}  // namespace orm::cli
