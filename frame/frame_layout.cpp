#include "frame/frame_layout.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace orm::gui {

QRect ProgressBarGeometry(const QRect& statusClient) {
    const QRect inner = statusClient.adjusted(0, 2, 0, -2);
    const int w = inner.width();
    const int h = std::max(0, inner.height());
    return QRect(w - w / 3 - 20, 2, w / 3, h);
}

QString PanesKey(int node) {
    return QStringLiteral("Panes_%1").arg(node);
}

QString FormatPanes(const PaneSizes& p) {
    const auto ideal = [](int v) { return v == -1 ? 100 : v; };
    return QStringLiteral("%1 %2 %3 %4")
        .arg(p.first)
        .arg(ideal(p.firstIdeal))
        .arg(p.second)
        .arg(ideal(p.secondIdeal));
}

std::optional<PaneSizes> ParsePanes(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return std::nullopt;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    return PaneSizes{v[0], v[1], v[2], v[3]};
}

QString FrameTitle(const QString& documentPath, bool browseMode) {
    if (browseMode || documentPath.isEmpty())
        return QString::fromLatin1(kAppTitle);
    return QFileInfo(documentPath).fileName();
}

QString HelpFilePath(const QString& executablePath) {
    const QFileInfo info(executablePath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString page = (dot > 0 ? name.left(dot) : name) + QStringLiteral(".html");
    const QString beside = info.dir().filePath(page);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed =
        QDir::cleanPath(info.dir().filePath(QStringLiteral("../share/ormensura/") + page));
    return QFileInfo::exists(installed) ? installed : beside;
}

QString AboutVersionText(const QString& version) {
    const QStringList parts = version.split(QLatin1Char('.'));
    int v[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && i < parts.size(); ++i) v[i] = parts[i].toInt();
    return QStringLiteral("ORVEN Mensura v. %1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
}

}  // namespace orm::gui
