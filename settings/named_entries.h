#pragma once
// The logic of the named-entry dialog: a folder of files with one extension under the
// program's storage folder, listed by title, with delete, must-exist and overwrite rules.
// Names compare as whole strings ignoring case.

#include "settings/prompt.h"

#include <QString>
#include <QStringList>

namespace orm {

class NamedEntryFolder {
  public:
    // subfolder: e.g. "Settings"; extension without dot (kept lower-case); mustExist: for
    // loading; initialPath: a file whose title is preselected.
    NamedEntryFolder(QString subfolder, QString extension, bool mustExist = false,
                     const QString& initialPath = {});

    // Computes the folder (creating missing levels when asked) and lists its entries.
    void Open(bool create = true);

    const QString& folder() const { return folder_; }
    const QString& extension() const { return extension_; }
    const QString& initialName() const { return initialName_; }
    bool mustExist() const { return mustExist_; }
    // Entry titles, sorted ignoring case.
    const QStringList& names() const { return names_; }

    // Index of the name in names(), ignoring case; -1 when absent.
    int IndexOf(const QString& name) const;
    bool Contains(const QString& name) const { return IndexOf(name) >= 0; }

    // The file of an entry: an existing file whose title matches ignoring case, otherwise
    // folder + name + "." + extension.
    QString PathFor(const QString& name) const;

    enum class DeleteResult { NotListed, Declined, Deleted, Failed };
    // Asks "Delete this entry?"; on Yes removes the file and the name from the list.
    DeleteResult Delete(const QString& name, IPrompt& prompt);

    enum class OkResult { Ignored, StayOpen, Accept };
    // The OK button: an empty name is ignored; with must-exist an unknown name says
    // "No such name exists."; without it a listed name asks to overwrite. A name that cannot
    // be a file name (one with '/', "." or "..") is refused.
    OkResult Confirm(const QString& name, IPrompt& prompt) const;

    static QString DeleteQuestionText() { return QStringLiteral("Delete this entry?"); }
    static QString NoSuchNameText() { return QStringLiteral("No such name exists."); }
    static QString OverwriteQuestionText() {
        return QStringLiteral("This file already exists.\nOverwrite?");
    }
    static QString InvalidNameText() {
        return QStringLiteral("This name cannot be used for a file.");
    }

  private:
    QString subfolder_;
    QString extension_;
    bool mustExist_;
    QString initialName_;
    QString folder_;
    QStringList names_;
    QStringList files_;  // file name of each entry of names_, same order
};

}  // namespace orm
