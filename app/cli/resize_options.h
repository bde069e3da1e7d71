#pragma once
// The options of `ormensura-cli resize` and `ormensura-cli batch`: what size each input gets and
// where and how the outputs are written. Parsing only; resize_run.h runs them.

#include "cli/input_list.h"

#include "batch/batch_entry.h"
#include "settings/batch_settings.h"
#include "settings/resize_settings.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace orm::cli {

// How the target size of each input is given.
enum class SizeKind {
    None,     // only --settings (or nothing)
    Box,      // --width and/or --height
    Percent,  // --percent P or PxQ
    Print,    // --print WxH with --units
    Paper,    // --paper LABEL
    Screen,   // --screen LABEL
    Choices,  // --size WxH and --long-edge N, each repeatable: one output per choice
};

// One size of --size (a box, fitted by the correction mode) or --long-edge (the longer side).
struct SizeChoice {
    int width = 0;
    int height = 0;
    int longEdge = 0;  // not 0: the choice is a long edge
    bool operator==(const SizeChoice&) const = default;
};

struct SizeRequest {
    SizeKind kind = SizeKind::None;
    std::optional<int> width;  // Box: either or both
    std::optional<int> height;
    double percentWidth = 100;  // Percent
    double percentHeight = 100;
    double printWidth = 0;  // Print, in `units`
    double printHeight = 0;
    int units = 0;                    // SizeUnit
    QString preset;                   // the canonical label of Paper or Screen
    std::vector<SizeChoice> choices;  // Choices, in the order given
    std::optional<double> dpi;        // --dpi; otherwise the named settings' or the source's own
    std::optional<int> correction;
    std::optional<ResizeAlgorithm> algorithm;
    bool centred = false;                 // --centred
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
        false;                  // --accept-damaged: a cut-off input does not make the exit status 1
    bool fastDecode = false;    // --fast-decode: JPEGs decoded at 1/2, 1/4 or 1/8 of their size
    bool qualityGiven = false;  // --quality was given (it then caps the --max-bytes search)
    bool noEnlarge = false;     // --no-enlarge
    QString logJson;            // --log-json: a file, or "-" for standard output
    qint64 maxBytes = 0;        // --max-bytes; 0: no limit
    // --strip, --to-srgb, --linear, --background, --keep-time
    OutputOptions options;
    // Set by the command, not an option: several outputs are made (more inputs or sizes, or a
    // folder), so -o names a folder.
    bool severalOutputs = false;
};

struct ResizeCommandLine {
    QStringList inputs;
    bool recursive = false;     // -r: folders among the inputs are walked with their subfolders
    QString filesFrom;          // --files-from: more inputs, listed in a file ("-": standard input)
    bool nulSeparated = false;  // -0: that list is separated by NUL bytes, not line ends
    Shard shard;                // --shard K/N
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
// A byte count: digits with an optional k or M (1024 and 1048576 bytes; a fraction is allowed
// with them, "1.5M") and an optional B: 500000, 500k, 500KB, 2M. None when it is not a count of
// at least 1 byte.
std::optional<qint64> ParseByteSizeArg(const QString& text);

// The entry of one input under the size request. image: the input's size and resolution, none
// when it cannot be read (the run then reports it).
BatchEntry EntryForInput(const QString& path, const SizeRequest& size,
                         const std::optional<ImageProbe>& image);
// One entry per size choice (one for the other kinds). Choices that come to the same output
// size for this image (after never-enlarge when noEnlarge is set) give one entry.
std::vector<BatchEntry> EntriesForInput(const QString& path, const SizeRequest& size,
                                        const std::optional<ImageProbe>& image, bool noEnlarge);

}  // namespace orm::cli
