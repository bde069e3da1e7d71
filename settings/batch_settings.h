#pragma once
// The batch output settings: where and how the resized images of a run are written, the default
// output folder, the output formats and the check of the output folder when the settings are
// accepted. The settings store keeps the record (group BATCH).

#include "imageio/output_options.h"
#include "settings/prompt.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace orm {

enum class OverwriteMethod : int32_t { Skip = 0, Overwrite = 1, Unique = 2 };
inline constexpr int kOverwriteMethodCount = 3;

struct BatchSettings {
    int32_t overwriteMethod = 1;  // OverwriteMethod
    int32_t outputFormat = 0;     // a row of the output formats + 1; 0 keeps the input's extension
    QString outputFolder;         // ends with '/' once accepted
    int32_t newName = 0;          // append "_RESIZED_TO_<w>x<h>"
    int32_t jpegQuality = 75;     // 1..100
    int32_t sameFolder = 0;       // write each output beside its input
    // Let JPEG inputs be decoded at 1/2, 1/4 or 1/8 of their size (never below the
    // target in either direction) before the algorithm runs: much faster for strong reductions, but
    // the pixels the algorithm starts from are not the full decode's. Off by default.
    int32_t fastDecode = 0;
    // The output options (imageio/output_options.h), for the window's saves as for batch runs;
    // stored only when set, so files of earlier versions read the same.
    int32_t stripMetadata = 0;  // MetadataPolicy
    int32_t toSrgb = 0;
    int32_t linearLight = 0;
    QString background;  // "#rrggbb" or a colour name; empty: white
    int32_t keepTime = 0;

    OverwriteMethod method() const { return static_cast<OverwriteMethod>(overwriteMethod); }
    bool operator==(const BatchSettings&) const = default;
};

// Values out of range take their defaults (a background that names no colour: none); returns
// whether anything changed.
bool SanitizeBatchSettings(BatchSettings& b);

// The output options the settings hold.
OutputOptions OutputOptionsOf(const BatchSettings& b);
// The settings' output options set to these.
void SetOutputOptions(BatchSettings& b, const OutputOptions& options);

// The stored output format indices: 0 keeps the input's extension, 1.. are the rows of the table
// of written formats (imageio/output_formats.h; batch/output_naming.cpp checks that the count
// matches it).
inline constexpr int kOutputFormatIndexCount = 7;

inline constexpr const char* kResizedImagesFolderName = "Resized_Images";

// The user's pictures folder, else documents, else desktop (each created when missing), with
// "Resized_Images/" appended; empty when none is available. Without create nothing is made: the
// first folder the system names is taken as it would be made.
QString DefaultOutputFolder(bool create = true);

// Creates a folder and every missing parent. Fails for paths of two characters or fewer, and when
// a part of the path exists as a file.
bool CreateFolderPath(const QString& path);

// The check of the output folder when the settings dialog is accepted (skipped by the caller when
// the same-folder flag is set). Returns the folder text to store: with a trailing '/' added
// when it had none. A missing folder is offered for creation ("Folder\n%s\ndoes not exist.\nCreate
// this folder?", Yes by default: the user just chose it); a read-only folder is reported. No to
// the question, or a creation that failed (reported), gives none: the run must not start into a
// folder that is not there, and the settings dialog comes back. An empty text is replaced by the
// default folder first.
std::optional<QString> AcceptOutputFolder(const QString& folderText, IPrompt& prompt);

QString FolderMissingQuestion(const QString& folder);
QString CantCreateFolderText(const QString& folder);
QString ReadOnlyFolderText(const QString& folder);

}  // namespace orm
