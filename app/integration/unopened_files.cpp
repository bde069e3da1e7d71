#include "app/integration/unopened_files.h"

#include "imageio/image_file_types.h"

#include <QFileInfo>

namespace orm::integration {

QString UnopenedReason(const QString& argument) {
    const QFileInfo info(argument);
    if (!info.exists())
        return QStringLiteral("there is no such file");
    if (info.isDir())
        return QStringLiteral("it is a folder");
    return QStringLiteral("only image files are opened (%1)")
        .arg(ImageFileExtensions().join(QLatin1Char(' ')));
}

QString UnopenedFilesLines(const QStringList& arguments) {
    QString lines;
    for (const QString& a : arguments)
        lines += QStringLiteral("ormensura: can't open %1: %2\n").arg(a, UnopenedReason(a));
    return lines;
}

QString UnopenedFilesMessage(const QStringList& arguments) {
    QStringList blocks;
    for (const QString& a : arguments) {
        QString reason = UnopenedReason(a);
        reason[0] = reason[0].toUpper();
        blocks << QStringLiteral("Can't open file\n%1!\n%2.").arg(a, reason);
    }
    return blocks.join(QStringLiteral("\n\n"));
}

}  // namespace orm::integration
