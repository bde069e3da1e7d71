#include "cli/resize_options.h"

#include "cli/input_list.h"

#include "settings/number_text.h"
#include "settings/presets.h"
#include "settings/settings_file.h"
#include "settings/size_math.h"
#include "settings/size_rules.h"

#include "imageio/image_file_types.h"
#include "imageio/output_formats.h"
#include "pipeline/output_encoding.h"

#include <algorithm>
#include <cmath>

namespace orm::cli {

namespace {

constexpr const char* kUnitNames[] = {"in", "mm", "cm", "picas", "pt"};

std::optional<double> PositiveReal(const QString& text) {
    const std::optional<double> v = ParseReal(text);
    if (!v || !std::isfinite(*v) || *v <= 0)
        return std::nullopt;
    return v;
}

// Walks the arguments; options taking a value read the next one. After "--" every argument is
// an operand (Operand() is true and "--" itself is skipped).
class ArgWalker {
  public:
    explicit ArgWalker(const QStringList& args) : args_(args) {}
    bool Next() {
        ++i_;
        if (!operandsOnly_ && i_ < args_.size() && args_[i_] == QLatin1String("--")) {
            operandsOnly_ = true;
            ++i_;
        }
        return i_ < args_.size();
    }
    const QString& Current() const { return args_[i_]; }
    // The current argument is a file, not an option.
    bool Operand() const {
        return operandsOnly_ || !args_[i_].startsWith(QLatin1Char('-')) || args_[i_].size() == 1;
    }
    // The value of the current option; false when it is missing.
    bool Value(QString& out) {
        if (i_ + 1 >= args_.size())
            return false;
        out = args_[++i_];
        return true;
    }

  private:
    const QStringList& args_;
    qsizetype i_ = -1;
    bool operandsOnly_ = false;
};

// The output options both commands share. Returns true when arg was one of them (error set
// when its value is bad).
bool ParseOutputOption(const QString& arg, ArgWalker& w, OutputRequest& out, QString& error) {
    QString v;
    if (arg == QLatin1String("-o") || arg == QLatin1String("--output")) {
        if (!w.Value(out.output) || out.output.isEmpty())
            error = QStringLiteral("-o needs a file or folder");
    } else if (arg == QLatin1String("--same-folder")) {
        out.sameFolder = true;
    } else if (arg == QLatin1String("--new-name")) {
        out.newName = true;
    } else if (arg == QLatin1String("--format")) {
        const auto f = w.Value(v) ? ParseFormatArg(v) : std::nullopt;
        if (!f)
            error = QStringLiteral("--format needs %1").arg(OutputFormatNamesText());
        else
            out.format = *f;
    } else if (arg == QLatin1String("--quality")) {
        const auto q = w.Value(v) ? ParseUnsigned(v) : std::nullopt;
        if (!q || *q < 1 || *q > 100) {
            error = QStringLiteral("--quality needs an integer from 1 to 100");
        } else {
            out.quality = static_cast<int>(*q);
            out.qualityGiven = true;
        }
    } else if (arg == QLatin1String("--overwrite") || arg == QLatin1String("--exists")) {
        const auto m = w.Value(v) ? ParseOverwriteArg(v) : std::nullopt;
        if (!m)
            error = arg + QStringLiteral(" needs skip, overwrite or unique");
        else
            out.overwrite = *m;
    } else if (arg == QLatin1String("--log-json")) {
        if (!w.Value(out.logJson) || out.logJson.isEmpty())
            error = QStringLiteral("--log-json needs a file (- for standard output)");
    } else if (arg == QLatin1String("--dry-run")) {
        out.dryRun = true;
    } else if (arg == QLatin1String("--quiet") || arg == QLatin1String("-q")) {
        out.quiet = true;
    } else if (arg == QLatin1String("--timings")) {
        out.timings = true;
    } else if (arg == QLatin1String("--accept-damaged")) {
        out.acceptDamaged = true;
    } else if (arg == QLatin1String("--fast-decode")) {
        out.fastDecode = true;
    } else if (arg == QLatin1String("--no-enlarge")) {
        out.noEnlarge = true;
    } else if (arg == QLatin1String("--strip")) {
        const auto policy = w.Value(v) ? ParseMetadataPolicy(v) : std::nullopt;
        if (!policy)
            error = QStringLiteral("--strip needs none, location or all");
        else
            out.options.strip = *policy;
    } else if (arg == QLatin1String("--to-srgb")) {
        out.options.toSrgb = true;
    } else if (arg == QLatin1String("--linear")) {
        out.options.linear = true;
    } else if (arg == QLatin1String("--keep-time")) {
        out.options.keepTime = true;
    } else if (arg == QLatin1String("--background")) {
        const auto colour = w.Value(v) ? ParseBackgroundColour(v) : std::nullopt;
        if (!colour)
            error = QStringLiteral("--background needs a colour: #rrggbb or a name such as black");
        else
            out.options.background = *colour;
    } else if (arg == QLatin1String("--max-bytes")) {
        const auto n = w.Value(v) ? ParseByteSizeArg(v) : std::nullopt;
        if (!n)
            error = QStringLiteral("--max-bytes needs a file size such as 500000, 500k or 2M");
        else
            out.maxBytes = *n;
    } else {
        return false;
    }
    return true;
}

QString CheckOutput(const OutputRequest& out) {
    if (out.dryRun && !out.logJson.isEmpty())
        return QStringLiteral("--log-json records a run: it does not go with --dry-run");
    if (!out.logJson.isEmpty() && out.logJson != QLatin1String("-") &&
        IsSupportedImage(out.logJson))
        return QStringLiteral("--log-json names an image file: give the log a name of its own");
    if (out.sameFolder && !out.output.isEmpty())
        return QStringLiteral("-o and --same-folder exclude each other");
    const OutputFormat* format = OutputFormatAtIndex(out.format);
    if (out.maxBytes > 0 && format) {
        if (format->quality == QualityUse::None)
            return QStringLiteral(
                "--max-bytes needs JPEG or WebP outputs: the quality of other formats does not set "
                "their size");
    }
    return {};
}

void SetKind(SizeRequest& size, SizeKind kind, QString& error) {
    if (size.kind != SizeKind::None && size.kind != kind)
        error = QStringLiteral(
            "give the size one way only: --width/--height, --percent, --print, --paper, "
            "--screen, or --size and --long-edge");
    size.kind = kind;
}

template <class Preset>
std::optional<QString> FindLabel(std::span<const Preset> presets, const QString& text) {
    for (const Preset& p : presets) {
        const QString label =
            QString::fromLatin1(p.label.data(), static_cast<qsizetype>(p.label.size()));
        if (label.compare(text, Qt::CaseInsensitive) == 0)
            return label;
    }
    return std::nullopt;
}

int32_t AtLeastMin(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, kMinPixels, kMaxPixels));
}

