#include "ui/save_dialog.h"

#include <QFileDialog>

namespace orm::gui {
namespace {

const QString kSaveFilter = QStringLiteral(
    "JPEG Files (*.jpg *.jpeg *.jpe);;TIFF Files (*.tif *.tiff);;Bitmap Files (*.bmp);;GIF Files "
    "(*.gif);;"
    "PNG Files (*.png);;WebP Files (*.webp)");

}  // namespace

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
    dialog.setNameFilter(kSaveFilter);
    // The dialog adds the default suffix to a bare name before it asks about replacing a file.
    dialog.setDefaultSuffix(FilterSuffix(dialog.selectedNameFilter()));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString& filter) { dialog.setDefaultSuffix(FilterSuffix(filter)); });
}

}  // namespace orm::gui
