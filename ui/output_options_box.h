#pragma once
// "Colour and metadata": the output options (imageio/output_options.h) as controls, in the batch
// settings dialog and, through "Colour && metadata...", for the window's saves. Linear light is
// greyed out while the algorithm is one of the own three, which work on the encoded samples.

#include "imageio/output_options.h"
#include "settings/settings_model.h"

#include <QDialog>
#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace orm {

class COutputOptionsBox : public QGroupBox {
    Q_OBJECT
  public:
    explicit COutputOptionsBox(QWidget* parent = nullptr);

    void SetOptions(const OutputOptions& options);
    // The options as the controls hold them; a background text that names no colour keeps the
    // colour shown last.
    OutputOptions Options() const;
    // Whether the background text is empty (white) or names a colour.
    bool BackgroundValid() const;
    // Linear light applies to the standard algorithms only.
    void SetOwnAlgorithm(bool own);

    QComboBox* stripList() const { return strip_; }
    QCheckBox* srgbCheck() const { return srgb_; }
    QCheckBox* linearCheck() const { return linear_; }
    QLineEdit* backgroundEdit() const { return background_; }
    QCheckBox* keepTimeCheck() const { return keepTime_; }

  private:
    void PickColour();

    QComboBox* strip_ = nullptr;
    QCheckBox* srgb_ = nullptr;
    QCheckBox* linear_ = nullptr;
    QLineEdit* background_ = nullptr;
    QPushButton* pick_ = nullptr;
    QCheckBox* keepTime_ = nullptr;
    QRgb shownBackground_ = qRgb(255, 255, 255);
};

// What the dialogs say when the background names no colour.
QString BackgroundWarning();

// The box in a dialog of its own; true (and options set) on OK.
bool RunOutputOptionsDialog(OutputOptions& options, bool ownAlgorithm, QWidget* parent = nullptr);
// The dialog over the settings' options (the window's saves and preview use them); OK stores
// them into the batch settings record, where they are kept.
void EditOutputOptions(SettingsModel& settings, QWidget* parent);
// "Colour and metadata...", which opens that dialog (the settings panel shows it).
QPushButton* MakeOutputOptionsButton(SettingsModel& settings, QWidget* parent);

}  // namespace orm
