#pragma once
// The "Save As" dialog of Resize and Save: the six output types, and a name typed without an
// extension takes the one of the chosen type before the dialog checks for an existing file, so
// replacing a file is always confirmed.

#include <QString>

class QFileDialog;

namespace orm::gui {

// The first extension of a save-dialog filter such as "JPEG Files (*.jpg *.jpeg)", without the
// dot ("jpg").
QString FilterSuffix(const QString& filter);

// Sets up dialog for choosing an output file in folder (may be empty).
void ConfigureSaveDialog(QFileDialog& dialog, const QString& folder);

}  // namespace orm::gui
