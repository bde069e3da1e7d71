#pragma once
// The inputs of `resize` as files: a file stays as it is; a folder given with -r becomes every
// image file below it, each with the folder it lies in relative to the given one, so the outputs
// can keep the tree.

#include <QString>
#include <QStringList>

#include <vector>

namespace orm::cli {

struct InputFile {
    QString path;
    QString subfolder;  // "" or the folders below the given folder, with a trailing '/' ("a/b/")
    bool operator==(const InputFile&) const = default;
};

struct ExpandedInputs {
    std::vector<InputFile> files;
    bool hadFolder = false;     // a folder was among the inputs
    QStringList emptyFolders;   // folders given that hold no image file
    QStringList outputFolders;  // folders given that are the output folder itself
    QString error;              // a folder given without -r
};

// Files are taken as given (a file that is not an image is reported by the run). A folder needs
// recursive; its image files (by extension, as the program opens them) are listed folder by folder,
// names in code-point order, files before subfolders. Names starting with '.' are left out, links
// to folders are not followed, and a folder is never walked twice (bind mounts). The folder
// `excluded` (the output folder, when it lies inside an input folder) is left out with everything
// below it, so outputs of an earlier run are not taken as inputs.
ExpandedInputs ExpandInputs(const QStringList& given, bool recursive, const QString& excluded);

}  // namespace orm::cli
