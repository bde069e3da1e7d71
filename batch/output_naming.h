#pragma once
// The output path of a batch input: folder (the output folder or the input's own), the input's
// file name, an optional "_RESIZED_TO_<w>x<h>" suffix, the extension of the output format, and
// the rule for an output that exists already (skip, overwrite, unique "_<n>" name).
//
// Nothing is deleted here: under "overwrite" the new file replaces the old one only once it has
// been written completely (the image saver writes through a temporary file), so a failed resize
// or save leaves the existing file - possibly the input itself - as it was.
//
// Anything with the name counts as existing, a link too (even one pointing nowhere): the output
// is always a regular file at the named path. The choice made here is checked once more when the
// file is committed (skip and unique never replace what appeared in the meantime).

#include "settings/batch_settings.h"

#include <QString>

#include <functional>

namespace orm {

enum class OutputDecision {
    Write,          // write to path (which may exist and be replaced under "overwrite")
    Skip,           // path exists and the method is "skip"
    FolderMissing,  // the output's folder does not exist: the run stops
    NoFreeName,     // every numbered name up to the limit is taken
};

struct OutputPath {
    OutputDecision decision = OutputDecision::Write;
    QString path;       // the output, or for Skip the existing file
    QString folder;     // the output's folder (for FolderMissing)
    QString candidate;  // the name before the existence rule (unique numbers it)
};

inline constexpr int kMaxUniqueNumber = 9999999;

// Splits a path into its folder (with the trailing '/', empty for a bare name), its file name
// without the extension, and the extension (from the last dot of the name, with the dot).
struct PathParts {
    QString folder;
    QString name;
    QString extension;
};
PathParts SplitPath(const QString& path);

// "_RESIZED_TO_%dx%d".
QString ResizedSuffix(int width, int height);

// Whether anything exists at a path. Empty: the file system is asked (links are not followed). A
// dry run passes one that also counts the outputs it has planned for earlier files as existing,
// and answers true for "<folder>/" when the run would make that folder first.
using PathExistsFn = std::function<bool(const QString&)>;

// The output path of an input of the batch with a target size.
OutputPath MakeBatchOutputPath(const QString& input, int width, int height,
                               const BatchSettings& settings, const PathExistsFn& exists = {});

// The existence rules for a chosen output path (also used for an output file named outright).
OutputPath DecideOutputPath(const QString& candidate, OverwriteMethod method,
                            const PathExistsFn& exists = {});

// Why a file cannot be made under this name (its last part longer than the 255 bytes a file
// name may have, or the whole path longer than the system takes), or empty.
QString UnmakeableNameReason(const QString& path);

// Makes the folders of `subfolder` ("a/b/") below the existing folder `root`, one at a time, and
// enters each only when it is a real folder: a link (to a folder elsewhere) or a file in the way
// is refused, so an output tree never reaches outside `root`. Empty when done, else the reason.
QString MakeSubfolderBeneath(const QString& root, const QString& subfolder);

// Why no file can be written at this output path (its extension names no format that is
// written, e.g. ".jpeg", ".tiff" or none), or empty when an encoder for it exists.
QString UnwritableOutputReason(const QString& path);

}  // namespace orm
