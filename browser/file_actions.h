#pragma once
// The browser's file actions (browser_hooks.h) done by the program's own file operations and the
// file managers' clipboard formats: what the browse window hands its browser. The browser pauses
// its folder watch itself and keeps its thumbnails in step through the callback.

#include "browser/browser_hooks.h"
#include "browser/file_operations.h"

class QClipboard;

namespace orm {

class CFileActions : public IBrowserFileActions {
  public:
    // The application's clipboard unless another is given.
    explicit CFileActions(QClipboard* clipboard = nullptr);

    void PutOnClipboard(const QStringList& paths, bool cut) override;
    bool ClipboardHasFiles() const override;
    QStringList ClipboardCutFiles() const override;
    FileActionOutcome Paste(const QString& folder, const CopiedCallback& copied) override;

    QMimeData* DragData(const QStringList& paths) override;
    QStringList DroppedFiles(const QMimeData& data) const override;
    Qt::DropAction DropActionFor(const QStringList& files, const QString& folder,
                                 Qt::KeyboardModifiers modifiers) const override;
    FileActionOutcome Transfer(const QStringList& files, const QString& folder, bool move,
                               const CopiedCallback& copied) override;

    FileActionOutcome Trash(const QStringList& paths) override;
    FileActionOutcome Rename(const QString& path, const QString& newName) override;

  private:
    QClipboard* clipboard_;
};

// The outcome the browser reads from a report: ok when everything was done, the failures as the
// message, the new paths; `copied` hears of every file that got a new path.
FileActionOutcome OutcomeOf(const FileOpReport& report, const QString& failureIntro,
                            const IBrowserFileActions::CopiedCallback& copied = {});

}  // namespace orm