// The size options of `resize`. Returns true when arg was one of them (error set when its value
// is bad).
bool ParseSizeOption(const QString& arg, ArgWalker& w, SizeRequest& size, bool& printGiven,
                     QString& error) {
    QString v;
    if (arg == QLatin1String("--size")) {
        double a = 0, b = 0;
        if (!w.Value(v) || !ParsePairArg(v, a, b) || a != std::floor(a) || b != std::floor(b) ||
            a < kMinPixels || b < kMinPixels || a > kMaxPixels || b > kMaxPixels) {
            error = QStringLiteral("--size needs WxH in pixels (3 .. 100000 each)");
            return true;
        }
        size.choices.push_back({int(a), int(b), 0});
        SetKind(size, SizeKind::Choices, error);
    } else if (arg == QLatin1String("--long-edge")) {
        const auto n = w.Value(v) ? ParseUnsigned(v) : std::nullopt;
        if (!n || *n < kMinPixels || *n > kMaxPixels) {
            error = QStringLiteral("--long-edge needs a number of pixels from 3 to 100000");
            return true;
        }
        size.choices.push_back({0, 0, int(*n)});
        SetKind(size, SizeKind::Choices, error);
    } else if (arg == QLatin1String("--width") || arg == QLatin1String("--height")) {
        const auto n = w.Value(v) ? ParseUnsigned(v) : std::nullopt;
        if (!n || *n < kMinPixels || *n > kMaxPixels) {
            error = arg + QStringLiteral(" needs a number of pixels from 3 to 100000");
            return true;
        }
        (arg == QLatin1String("--width") ? size.width : size.height) = static_cast<int>(*n);
        SetKind(size, SizeKind::Box, error);
    } else if (arg == QLatin1String("--percent")) {
        if (!w.Value(v) || !ParsePercentArg(v, size.percentWidth, size.percentHeight)) {
            error = QStringLiteral("--percent needs P or PxQ (percents above 0)");
            return true;
        }
        SetKind(size, SizeKind::Percent, error);
    } else if (arg == QLatin1String("--print")) {
        if (!w.Value(v) || !ParsePairArg(v, size.printWidth, size.printHeight)) {
            error = QStringLiteral("--print needs WxH (a print size in --units)");
            return true;
        }
        printGiven = true;
        SetKind(size, SizeKind::Print, error);
    } else if (arg == QLatin1String("--units")) {
        const auto u = w.Value(v) ? ParseUnitsArg(v) : std::nullopt;
        if (!u) {
            error = QStringLiteral("--units needs in, mm, cm, picas or pt");
            return true;
        }
        size.units = *u;
    } else if (arg == QLatin1String("--paper")) {
        const auto label = w.Value(v) ? FindLabel(PaperPresets(), v) : std::nullopt;
        if (!label) {
            error = QStringLiteral(
                "--paper needs the label of a paper size, e.g. \"A4 (210x297 mm)\" "
                "(see 'ormensura-cli presets')");
            return true;
        }
        size.preset = *label;
        SetKind(size, SizeKind::Paper, error);
    } else if (arg == QLatin1String("--screen")) {
        const auto label = w.Value(v) ? FindLabel(ScreenPresets(), v) : std::nullopt;
        if (!label) {
            error = QStringLiteral(
                "--screen needs the label of a screen size, e.g. \"HD (1920x1080)\" "
                "(see 'ormensura-cli presets')");
            return true;
        }
        size.preset = *label;
        SetKind(size, SizeKind::Screen, error);
    } else if (arg == QLatin1String("--settings")) {
        if (!w.Value(v) || v.isEmpty()) {
            error = QStringLiteral("--settings needs the name of saved settings");
            return true;
        }
        ResizeSettings named;
        QString why;
        if (!LoadNamedSettings(v, named, &why)) {
            error = QStringLiteral("--settings %1: %2").arg(v, why);
            return true;
        }
        size.named = named;
        size.namedName = v;
    } else {
        return false;
    }
    return true;
}

