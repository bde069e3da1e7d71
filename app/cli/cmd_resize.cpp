// ormensura-cli resize IN -o OUT --width W --height H [--algorithm N] [--correction keep|crop|none]

#include "cli/cli_command.h"
#include "cli/cli_image_io.h"

#include "engine/resize_image.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdint>

namespace orm::cli {
namespace {

enum class Correction { Keep, Crop, None };

struct ResizeArgs {
    QString input;
    QString output;
    int width = 0;
    int height = 0;
    int algorithm = engine::kAlgorithmHighQualityBicubic;
    Correction correction = Correction::Keep;
};

const char* const kUsage =
    "Usage: ormensura-cli resize IN -o OUT --width W --height H [--algorithm N|NAME]\n"
    "                            [--correction keep|crop|none]\n"
    "\n"
    "Resizes IN (any image the program reads) and writes OUT (PNG, BMP, JPG or TIF by its\n"
    "extension).\n"
    "  --width W, --height H   the target box in pixels (3 .. 100000)\n"
    "  --algorithm N|NAME      0 Nearest Neighbor, 1 Bilinear, 2 High Quality Bilinear,\n"
    "                          3 Bicubic, 4 High Quality Bicubic (default),\n"
    "                          5 Smart for Artificial Scenes, 6 Smart for Natural Scenes,\n"
    "                          7 Advanced for Natural Scenes\n"
    "  --correction MODE       keep (default): fit the box at the source's aspect;\n"
    "                          crop: fill the box and cut the centre; none: stretch to the box\n";

constexpr int kMinSide = 3;
constexpr int kMaxSide = 100000;

bool ParseAlgorithm(const QString& text, int& algorithm) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (ok && n >= 0 && n < engine::kAlgorithmCount) {
        algorithm = n;
        return true;
    }
    for (int i = 0; i < engine::kAlgorithmCount; ++i)
        if (text.compare(QString::fromLatin1(engine::AlgorithmName(i)), Qt::CaseInsensitive) == 0) {
            algorithm = i;
            return true;
        }
    return false;
}

bool ParseSide(const QString& text, int& side) {
    bool ok = false;
    side = text.toInt(&ok);
    return ok && side >= kMinSide && side <= kMaxSide;
}

// Returns an error text, empty when the arguments are complete.
QString Parse(const QStringList& args, ResizeArgs& a) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        auto value = [&](QString& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        QString v;
        if (arg == "-o" || arg == "--output") {
            if (!value(a.output))
                return "-o needs a file name";
        } else if (arg == "--width" || arg == "--height") {
            int& side = arg == "--width" ? a.width : a.height;
            if (!value(v) || !ParseSide(v, side))
                return arg + " needs a number of pixels from 3 to 100000";
        } else if (arg == "--algorithm") {
            if (!value(v) || !ParseAlgorithm(v, a.algorithm))
                return "--algorithm needs 0..7 or an algorithm's name";
        } else if (arg == "--correction") {
            if (!value(v))
                return "--correction needs keep, crop or none";
            if (v == "keep")
                a.correction = Correction::Keep;
            else if (v == "crop")
                a.correction = Correction::Crop;
            else if (v == "none")
                a.correction = Correction::None;
            else
                return "--correction needs keep, crop or none";
        } else if (arg.startsWith('-') && arg.size() > 1) {
            return "unknown option " + arg;
        } else if (a.input.isEmpty()) {
            a.input = arg;
        } else {
            return "only one input file is taken";
        }
    }
    if (a.input.isEmpty())
        return "no input file";
    if (a.output.isEmpty())
        return "no output file (-o)";
    if (a.width == 0 || a.height == 0)
        return "--width and --height are needed";
    return {};
}

// Fits the box into the source's aspect, as the program does for Keep aspect.
void FitToAspect(int sw, int sh, int& w, int& h) {
    if (std::int64_t(w) * sh < std::int64_t(sw) * h)
        h = int(std::int64_t(w) * sh / sw);
    else
        w = int(std::int64_t(h) * sw / sh);
    w = std::max(w, kMinSide);
    h = std::max(h, kMinSide);
}

int RunResize(const QStringList& args, CliStreams& io) {
    if (args.contains("--help") || args.contains("-h")) {
        io.out << kUsage;
        return kExitOk;
    }
    ResizeArgs a;
    if (const QString error = Parse(args, a); !error.isEmpty()) {
        io.err << "ormensura-cli resize: " << error << "\n" << kUsage;
        return kExitBadArguments;
    }
    QString error;
    std::optional<engine::BgrImage> source = LoadBgrImage(a.input, &error);
    if (!source) {
        io.err << "ormensura-cli: " << a.input << ": " << error << "\n";
        return kExitInputFailed;
    }
    int w = a.width, h = a.height;
    if (a.correction == Correction::Keep)
        FitToAspect(source->Width(), source->Height(), w, h);
    engine::ResizeOutcome out = engine::ResizeImage(source->View(), w, h, a.algorithm,
                                                    a.correction == Correction::Crop, nullptr);
    if (out.status != engine::ResizeStatus::Ok) {
        io.err << "ormensura-cli: " << a.input << ": "
               << (out.status == engine::ResizeStatus::OutOfMemory
                       ? "not enough memory for this size"
                       : "the resize failed")
               << "\n";
        return kExitStopped;
    }
    if (!SaveBgrImage(out.image, a.output, &error)) {
        io.err << "ormensura-cli: " << a.output << ": " << error << "\n";
        return kExitStopped;
    }
    return kExitOk;
}

const CliCommandRegistration registration{
    {"resize", "resize an image with one of the eight algorithms", RunResize}};

}  // namespace
}  // namespace orm::cli
