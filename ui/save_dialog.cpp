#include "ui/save_dialog.h"

#include "frame/save_name.h"

#include "imageio/output_formats.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

#include <algorithm>

namespace orm::gui {
QString FilterSuffix(const QString& filter) {
    const qsizetype star = filter.indexOf(QLatin1String("*."));
    if (star < 0)
        return {};
    qsizetype end = star + 2;
    while (end < filter.size() && filter[end] != QLatin1Char(')') &&
           filter[end] != QLatin1Char(' '))
        ++end;
    return filter.mid(star + 2, end - star - 2);
}

void ConfigureSaveDialog(QFileDialog& dialog, const QString& folder) {
    dialog.setWindowTitle(QStringLiteral("Save As"));
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(SaveDialogFilter());
    // The dialog adds the default suffix to a bare name before it asks about replacing a file.
    dialog.setDefaultSuffix(FilterSuffix(dialog.selectedNameFilter()));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString& filter) { dialog.setDefaultSuffix(FilterSuffix(filter)); });
}

bool QualityAppliesTo(const QString& filter) {
    const OutputFormat* format =
        OutputFormatForPath(QStringLiteral("name.") + FilterSuffix(filter));
    return format && format->quality != QualityUse::None;
}

CSaveAsDialog::CSaveAsDialog(QWidget* parent, const QString& folder, const QString& suggested,
                             int quality)
    : QFileDialog(parent) {
    setObjectName(QStringLiteral("saveAsDialog"));
    setOption(QFileDialog::DontUseNativeDialog);
    const QFileInfo suggestion(suggested);
    ConfigureSaveDialog(*this, suggested.isEmpty() ? folder : suggestion.absolutePath());
    if (!suggested.isEmpty()) {
        // The type of the suggested name first: it sets the suffix a retyped bare name takes.
        const QString filter = FilterForSuffix(nameFilters(), suggestion.suffix());
        if (!filter.isEmpty()) {
            selectNameFilter(filter);
            setDefaultSuffix(FilterSuffix(filter));
        }
        selectFile(suggestion.fileName());
    }

    auto* label = new QLabel(QStringLiteral("JPEG &quality:"), this);
    quality_ = new QSpinBox(this);
    quality_->setObjectName(QStringLiteral("jpegQuality"));
    quality_->setRange(1, 100);
    quality_->setValue(std::clamp(quality, 1, 100));
    quality_->setToolTip(
        QStringLiteral("1 gives the smallest files, 100 the best pictures (JPEG and WebP)"));
    label->setBuddy(quality_);
    // Under the type list, in the dialog's own grid.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(quality_, row, 1, Qt::AlignLeft);
    }
    const auto follow = [this, label](const QString& filter) {
        const bool applies = QualityAppliesTo(filter);
        quality_->setEnabled(applies);
        label->setEnabled(applies);
    };
    follow(selectedNameFilter());
    connect(this, &QFileDialog::filterSelected, this, follow);
}

int CSaveAsDialog::Quality() const {
    return quality_->value();
}

}  // namespace orm::gui