// The options of `resize` that say how each output is made besides its size.
bool ParseResizeOption(const QString& arg, ArgWalker& w, SizeRequest& size, QString& error) {
    QString v;
    if (arg == QLatin1String("--centred")) {
        size.centred = true;
    } else if (arg == QLatin1String("--dpi")) {
        const auto d = w.Value(v) ? PositiveReal(v) : std::nullopt;
        if (!d || *d < kMinDpi || *d > kMaxDpi) {
            error = QStringLiteral("--dpi needs a resolution from 1 to 100000 dots per inch");
            return true;
        }
        size.dpi = *d;
    } else if (arg == QLatin1String("--correction")) {
        const auto c = w.Value(v) ? ParseCorrectionArg(v) : std::nullopt;
        if (!c) {
            error = QStringLiteral("--correction needs keep, crop or none");
            return true;
        }
        size.correction = *c;
    } else if (arg == QLatin1String("--algorithm")) {
        const auto a = w.Value(v) ? ParseAlgorithmArg(v) : std::nullopt;
        if (!a) {
            error = QStringLiteral("--algorithm needs 0..7 or an algorithm's name");
            return true;
        }
        size.algorithm = *a;
    } else {
        return false;
    }
    return true;
}

// The options of `resize` that say which files are inputs.
bool ParseInputOption(const QString& arg, ArgWalker& w, ResizeCommandLine& cmd, QString& error) {
    QString v;
    if (arg == QLatin1String("-r") || arg == QLatin1String("--recursive")) {
        cmd.recursive = true;
    } else if (arg == QLatin1String("--files-from")) {
        if (!w.Value(cmd.filesFrom) || cmd.filesFrom.isEmpty())
            error = QStringLiteral("--files-from needs a file (- for standard input)");
    } else if (arg == QLatin1String("-0") || arg == QLatin1String("--null")) {
        cmd.nulSeparated = true;
    } else if (arg == QLatin1String("--shard")) {
        const auto shard = w.Value(v) ? ParseShardArg(v) : std::nullopt;
        if (!shard)
            error = QStringLiteral("--shard needs K/N with 1 <= K <= N, e.g. 2/8");
        else
            cmd.shard = *shard;
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::optional<ResizeAlgorithm> ParseAlgorithmArg(const QString& text) {
    if (const auto n = ParseUnsigned(text); n && *n < kAlgorithmCount)
        return AlgorithmFromIndex(static_cast<int>(*n));
    for (int i = 0; i < kAlgorithmCount; ++i) {
        const ResizeAlgorithm a = *AlgorithmFromIndex(i);
        if (text.compare(QLatin1String(engine::AlgorithmName(a)), Qt::CaseInsensitive) == 0)
            return a;
    }
    return std::nullopt;
}

std::optional<int> ParseCorrectionArg(const QString& text) {
    const QString t = text.toLower();
    if (t == QLatin1String("keep"))
        return 0;
    if (t == QLatin1String("crop"))
        return 1;
    if (t == QLatin1String("none"))
        return 2;
    return std::nullopt;
}

std::optional<int> ParseUnitsArg(const QString& text) {
    for (int i = 0; i < kSizeUnitCount; ++i)
        if (text.compare(QLatin1String(kUnitNames[i]), Qt::CaseInsensitive) == 0)
            return i;
    return std::nullopt;
}

std::optional<int> ParseFormatArg(const QString& text) {
    const int index = OutputFormatIndexByName(text);
    if (index < 0)
        return std::nullopt;
    return index;
}

std::optional<OverwriteMethod> ParseOverwriteArg(const QString& text) {
    const QString t = text.toLower();
    if (t == QLatin1String("skip"))
        return OverwriteMethod::Skip;
    if (t == QLatin1String("overwrite"))
        return OverwriteMethod::Overwrite;
    if (t == QLatin1String("unique"))
        return OverwriteMethod::Unique;
    return std::nullopt;
}

bool ParsePairArg(const QString& text, double& a, double& b) {
    const qsizetype x = text.indexOf(QLatin1Char('x'), 0, Qt::CaseInsensitive);
    if (x < 0)
        return false;
    const auto first = PositiveReal(text.left(x));
    const auto second = PositiveReal(text.mid(x + 1));
    if (!first || !second)
        return false;
    a = *first;
    b = *second;
    return true;
}

std::optional<qint64> ParseByteSizeArg(const QString& text) {
    QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('B'), Qt::CaseInsensitive))
        t.chop(1);
    qint64 unit = 1;
    if (t.endsWith(QLatin1Char('k'), Qt::CaseInsensitive))
        unit = 1024;
    else if (t.endsWith(QLatin1Char('m'), Qt::CaseInsensitive))
        unit = 1024 * 1024;
    if (unit != 1)
        t.chop(1);
    // 1 TiB: far above any image file, and far below where the products would overflow.
    constexpr double kMost = 1099511627776.0;
    if (unit == 1) {
        const auto n = ParseUnsigned(t);
        if (!n || *n < 1 || double(*n) > kMost)
            return std::nullopt;
        return qint64(*n);
    }
    const auto v = PositiveReal(t);
    if (!v || *v * double(unit) > kMost || *v * double(unit) < 1)
        return std::nullopt;
    return qint64(*v * double(unit));
}

