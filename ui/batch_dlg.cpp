#include "ui/batch_dlg.h"

#include "ui/output_options_box.h"
#include "ui/panel_spin_edit.h"

#include "imageio/output_formats.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace orm {
namespace {

constexpr int kMinQuality = 1;
constexpr int kMaxQuality = 100;

QString PickFolder(QWidget* parent, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, QString(), start);
}

}  // namespace

CBatchDlg::CBatchDlg(const BatchSettings& settings, IPrompt& prompt, QWidget* parent)
    : QDialog(parent), settings_(settings), prompt_(prompt), picker_(&PickFolder) {
    setWindowTitle(QStringLiteral("Batch Settings"));
    setObjectName(QStringLiteral("batchSettingsDialog"));
    if (settings_.outputFolder.isEmpty())
        settings_.outputFolder = DefaultOutputFolder();
    BuildControls();
    FillControls();
}

QLineEdit* CBatchDlg::qualityEdit() const {
    return quality_->edit();
}

void CBatchDlg::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* folderGroup = new QGroupBox(QStringLiteral("Output folder"), this);
    auto* folderLayout = new QGridLayout(folderGroup);
    folder_ = new QLineEdit(folderGroup);
    browse_ = new QPushButton(QStringLiteral("&Browse..."), folderGroup);
    newName_ = new QCheckBox(QStringLiteral("&Generate new name (e.g. FILE_RESIZED_TO_320X200 )"),
                             folderGroup);
    sameFolder_ = new QCheckBox(
        QStringLiteral("&Save in initial folder with new name (e.g. FILE_RESIZED_TO_320X200 )"),
        folderGroup);
    folderLayout->addWidget(folder_, 0, 0);
    folderLayout->addWidget(browse_, 0, 1);
    folderLayout->addWidget(newName_, 1, 0, 1, 2);
    folderLayout->addWidget(sameFolder_, 2, 0, 1, 2);
    layout->addWidget(folderGroup);

    auto* lower = new QHBoxLayout;
    auto* existsGroup = new QGroupBox(QStringLiteral("If file already exists"), this);
    auto* existsLayout = new QVBoxLayout(existsGroup);
    overwrite_ = new QButtonGroup(this);
    const char* labels[kOverwriteMethodCount] = {"&Skip", "&Overwrite", "Save with &unique name"};
    for (int i = 0; i < kOverwriteMethodCount; ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(labels[i]), existsGroup);
        overwrite_->addButton(radio, i);
        existsLayout->addWidget(radio);
    }
    lower->addWidget(existsGroup);

    auto* formatLayout = new QGridLayout;
    formatLayout->addWidget(new QLabel(QStringLiteral("Output format:"), this), 0, 0);
    format_ = new QComboBox(this);
    // In the order of the stored indices: "Don't change", then the written formats.
    format_->addItem(KeepFormatListText());
    for (const OutputFormat& f : OutputFormatTable())
        format_->addItem(QString::fromLatin1(f.listText));
    formatLayout->addWidget(format_, 0, 1);
    auto* qualityLabel = new QLabel(QStringLiteral("JPEG &quality:"), this);
    quality_ = new CPanelSpinEdit(this);
    qualityLabel->setBuddy(quality_);
    formatLayout->addWidget(qualityLabel, 1, 0);
    formatLayout->addWidget(quality_, 1, 1);
    fastDecode_ = new QCheckBox(QStringLiteral("&Fast decoding of big JPEGs"), this);
    fastDecode_->setToolTip(
        QStringLiteral("Big JPEGs reduced strongly are decoded at 1/2, 1/4 or 1/8 of their size "
                       "(never below the output size) before the chosen algorithm runs: much "
                       "faster, slightly less sharp."));
    formatLayout->addWidget(fastDecode_, 2, 0, 1, 2);
    formatLayout->setRowStretch(3, 1);
    lower->addLayout(formatLayout);
    layout->addLayout(lower);
    outputOptions_ = new COutputOptionsBox(this);
    layout->addWidget(outputOptions_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CBatchDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CBatchDlg::reject);
    connect(browse_, &QPushButton::clicked, this, &CBatchDlg::OnBrowse);
    connect(sameFolder_, &QCheckBox::toggled, this, [this](bool on) {
        settings_.sameFolder = on ? 1 : 0;
        // The box promises a new name: the initial folder without one would replace the
        // originals with their resized copies.
        if (on)
            newName_->setChecked(true);
        UpdateEnabling();
    });
    connect(quality_, &CPanelSpinEdit::stepRequested, this, [this](int delta) {
        bool ok = false;
        const int q = quality_->edit()->text().trimmed().toInt(&ok);
        const int next =
            std::clamp(ok ? q + delta : settings_.jpegQuality, kMinQuality, kMaxQuality);
        quality_->edit()->setText(QString::number(next));
    });
}

