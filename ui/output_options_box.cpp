#include "ui/output_options_box.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orm {

COutputOptionsBox::COutputOptionsBox(QWidget* parent)
    : QGroupBox(QStringLiteral("Colour and metadata"), parent) {
    setObjectName(QStringLiteral("outputOptionsBox"));
    auto* grid = new QGridLayout(this);
    auto* stripLabel = new QLabel(QStringLiteral("&Metadata:"), this);
    strip_ = new QComboBox(this);
    strip_->addItem(QStringLiteral("Keep all"));
    strip_->addItem(QStringLiteral("Remove location and serial numbers"));
    strip_->addItem(QStringLiteral("Keep only profile, copyright, resolution"));
    stripLabel->setBuddy(strip_);
    strip_->setToolTip(QStringLiteral(
        "Remove location: no GPS position, no place in the XMP data, no camera or lens serial "
        "numbers. Keep only: the colour profile, the orientation, the resolution, copyright and "
        "artist; no thumbnail."));
    srgb_ = new QCheckBox(QStringLiteral("Convert colours to s&RGB"), this);
    srgb_->setToolTip(QStringLiteral(
        "Colours are converted from the image's profile (Adobe RGB, Display P3, ...) to sRGB, "
        "which the file then carries; images without a profile are taken as sRGB."));
    linear_ = new QCheckBox(QStringLiteral("Resize in &linear light"), this);
    linear_->setToolTip(QStringLiteral(
        "The standard algorithms average light rather than encoded values, so fine bright detail "
        "does not darken when reduced. The own algorithms are made for the encoded samples and "
        "keep them."));
    auto* backgroundLabel = new QLabel(QStringLiteral("&Background:"), this);
    background_ = new QLineEdit(this);
    background_->setPlaceholderText(QStringLiteral("white"));
    background_->setToolTip(QStringLiteral(
        "What transparent pixels are laid over in JPEG, BMP and other files without alpha, and "
        "in the preview: #rrggbb or a colour name."));
    backgroundLabel->setBuddy(background_);
    pick_ = new QPushButton(QStringLiteral("..."), this);
    pick_->setMaximumWidth(32);
    keepTime_ = new QCheckBox(QStringLiteral("Keep the file &time"), this);
    keepTime_->setToolTip(QStringLiteral("Outputs get their original's modification time."));
    grid->addWidget(stripLabel, 0, 0);
    grid->addWidget(strip_, 0, 1, 1, 2);
    grid->addWidget(srgb_, 1, 0, 1, 3);
    grid->addWidget(linear_, 2, 0, 1, 3);
    grid->addWidget(backgroundLabel, 3, 0);
    grid->addWidget(background_, 3, 1);
    grid->addWidget(pick_, 3, 2);
    grid->addWidget(keepTime_, 4, 0, 1, 3);
    connect(pick_, &QPushButton::clicked, this, &COutputOptionsBox::PickColour);
}

void COutputOptionsBox::SetOptions(const OutputOptions& options) {
    strip_->setCurrentIndex(int(options.strip));
    srgb_->setChecked(options.toSrgb);
    linear_->setChecked(options.linear);
    keepTime_->setChecked(options.keepTime);
    shownBackground_ = options.background;
    background_->setText(options.background == OutputOptions().background
                             ? QString()
                             : BackgroundColourText(options.background));
}

OutputOptions COutputOptionsBox::Options() const {
    OutputOptions options;
    options.strip = MetadataPolicy(std::max(0, strip_->currentIndex()));
    options.toSrgb = srgb_->isChecked();
    options.linear = linear_->isChecked();
    options.keepTime = keepTime_->isChecked();
    const QString text = background_->text().trimmed();
    options.background = text.isEmpty() ? options.background
                                        : ParseBackgroundColour(text).value_or(shownBackground_);
    return options;
}

bool COutputOptionsBox::BackgroundValid() const {
    const QString text = background_->text().trimmed();
    return text.isEmpty() || ParseBackgroundColour(text).has_value();
}

QString BackgroundWarning() {
    return QStringLiteral("Enter a background colour: #rrggbb or a name such as black.");
}

void COutputOptionsBox::SetOwnAlgorithm(bool own) {
    linear_->setEnabled(!own);
}

void COutputOptionsBox::PickColour() {
    const QColor picked = QColorDialog::getColor(QColor(Options().background), this);
    if (picked.isValid())
        background_->setText(picked.name(QColor::HexRgb));
}

bool RunOutputOptionsDialog(OutputOptions& options, bool ownAlgorithm, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Colour and metadata"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* box = new COutputOptionsBox(&dialog);
    box->SetOptions(options);
    box->SetOwnAlgorithm(ownAlgorithm);
    layout->addWidget(box);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&dialog, box] {
        if (box->BackgroundValid())
            dialog.accept();
        else
            box->backgroundEdit()->setFocus();  // the text stays for the user to mend
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    options = box->Options();
    return true;
}

void EditOutputOptions(SettingsModel& settings, QWidget* parent) {
    OutputOptions options = OutputOptionsOf(settings.Batch());
    if (!RunOutputOptionsDialog(options, IsOwnAlgorithm(settings.Resize().algorithm), parent))
        return;
    BatchSettings batch = settings.Batch();
    SetOutputOptions(batch, options);
    settings.SetBatch(batch);
}

QPushButton* MakeOutputOptionsButton(SettingsModel& settings, QWidget* parent) {
    auto* button = new QPushButton(QStringLiteral("Colour and metadata..."), parent);
    button->setObjectName(QStringLiteral("outputOptionsButton"));
    QObject::connect(button, &QPushButton::clicked, parent,
                     [&settings, parent] { EditOutputOptions(settings, parent); });
    return button;
}

}  // namespace orm