bool ParsePercentArg(const QString& text, double& pw, double& ph) {
    if (text.contains(QLatin1Char('x'), Qt::CaseInsensitive))
        return ParsePairArg(text, pw, ph);
    const auto p = PositiveReal(text);
    if (!p)
        return false;
    pw = ph = *p;
    return true;
}

QString ParseResizeCommandLine(const QStringList& args, ResizeCommandLine& cmd) {
    SizeRequest& size = cmd.size;
    ArgWalker w(args);
    QString error;
    bool printGiven = false;
    while (error.isEmpty() && w.Next()) {
        const QString arg = w.Current();
        if (w.Operand())
            cmd.inputs.append(arg);
        else if (!ParseOutputOption(arg, w, cmd.output, error) &&
                 !ParseInputOption(arg, w, cmd, error) &&
                 !ParseSizeOption(arg, w, size, printGiven, error) &&
                 !ParseResizeOption(arg, w, size, error))
            error = QStringLiteral("unknown option ") + arg +
                    QStringLiteral(" (put -- before a file whose name starts with -)");
    }
    if (!error.isEmpty())
        return error;
    if (size.units != 0 && !printGiven)
        return QStringLiteral("--units goes with --print");
    if (cmd.inputs.isEmpty() && cmd.filesFrom.isEmpty())
        return QStringLiteral("no input file");
    if (cmd.nulSeparated && cmd.filesFrom.isEmpty())
        return QStringLiteral("-0 goes with --files-from");
    if (size.kind == SizeKind::None && !size.named)
        return QStringLiteral(
            "no size: give --width/--height, --size, --long-edge, --percent, --print, --paper, "
            "--screen or --settings");
    return CheckOutput(cmd.output);
}

QString ParseBatchCommandLine(const QStringList& args, BatchCommandLine& cmd) {
    ArgWalker w(args);
    QString error;
    while (error.isEmpty() && w.Next()) {
        const QString arg = w.Current();
        if (!w.Operand() && ParseOutputOption(arg, w, cmd.output, error))
            continue;
        if (!w.Operand())
            error = QStringLiteral("unknown option ") + arg +
                    QStringLiteral(" (put -- before a file whose name starts with -)");
        else if (cmd.batch.isEmpty())
            cmd.batch = arg;
        else
            error = QStringLiteral("only one batch is taken");
    }
    if (!error.isEmpty())
        return error;
    if (cmd.batch.isEmpty())
        return QStringLiteral("no batch file or name");
    return CheckOutput(cmd.output);
}

