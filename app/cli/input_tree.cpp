#include "cli/input_tree.h"

#include "imageio/image_file_types.h"
#include "imageio/native_path.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

namespace orm::cli {

namespace {

using FileId = std::pair<dev_t, ino_t>;

bool StatOf(const QString& path, struct stat& st) {
    return ::stat(NativePath(path).constData(), &st) == 0;
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

class TreeWalk {
  public:
    TreeWalk(std::vector<InputFile>& out, const QString& excluded) : out_(out) {
        struct stat st {};
        if (!excluded.isEmpty() && StatOf(excluded, st))
            excluded_ = FileId{st.st_dev, st.st_ino};
    }

    bool IsExcluded(const QString& folder) const {
        struct stat st {};
        return excluded_ && StatOf(folder, st) && *excluded_ == FileId{st.st_dev, st.st_ino};
    }

    void Walk(const QString& folder, const QString& subfolder) {
        struct stat st {};
        if (!StatOf(folder, st) || !S_ISDIR(st.st_mode))
            return;
        const FileId id{st.st_dev, st.st_ino};
        if ((excluded_ && *excluded_ == id) || !visited_.insert(id).second)
            return;
        std::unique_ptr<DIR, DirCloser> dir(::opendir(NativePath(folder).constData()));
        if (!dir)
            return;
        QStringList files, folders;
        while (const dirent* entry = ::readdir(dir.get())) {
            const QString name = PathFromNative(entry->d_name);
            if (name.startsWith(QLatin1Char('.')))
                continue;  // ".", "..", and hidden names
            const QString path = folder + QLatin1Char('/') + name;
            struct stat lst {};
            if (::lstat(NativePath(path).constData(), &lst) != 0)
                continue;
            if (S_ISDIR(lst.st_mode))
                folders.append(name);
            else if (IsSupportedImage(name) && StatOf(path, st) && S_ISREG(st.st_mode))
                files.append(name);  // a file, or a link to one
        }
        dir.reset();
        // Code-point order, whatever the locale.
        std::sort(files.begin(), files.end());
        std::sort(folders.begin(), folders.end());
        for (const QString& name : files)
            out_.push_back({folder + QLatin1Char('/') + name, subfolder});
        for (const QString& name : folders)
            Walk(folder + QLatin1Char('/') + name, subfolder + name + QLatin1Char('/'));
    }

  private:
    std::vector<InputFile>& out_;
    std::optional<FileId> excluded_;
    std::set<FileId> visited_;
};

}  // namespace

ExpandedInputs ExpandInputs(const QStringList& given, bool recursive, const QString& excluded) {
    ExpandedInputs result;
    for (const QString& input : given) {
        if (!IsFolder(input)) {
            result.files.push_back({input, {}});
            continue;
        }
        result.hadFolder = true;
        if (!recursive) {
            result.error = QStringLiteral(
                               "%1 is a folder: give -r to resize the images in it and in its "
                               "subfolders")
                               .arg(input);
            return result;
        }
        const size_t before = result.files.size();
        QString root = input;
        while (root.size() > 1 && root.endsWith(QLatin1Char('/'))) root.chop(1);
        TreeWalk walk(result.files, excluded);
        if (walk.IsExcluded(root)) {
            result.outputFolders.append(input);
            continue;
        }
        walk.Walk(root, {});
        if (result.files.size() == before)
            result.emptyFolders.append(input);
    }
    return result;
}

}  // namespace orm::cli
