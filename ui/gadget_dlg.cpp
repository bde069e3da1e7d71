#include "ui/gadget_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace orm {

CGadgetDlg::CGadgetDlg(IPrompt& prompt, const QString& caption, const QString& subfolder,
                       const QString& extension, bool mustExist, const QString& initialPath,
                       QWidget* parent)
    : QDialog(parent), entries_(subfolder, extension, mustExist, initialPath), prompt_(prompt) {
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("Name:"), this);
    nameEdit_ = new QLineEdit(this);
    label->setBuddy(nameEdit_);
    list_ = new QListWidget(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    deleteButton_ = buttons->addButton(QStringLiteral("&Delete"), QDialogButtonBox::ActionRole);
    layout->addWidget(label);
    layout->addWidget(nameEdit_);
    layout->addWidget(list_);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CGadgetDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CGadgetDlg::reject);
    connect(deleteButton_, &QPushButton::clicked, this, &CGadgetDlg::DeleteEntry);
    connect(list_, &QListWidget::currentTextChanged, nameEdit_, &QLineEdit::setText);
    connect(list_, &QListWidget::itemDoubleClicked, this, &CGadgetDlg::accept);

    entries_.Open();
    FillList();
    if (!entries_.initialName().isEmpty()) {
        const int index = entries_.IndexOf(entries_.initialName());
        if (index >= 0)
            list_->setCurrentRow(index);
        else
            nameEdit_->setText(entries_.initialName());
    }
    nameEdit_->setFocus();
}

void CGadgetDlg::FillList() {
    list_->clear();
    list_->addItems(entries_.names());
}

void CGadgetDlg::accept() {
    const QString typed = nameEdit_->text();
    if (entries_.Confirm(typed, prompt_) != NamedEntryFolder::OkResult::Accept)
        return;
    name_ = typed;
    QDialog::accept();
}

void CGadgetDlg::DeleteEntry() {
    if (entries_.Delete(nameEdit_->text(), prompt_) == NamedEntryFolder::DeleteResult::Deleted) {
        FillList();
        nameEdit_->clear();
    }
}

}  // namespace orm