BatchEntry EntryForInput(const QString& path, const SizeRequest& size,
                         const std::optional<ImageProbe>& image) {
    ResizeSettings s = size.named.value_or(ResizeSettings{});
    s.inPercent = 0;
    if (!size.named)
        s.dpi = static_cast<float>(image ? image->dpiX : 96.0);
    if (size.dpi)
        s.dpi = static_cast<float>(*size.dpi);
    if (!std::isfinite(s.dpi) || s.dpi < kMinDpi)
        s.dpi = 96;
    if (size.correction)
        s.correction = *size.correction;
    if (size.algorithm)
        s.algorithm = *size.algorithm;
    if (size.centred)
        s.centred = 1;

    SourceImageInfo src;
    if (image && image->width > 0 && image->height > 0) {
        src.present = true;
        src.width = image->width;
        src.height = image->height;
        src.horizontalDpi = image->dpiX;
    }

    BatchEntry entry = NewBatchEntry(s, path);
    switch (size.kind) {
        case SizeKind::None:
            ApplyCurrentSettings(entry, s, image);
            break;
        case SizeKind::Percent:
            s.inPercent = 1;
            s.percentWidth = size.percentWidth;
            s.percentHeight = size.percentHeight;
            ApplyCurrentSettings(entry, s, image);
            break;
        case SizeKind::Box:
            if (size.width && size.height) {
                s.width = *size.width;
                s.height = *size.height;
                ApplyCurrentSettings(entry, s, image);
            } else {
                // One side given: the other follows the source's aspect.
                const int64_t given = size.width ? *size.width : *size.height;
                int64_t other = given;
                if (src.present)
                    other = size.width ? given * src.height / src.width
                                       : given * src.width / src.height;
                s.width = static_cast<int32_t>(size.width ? given : AtLeastMin(other));
                s.height = static_cast<int32_t>(size.width ? AtLeastMin(other) : given);
                ApplyCurrentSettings(entry, s, image);
                entry.width = s.width;
                entry.height = s.height;
            }
            break;
        case SizeKind::Print:
            s.width = PrintToPixels(size.printWidth, s.dpi, size.units);
            s.height = PrintToPixels(size.printHeight, s.dpi, size.units);
            s.width = std::min(s.width, kMaxPixels);
            s.height = std::min(s.height, kMaxPixels);
            ApplyCurrentSettings(entry, s, image);
            break;
        case SizeKind::Paper: {
            const std::string label = size.preset.toStdString();
            ApplyPaperPreset(s, src, label);
            ApplyCurrentSettings(entry, s, std::nullopt);  // the preset has fitted the box already
            break;
        }
        case SizeKind::Screen:
            for (const ScreenPreset& p : ScreenPresets())
                if (QLatin1String(p.label.data(), static_cast<qsizetype>(p.label.size())) ==
                    size.preset)
                    ApplyScreenPreset(s, src, p);
            ApplyCurrentSettings(entry, s, std::nullopt);
            break;
        case SizeKind::Choices: {
            const SizeChoice choice = size.choices.empty() ? SizeChoice{} : size.choices.front();
            if (choice.longEdge > 0) {
                s.width = s.height = choice.longEdge;
                s.longEdge = 1;
            } else {
                s.width = std::clamp(choice.width, kMinPixels, kMaxPixels);
                s.height = std::clamp(choice.height, kMinPixels, kMaxPixels);
            }
            ApplyCurrentSettings(entry, s, image);
            break;
        }
    }
    return entry;
}

std::vector<BatchEntry> EntriesForInput(const QString& path, const SizeRequest& size,
                                        const std::optional<ImageProbe>& image, bool noEnlarge) {
    if (size.kind != SizeKind::Choices || size.choices.size() < 2)
        return {EntryForInput(path, size, image)};
    std::vector<BatchEntry> entries;
    std::vector<PixelSize> made;
    for (const SizeChoice& choice : size.choices) {
        SizeRequest one = size;
        one.choices = {choice};
        BatchEntry entry = EntryForInput(path, one, image);
        PixelSize written{entry.width, entry.height};
        if (noEnlarge && image)
            written = NeverEnlarged(written, {image->width, image->height});
        if (std::find(made.begin(), made.end(), written) != made.end())
            continue;  // the same file again
        made.push_back(written);
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace orm::cli
