#include "files/file_actions.h"

#include "files/file_clipboard.h"
#include "imageio/native_path.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace orm {

CFileActions::CFileActions(QClipboard* clipboard)
    : clipboard_(clipboard ? clipboard : QGuiApplication::clipboard()) {}

void CFileActions::PutOnClipboard(const QStringList& paths, bool cut) {
    clipboard_->setMimeData(
        MakeFilesMimeData(paths, cut ? ClipboardAction::Cut : ClipboardAction::Copy).release());
}

bool CFileActions::ClipboardHasFiles() const {
    return HasFiles(clipboard_->mimeData());
}

QStringList CFileActions::ClipboardCutFiles() const {
    const TransferredFiles files = FilesOfMimeData(clipboard_->mimeData());
    return files.cut ? files.paths : QStringList();
}

FileActionOutcome CFileActions::Paste(const QString& folder) {
    const bool cut = FilesOfMimeData(clipboard_->mimeData()).cut;
    return OutcomeOf(PasteFiles(*clipboard_, folder),
                     cut ? QStringLiteral("Not every file could be moved:")
                         : QStringLiteral("Not every file could be copied:"));
}

QMimeData* CFileActions::DragData(const QStringList& paths) {
    return MakeFilesMimeData(paths, ClipboardAction::Copy).release();
}

QStringList CFileActions::DroppedFiles(const QMimeData& data) const {
    return FilesOfMimeData(&data).paths;
}

Qt::DropAction CFileActions::DropActionFor(const QStringList& files, const QString& folder,
                                           Qt::KeyboardModifiers modifiers) const {
    return orm::DropActionFor(files, folder, modifiers);
}

FileActionOutcome CFileActions::Transfer(const QStringList& files, const QString& folder,
                                         bool move) {
    return move ? OutcomeOf(MoveFiles(files, folder),
                            QStringLiteral("Not every file could be moved:"))
                : OutcomeOf(CopyFiles(files, folder),
                            QStringLiteral("Not every file could be copied:"));
}

FileActionOutcome CFileActions::Trash(const QStringList& paths) {
    return OutcomeOf(TrashFiles(paths),
                     QStringLiteral("Not every file could be moved to the Trash:"));
}

FileActionOutcome CFileActions::Rename(const QString& path, const QString& newName) {
    return OutcomeOf(RenameFile(path, newName), QStringLiteral("The file cannot be renamed:"));
}

FileActionOutcome OutcomeOf(const FileOpReport& report, const QString& failureIntro) {
    FileActionOutcome outcome;
    outcome.ok = report.Succeeded();
    outcome.newPaths = report.Results();
    outcome.report = report;
    if (!outcome.ok) {
        QStringList lines = report.Failures();
        if (report.cancelled)
            lines << QStringLiteral("Stopped before the rest.");
        outcome.message = failureIntro + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
    }
    return outcome;
}

}  // namespace orm
