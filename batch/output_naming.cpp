#include "batch/output_naming.h"

#include "imageio/image_file_types.h"
#include "imageio/native_path.h"
#include "imageio/output_formats.h"

#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orm {

static_assert(kOutputFormatIndexCount == 1 + kOutputFormatCount,
              "a stored format index for keep and one for each written format");

namespace {

bool PathExists(const QString& path, const PathExistsFn& exists) {
    return exists ? exists(path) : PathEntryExists(path);
}

}  // namespace

PathParts SplitPath(const QString& path) {
    PathParts parts;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    parts.folder = path.left(slash + 1);
    const QString file = path.mid(slash + 1);
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    parts.name = dot < 0 ? file : file.left(dot);
    parts.extension = dot < 0 ? QString() : file.mid(dot);
    return parts;
}

QString ResizedSuffix(int width, int height) {
    return QStringLiteral("_RESIZED_TO_%1x%2").arg(width).arg(height);
}

OutputPath MakeBatchOutputPath(const QString& input, int width, int height,
                               const BatchSettings& settings, const PathExistsFn& exists) {
    const PathParts in = SplitPath(input);
    QString base;
    if (settings.sameFolder != 0) {
        base = in.folder + in.name;
    } else {
        QString folder = settings.outputFolder;
        if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        base = folder + in.name;
    }
    if (settings.newName != 0)
        base += ResizedSuffix(width, height);
    const OutputFormat* format = OutputFormatAtIndex(settings.outputFormat);
    base += format ? WrittenExtension(*format) : KeptOutputExtension(in.extension);
    return DecideOutputPath(base, settings.method(), exists);
}

OutputPath DecideOutputPath(const QString& candidate, OverwriteMethod method,
                            const PathExistsFn& exists) {
    OutputPath out;
    out.path = candidate;
    out.candidate = candidate;
    const PathParts parts = SplitPath(candidate);
    if (PathExists(candidate, exists)) {
        if (method == OverwriteMethod::Skip) {
            out.decision = OutputDecision::Skip;
            return out;
        }
        if (method == OverwriteMethod::Unique) {
            bool found = false;
            for (int n = 1; n <= kMaxUniqueNumber && !found; ++n) {
                const QString numbered =
                    parts.folder + parts.name + QStringLiteral("_%1").arg(n) + parts.extension;
                if (!PathExists(numbered, exists)) {
                    out.path = numbered;
                    found = true;
                }
            }
            if (!found) {
                out.decision = OutputDecision::NoFreeName;
                return out;
            }
        }
    }
    out.folder =
        parts.folder.isEmpty() ? QStringLiteral(".") : parts.folder.left(parts.folder.size() - 1);
    if (out.folder.isEmpty())
        out.folder = QStringLiteral("/");
    const bool planned =
        exists && exists(out.folder.endsWith(QLatin1Char('/')) ? out.folder : out.folder + '/');
    if (!planned && !IsFolder(out.folder)) {
        out.decision = OutputDecision::FolderMissing;
        out.path.clear();
        return out;
    }
    return out;
}

QString UnwritableOutputReason(const QString& path) {
    const OutputFormat* format = OutputFormatForPath(path);
    if (format && EncoderInstalled(*format))
        return {};
    const QString extension = SplitPath(path).extension;
    if (!format) {
        const QString written =
            QStringLiteral("only %1 files are written").arg(WrittenFormatsText());
        return extension.isEmpty()
                   ? QStringLiteral("the output name has no extension: %1").arg(written)
                   : QStringLiteral("no encoder writes \"%1\" files: %2").arg(extension, written);
    }
    return QStringLiteral("no encoder for %1 is installed").arg(QLatin1String(format->mimeType));
}

QString MakeSubfolderBeneath(const QString& root, const QString& subfolder) {
    int fd = ::open(NativePath(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("%1: %2").arg(root, SystemErrorText(errno));
    QString reached = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    QString reason;
    for (const QString& name : subfolder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        reached += name + QLatin1Char('/');
        if (name == QLatin1String(".") || name == QLatin1String("..")) {
            reason = QStringLiteral("%1 leads outside the output folder").arg(reached);
            break;
        }
        const QByteArray native = NativePath(name);
        if (::mkdirat(fd, native.constData(), 0777) != 0 && errno != EEXIST) {
            reason = QStringLiteral("%1: %2").arg(reached, SystemErrorText(errno));
            break;
        }
        // O_NOFOLLOW with O_DIRECTORY: a link or a file fails (ELOOP or ENOTDIR).
        const int next =
            ::openat(fd, native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            const int why = errno;
            struct stat st {};
            const bool link = ::fstatat(fd, native.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                              S_ISLNK(st.st_mode);
            reason = link ? QStringLiteral(
                                "%1 is a link; outputs are written only into "
                                "real folders below the output folder")
                                .arg(reached)
                     : why == ENOTDIR ? QStringLiteral("%1 is not a folder").arg(reached)
                                      : QStringLiteral("%1: %2").arg(reached, SystemErrorText(why));
            break;
        }
        ::close(fd);
        fd = next;
    }
    ::close(fd);
    return reason;
}

QString UnmakeableNameReason(const QString& path) {
    const QByteArray native = NativePath(path);
    const qsizetype nameBytes = native.size() - (native.lastIndexOf('/') + 1);
    if (nameBytes > NAME_MAX)
        return QStringLiteral("the file name is %1 bytes long; a file name may have at most %2")
            .arg(nameBytes)
            .arg(NAME_MAX);
    if (native.size() >= PATH_MAX)
        return QStringLiteral("the path is %1 bytes long; the system takes at most %2")
            .arg(native.size())
            .arg(PATH_MAX - 1);
    return {};
}

}  // namespace orm
