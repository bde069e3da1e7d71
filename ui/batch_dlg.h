#pragma once
// "Batch Settings": where and how the resized images of a run are written. Shown before every
// run; the run goes ahead only after OK.

#include "settings/batch_settings.h"
#include "settings/prompt.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace orm {

class COutputOptionsBox;
class CPanelSpinEdit;

class CBatchDlg : public QDialog {
    Q_OBJECT
  public:
    // Filled from `settings`; an empty output folder shows the default folder.
    CBatchDlg(const BatchSettings& settings, IPrompt& prompt, QWidget* parent = nullptr);

    // The values as the controls hold them (valid after OK).
    const BatchSettings& settings() const { return settings_; }

    QLineEdit* folderEdit() const { return folder_; }
    QPushButton* browseButton() const { return browse_; }
    QCheckBox* newNameCheck() const { return newName_; }
    QCheckBox* sameFolderCheck() const { return sameFolder_; }
    QComboBox* formatList() const { return format_; }
    QCheckBox* fastDecodeCheck() const { return fastDecode_; }
    QLineEdit* qualityEdit() const;
    QButtonGroup* overwriteGroup() const { return overwrite_; }
    COutputOptionsBox* outputOptionsBox() const { return outputOptions_; }

    // The folder picker (tests replace it); returns the chosen folder or an empty text.
    void SetFolderPicker(std::function<QString(QWidget*, const QString&)> picker) {
        picker_ = std::move(picker);
    }

  public slots:
    void accept() override;

  private:
    void BuildControls();
    void FillControls();
    void UpdateEnabling();
    void OnBrowse();

    BatchSettings settings_;
    IPrompt& prompt_;
    std::function<QString(QWidget*, const QString&)> picker_;
    QLineEdit* folder_ = nullptr;
    QPushButton* browse_ = nullptr;
    QCheckBox* newName_ = nullptr;
    QCheckBox* sameFolder_ = nullptr;
    QCheckBox* fastDecode_ = nullptr;
    QButtonGroup* overwrite_ = nullptr;
    QComboBox* format_ = nullptr;
    CPanelSpinEdit* quality_ = nullptr;
    COutputOptionsBox* outputOptions_ = nullptr;
};

// Shows the dialog; on OK stores its values into `settings` (the output folder checked,
// offered for creation and normalised, unless each output goes beside its input) and returns
// true; on Cancel leaves `settings` as it was and returns false.
bool RunBatchSettingsDialog(BatchSettings& settings, IPrompt& prompt, QWidget* parent = nullptr);

}  // namespace orm
