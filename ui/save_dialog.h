#pragma once
// The "Save As" dialog of Resize and Save: the six output types, and a name typed without an
// extension takes the one of the chosen type before the dialog checks for an existing file, so
// replacing a file is always confirmed. It opens with a suggested name and carries the JPEG
// quality of single-image saving.

#include <QFileDialog>
#include <QString>

class QSpinBox;

namespace orm::gui {

// The first extension of a save-dialog filter such as "JPEG Files (*.jpg *.jpeg)", without the
// dot ("jpg").
QString FilterSuffix(const QString& filter);

// Sets up dialog for choosing an output file in folder (may be empty).
void ConfigureSaveDialog(QFileDialog& dialog, const QString& folder);

// Whether the quality applies to files of a filter's type (JPEG and WebP).
bool QualityAppliesTo(const QString& filter);

// The Save As dialog of Resize and Save. It is the toolkit's own dialog, not the desktop's: only
// that one can hold the quality control.
class CSaveAsDialog : public QFileDialog {
    Q_OBJECT
  public:
    // folder: where it opens without a suggestion. suggested: a full path (its folder, type and
    // name are preset) or empty. quality: the JPEG quality to show (1..100).
    CSaveAsDialog(QWidget* parent, const QString& folder, const QString& suggested, int quality);

    // The quality shown (the caller stores it when the dialog is accepted).
    int Quality() const;
    QSpinBox* QualityBox() const { return quality_; }

  private:
    QSpinBox* quality_ = nullptr;
};

}  // namespace orm::gui
