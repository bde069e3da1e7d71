#include "settings/batch_settings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace orm {

namespace {

bool EndsWithSeparator(const QString& s) {
    return s.endsWith(QLatin1Char('/')) || s.endsWith(QLatin1Char('\\'));
}

// A standard folder, created when missing (and asked to); empty when the platform has none or it
// cannot be made.
QString StandardFolder(QStandardPaths::StandardLocation location, bool create) {
    const QString path = QStandardPaths::writableLocation(location);
    if (path.isEmpty())
        return {};
    if (create && !QFileInfo(path).isDir() && !QDir().mkpath(path))
        return {};
    return path;
}

}  // namespace

bool SanitizeBatchSettings(BatchSettings& b) {
    const BatchSettings defaults;
    const BatchSettings before = b;
    if (b.overwriteMethod < 0 || b.overwriteMethod >= kOverwriteMethodCount)
        b.overwriteMethod = defaults.overwriteMethod;
    if (b.outputFormat < 0 || b.outputFormat >= kOutputFormatIndexCount)
        b.outputFormat = defaults.outputFormat;
    if (b.jpegQuality < 1 || b.jpegQuality > 100)
        b.jpegQuality = defaults.jpegQuality;
    b.newName = b.newName != 0 ? 1 : 0;
    b.sameFolder = b.sameFolder != 0 ? 1 : 0;
    b.fastDecode = b.fastDecode != 0 ? 1 : 0;
    if (b.stripMetadata < 0 || b.stripMetadata >= kMetadataPolicyCount)
        b.stripMetadata = defaults.stripMetadata;
    b.toSrgb = b.toSrgb != 0 ? 1 : 0;
    b.linearLight = b.linearLight != 0 ? 1 : 0;
    b.keepTime = b.keepTime != 0 ? 1 : 0;
    if (!b.background.isEmpty() && !ParseBackgroundColour(b.background))
        b.background.clear();
    return !(b == before);
}

OutputOptions OutputOptionsOf(const BatchSettings& b) {
    OutputOptions options;
    if (b.stripMetadata >= 0 && b.stripMetadata < kMetadataPolicyCount)
        options.strip = MetadataPolicy(b.stripMetadata);
    options.toSrgb = b.toSrgb != 0;
    options.linear = b.linearLight != 0;
    options.background = ParseBackgroundColour(b.background).value_or(options.background);
    options.keepTime = b.keepTime != 0;
    return options;
}

void SetOutputOptions(BatchSettings& b, const OutputOptions& options) {
    b.stripMetadata = int32_t(options.strip);
    b.toSrgb = options.toSrgb ? 1 : 0;
    b.linearLight = options.linear ? 1 : 0;
    b.background = options.background == OutputOptions().background
                       ? QString()
                       : BackgroundColourText(options.background);
    b.keepTime = options.keepTime ? 1 : 0;
}

QString DefaultOutputFolder(bool create) {
    QString folder;
    for (auto location : {QStandardPaths::PicturesLocation, QStandardPaths::DocumentsLocation,
                          QStandardPaths::DesktopLocation}) {
        folder = StandardFolder(location, create);
        if (!folder.isEmpty())
            break;
    }
    if (folder.isEmpty())
        return {};
    if (!EndsWithSeparator(folder))
        folder += QLatin1Char('/');
    return folder + QLatin1String(kResizedImagesFolderName) + QLatin1Char('/');
}

bool CreateFolderPath(const QString& path) {
    if (path.size() <= 2)
        return false;
    QString result;
    QString rest = path;
    if (rest.startsWith(QLatin1Char('/'))) {
        result = QStringLiteral("/");
        rest.remove(0, 1);
    }
    while (true) {
        const qsizetype sep = rest.indexOf(QLatin1Char('/'));
        const QString part = sep < 0 ? rest : rest.left(sep);
        rest = sep < 0 ? QString() : rest.mid(sep + 1);
        if (!part.isEmpty()) {
            result += part;
            const QFileInfo info(result);
            if (!info.exists()) {
                if (!QDir().mkdir(result))
                    return false;
            } else if (!info.isDir()) {
                return false;
            }
            result += QLatin1Char('/');
        }
        if (sep < 0)
            return true;
    }
}

QString FolderMissingQuestion(const QString& folder) {
    return QStringLiteral("Folder\n%1\ndoes not exist.\nCreate this folder?").arg(folder);
}

QString CantCreateFolderText(const QString& folder) {
    return QStringLiteral("Can't create folder\n%1.\nPlease check folder name.").arg(folder);
}

QString ReadOnlyFolderText(const QString& folder) {
    return QStringLiteral("Folder\n%1\nhas read only attribute.\nPlease select another folder.")
        .arg(folder);
}

std::optional<QString> AcceptOutputFolder(const QString& folderText, IPrompt& prompt) {
    QString stored = folderText.trimmed().isEmpty() ? DefaultOutputFolder() : folderText;
    if (stored.isEmpty())
        return stored;
    QString checked;
    if (EndsWithSeparator(stored)) {
        checked = stored.left(stored.size() - 1);
    } else {
        checked = stored;
        stored += QLatin1Char('/');
    }
    if (checked.isEmpty())  // the root folder itself
        checked = QStringLiteral("/");
    const QFileInfo info(checked);
    if (!info.isDir()) {
        if (!prompt.AskYesNoDefaultYes(FolderMissingQuestion(checked)))
            return std::nullopt;
        if (!CreateFolderPath(checked)) {
            prompt.Message(CantCreateFolderText(checked));
            return std::nullopt;
        }
    } else if (!info.isWritable()) {
        prompt.Message(ReadOnlyFolderText(checked));
    }
    return stored;
}

}  // namespace orm
