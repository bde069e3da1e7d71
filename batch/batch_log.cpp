#include "batch/batch_log.h"

#include "settings/number_text.h"

namespace orm {

namespace {

struct FolderAndName {
    QString folder;  // with the trailing separator
    QString name;    // file name and extension
};

FolderAndName Split(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return {path.left(slash + 1), path.mid(slash + 1)};
}

}  // namespace

QString ProcessingText(int fileNumber, int total) {
    return QStringLiteral("Processing %1 from %2").arg(fileNumber).arg(total);
}

QString DoneText() {
    return QStringLiteral("Done");
}

QString CantCreateOutputFolderText() {
    return QStringLiteral("Can't create output folder!");
}

QString LogEntryText(BatchStatus code, int fileNumber, int total, const BatchEntry& entry,
                     const QString& outputPath) {
    // Every value goes in with one arg() call, so a '%' in a path is never taken for a marker.
    const QString n = QString::number(fileNumber);
    const QString of = QString::number(total);
    const FolderAndName in = Split(entry.path);
    switch (code) {
        case BatchStatus::Processing: {
            const FolderAndName out = Split(outputPath);
            const std::string_view algorithm = AlgorithmName(entry.algorithm);
            return QStringLiteral(
                       "File %1 from %2\r\nInput file\r\nFolder: %3\r\nName: %4\r\nOutput file\r\n"
                       "Folder: %5\r\nName:%6\r\nSize: %7x%8 pixels, %9 DPI\r\nAlgorithm: "
                       "%10\r\n\r\n")
                .arg(n, of, in.folder, in.name, out.folder, out.name, QString::number(entry.width),
                     QString::number(entry.height), QFormatG(entry.dpi),
                     QString::fromLatin1(algorithm.data(),
                                         static_cast<qsizetype>(algorithm.size())));
        }
        case BatchStatus::CantOpenInput:
            return QStringLiteral(
                       "File %1 from %2\nInput file\nFolder: %3\nName: %4\nCan't open file\n%5!")
                .arg(n, of, in.folder, in.name, entry.path);
        case BatchStatus::NoOutputFolder:
            return QStringLiteral("Can't open output folder!");
        case BatchStatus::Skipped:
            return QStringLiteral(
                       "File %1 from %2\nInput file\nFolder: %3\nName: %4\nOutput file %5 already "
                       "exists!\n"
                       "Skip resizing!")
                .arg(n, of, in.folder, in.name, Split(outputPath).name);
        case BatchStatus::CantCreateImage:
            return QStringLiteral("Can't create output image!\nMay be not enough memory!");
        case BatchStatus::Cancelled:
            return QStringLiteral("Operation canceled by user!");
        case BatchStatus::CantWrite:
            return QStringLiteral("Can't write file\n%1!").arg(outputPath);
    }
    return {};
}

}  // namespace orm
