#include "browser/folder_scan.h"

#include "imageio/image_file_types.h"
#include "imageio/native_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace orm {

bool BrowserListsFile(const QString& path) {
    return IsSupportedImage(path);
}

namespace {

struct DirCloser {
    void operator()(DIR* d) const {
        if (d)
            ::closedir(d);
    }
};

}  // namespace

std::vector<ScannedFile> ScanFolder(const QString& folder, const FolderScanOptions& options,
                                    QString* failure) {
    std::vector<ScannedFile> files;
    if (failure)
        failure->clear();
    if (folder.isEmpty())
        return files;
    const auto fail = [&files, failure](int error) {
        if (failure)
            *failure = QString::fromLocal8Bit(std::strerror(error));
        return files;
    };
    const QByteArray native = NativePath(folder);
    const int dirFd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return fail(errno);
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(dirFd));
    if (!dir) {
        const int error = errno;
        ::close(dirFd);
        return fail(error);
    }
    QString prefix = folder;
    if (!prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');

    while (const dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        if (entry->d_type == DT_DIR || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        // The name first: most entries of a photo folder pass, but a folder of other files
        // should not cost a status call per file.
        const QString fileName = PathFromNative(QByteArrayView(name, qsizetype(std::strlen(name))));
        if (!BrowserListsFile(fileName))
            continue;
        ScannedFile file;
        bool regular = false;
        if (!ReadFileFactsAt(dirFd, name, file.facts, &regular) || !regular)
            continue;
        if (options.maxSkippedSize >= 0 && file.facts.size <= double(options.maxSkippedSize))
            continue;
        file.path = prefix + fileName;
        files.push_back(std::move(file));
    }
    return files;
}

}  // namespace orm
