#include "ui/jfif_dlg.h"

#include "imageio/image_info_reader.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orm {

namespace {
constexpr int kColumnOffset = 25;  // the name column is this much narrower than half the list
}

CJFIFDlg::CJFIFDlg(const ImageInfo& info, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Image Info"));

    path_ = new QLineEdit(info.path, this);
    path_->setReadOnly(true);
    dimensions_ = new QLabel(FormatDimensions(uint32_t(info.width), uint32_t(info.height)), this);
    colors_ = new QLabel(FormatColorCount(info.bitsPerPixel), this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("File Name :"), path_);
    form->addRow(QStringLiteral("Dimensions :"), dimensions_);
    form->addRow(QStringLiteral("Colors :"), colors_);

    details_ = new QTreeWidget(this);
    details_->setColumnCount(2);
    details_->setHeaderHidden(true);
    details_->setRootIsDecorated(false);
    details_->setSelectionBehavior(QAbstractItemView::SelectRows);
    details_->setSelectionMode(QAbstractItemView::SingleSelection);
    details_->header()->setStretchLastSection(false);
    for (const InfoProperty& p : info.properties)
        details_->addTopLevelItem(new QTreeWidgetItem(QStringList{p.name, p.value}));

    detailsLabel_ = new QLabel(QStringLiteral("&Camera details:"), this);
    detailsLabel_->setBuddy(details_);
    const bool any = !info.properties.empty();
    details_->setEnabled(any);
    detailsLabel_->setEnabled(any);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(detailsLabel_);
    layout->addWidget(details_, 1);
    layout->addWidget(buttons);
    details_->viewport()->installEventFilter(this);
    resize(462, 288);  // about 308 x 177 dialog units
    SizeColumns();
}

bool CJFIFDlg::eventFilter(QObject* watched, QEvent* event) {
    // The columns follow the list's client width.
    if (watched == details_->viewport() && event->type() == QEvent::Resize)
        SizeColumns();
    return QDialog::eventFilter(watched, event);
}

void CJFIFDlg::SizeColumns() {
    const int half = details_->viewport()->width() / 2;
    details_->setColumnWidth(0, std::max(half - kColumnOffset, 0));
    details_->setColumnWidth(1, half + kColumnOffset);
}

bool ShowImageInfo(QWidget* parent, const QString& path) {
    const std::optional<ImageInfo> info = ReadImageInfo(path);
    if (!info)
        return false;
    CJFIFDlg dialog(*info, parent);
    dialog.exec();
    return true;
}

}  // namespace orm
