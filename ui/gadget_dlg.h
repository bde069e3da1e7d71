#pragma once
// The named-entry dialog: a "Name:" field over the always-visible list of entries of one
// storage subfolder, with OK, Cancel and Delete. The rules live in NamedEntryFolder.

#include "settings/named_entries.h"
#include "settings/prompt.h"

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace orm {

class CGadgetDlg : public QDialog {
    Q_OBJECT
  public:
    // prompt: where the questions before replacing or deleting an entry go.
    CGadgetDlg(IPrompt& prompt, const QString& caption, const QString& subfolder,
               const QString& extension, bool mustExist, const QString& initialPath = {},
               QWidget* parent = nullptr);

    // The name typed or chosen (valid after OK).
    QString name() const { return name_; }
    // The file of the chosen entry.
    QString path() const { return entries_.PathFor(name_); }
    const NamedEntryFolder& entries() const { return entries_; }

    QLineEdit* nameEdit() const { return nameEdit_; }
    QListWidget* list() const { return list_; }
    QPushButton* deleteButton() const { return deleteButton_; }

  public slots:
    void accept() override;
    void DeleteEntry();

  private:
    void FillList();

    NamedEntryFolder entries_;
    QString name_;
    QLineEdit* nameEdit_;
    QListWidget* list_;
    QPushButton* deleteButton_;
    IPrompt& prompt_;
};

}  // namespace orm
