#pragma once
// The options of `ormensura-cli resize` and `ormensura-cli batch`: what size each input gets and
// where and how the outputs are written. Parsing only; resize_run.h runs them.

#include "batch/batch_entry.h"
#include "settings/batch_settings.h"
#include "settings/resize_settings.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace orm::cli {

// How the target size of each input is given.
enum class SizeKind {
    None,     // only --settings (or nothing)
    Box,      // --width and/or --height
    Percent,  // --percent P or PxQ
    Print,    // --print WxH with --units
    Paper,    // --paper LABEL
    Screen,   // --screen LABEL
};

struct SizeRequest {
    SizeKind kind = SizeKind::None;
    std::optional<int> width;  // Box: either or both
    std::optional<int> height;
    double percentWidth = 100;  // Percent
    double percentHeight = 100;
    double printWidth = 0;  // Print, in `units`
    double printHeight = 0;
    int units = 0;              // SizeUnit
    QString preset;             // the canonical label of Paper or Screen
    std::optional<double> dpi;  // --dpi; otherwise the named settings' or the source's own
    std::optional<int> correction;
    std::optional<ResizeAlgorithm> algorithm;
    std::optional<ResizeSettings> named;  // --settings NAME, loaded
    QString namedName;
};

struct OutputRequest {
    QString output;           // -o: a file or a folder
    bool sameFolder = false;  // --same-folder
    bool newName = false;     // --new-name
    int format = 0;           // --format: index into OutputFormats()
    int quality = 75;         // --quality
    OverwriteMethod overwrite = OverwriteMethod::Overwrite;
    bool dryRun = false;
    bool quiet = false;
    bool timings = false;
    bool acceptDamaged =
        false;                // --accept-damaged: a cut-off input does not make the exit status 1
    bool fastDecode = false;  // --fast-decode: JPEGs decoded at 1/2, 1/4 or 1/8 of their size
};

struct ResizeCommandLine {
    QStringList inputs;
    SizeRequest size;
    OutputRequest output;
};

struct BatchCommandLine {
    QString batch;  // a .mnb file or the name of a saved batch
    OutputRequest output;
};

// Each returns an error text for the user, empty when the arguments are complete. "--" ends the
// options: every argument after it is a file, even one that starts with '-'.
QString ParseResizeCommandLine(const QStringList& args, ResizeCommandLine& cmd);
QString ParseBatchCommandLine(const QStringList& args, BatchCommandLine& cmd);

// Individual values, for the parsers and their tests.
std::optional<ResizeAlgorithm> ParseAlgorithmArg(
    const QString& text);                                    // 0..7 or a name, case ignored
std::optional<int> ParseCorrectionArg(const QString& text);  // keep, crop, none
std::optional<int> ParseUnitsArg(const QString& text);       // in, mm, cm, picas, pt
std::optional<int> ParseFormatArg(const QString& text);      // keep, jpg, tif, bmp, png, gif, webp
std::optional<OverwriteMethod> ParseOverwriteArg(const QString& text);  // skip, overwrite, unique
// "P" or "PxQ" (percents above 0).
bool ParsePercentArg(const QString& text, double& pw, double& ph);
// "WxH" (positive decimals).
bool ParsePairArg(const QString& text, double& a, double& b);

// The entry of one input under the size request. image: the input's size and resolution, none
// when it cannot be read (the run then reports it).
BatchEntry EntryForInput(const QString& path, const SizeRequest& size,
                         const std::optional<ImageProbe>& image);

}  // namespace orm::cli
