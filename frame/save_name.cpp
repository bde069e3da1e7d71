#include "frame/save_name.h"

#include "batch/output_naming.h"
#include "imageio/native_path.h"

#include <QRegularExpression>

namespace orm::gui {

QString SuggestedSavePath(const QString& source, int width, int height, const QString& lastFolder) {
    if (source.isEmpty())
        return {};
    const PathParts parts = SplitPath(AbsolutePath(source));
    QString folder = !lastFolder.isEmpty() && IsFolder(lastFolder) ? lastFolder : parts.folder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const bool written = !parts.extension.isEmpty() && UnwritableOutputReason(source).isEmpty();
    return folder + parts.name + ResizedSuffix(width, height) +
           (written ? parts.extension : QStringLiteral(".jpg"));
}

QString FilterForSuffix(const QStringList& filters, const QString& suffix) {
    if (suffix.isEmpty())
        return {};
    // "*.jpg" as a whole pattern: followed by a space or the closing parenthesis.
    const QRegularExpression pattern(
        QStringLiteral("\\*\\.%1[ )]").arg(QRegularExpression::escape(suffix)),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString& f : filters)
        if (pattern.match(f).hasMatch())
            return f;
    return {};
}

}  // namespace orm::gui