void CBatchDlg::FillControls() {
    folder_->setText(settings_.outputFolder);
    newName_->setChecked(settings_.newName != 0);
    sameFolder_->setChecked(settings_.sameFolder != 0);
    if (QAbstractButton* b = overwrite_->button(settings_.overwriteMethod))
        b->setChecked(true);
    // An index this program has no format for keeps the input's extension, as the run does.
    const int format = settings_.outputFormat;
    format_->setCurrentIndex(format >= 0 && format < format_->count() ? format : 0);
    quality_->edit()->setText(QString::number(settings_.jpegQuality));
    fastDecode_->setChecked(settings_.fastDecode != 0);
    outputOptions_->SetOptions(OutputOptionsOf(settings_));
    UpdateEnabling();
}

void CBatchDlg::UpdateEnabling() {
    // The folder and the new-name switch belong to the output folder; in the initial folder the
    // new name is always on.
    const bool ownFolder = !sameFolder_->isChecked();
    folder_->setEnabled(ownFolder);
    browse_->setEnabled(ownFolder);
    newName_->setEnabled(ownFolder);
}

void CBatchDlg::OnBrowse() {
    QString picked = picker_(this, folder_->text());
    if (picked.isEmpty())
        return;
    if (!picked.endsWith(QLatin1Char('/')))
        picked += QLatin1Char('/');
    settings_.outputFolder = picked;
    folder_->setText(picked);
}

void CBatchDlg::accept() {
    bool ok = false;
    const int quality = quality_->edit()->text().trimmed().toInt(&ok);
    if (!ok || quality < kMinQuality || quality > kMaxQuality) {
        prompt_.Warning(QStringLiteral("Enter an integer between %1 and %2.")
                            .arg(kMinQuality)
                            .arg(kMaxQuality));
        quality_->setFocus();
        quality_->edit()->selectAll();
        return;
    }
    if (!outputOptions_->BackgroundValid()) {
        prompt_.Warning(BackgroundWarning());
        outputOptions_->backgroundEdit()->setFocus();
        return;
    }
    settings_.jpegQuality = quality;
    settings_.outputFolder = folder_->text();
    settings_.sameFolder = sameFolder_->isChecked() ? 1 : 0;
    settings_.newName = newName_->isChecked() || settings_.sameFolder != 0 ? 1 : 0;
    settings_.overwriteMethod = std::max(0, overwrite_->checkedId());
    settings_.outputFormat = std::max(0, format_->currentIndex());
    settings_.fastDecode = fastDecode_->isChecked() ? 1 : 0;
    SetOutputOptions(settings_, outputOptions_->Options());
    QDialog::accept();
}

bool RunBatchSettingsDialog(BatchSettings& settings, IPrompt& prompt, QWidget* parent) {
    BatchSettings shown = settings;
    for (;;) {
        CBatchDlg dialog(shown, prompt, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        BatchSettings accepted = dialog.settings();
        if (!accepted.sameFolder) {
            // A folder that is not there (not created) brings the dialog back: nothing runs.
            const std::optional<QString> folder = AcceptOutputFolder(accepted.outputFolder, prompt);
            if (!folder) {
                shown = accepted;
                continue;
            }
            accepted.outputFolder = *folder;
        }
        settings = accepted;
        return true;
    }
}

}  // namespace orm
