#pragma once
// The resize settings panel: facts about the open image, the navigator, the new size in pixels
// or percent, the print size and resolution, the correction mode, the algorithm, the units and
// the lock switch. Every accepted change goes straight into the settings model's record and ends
// with settingsChanged(). The rules live in ResizePanelLogic; this class binds them to controls.

#include "settings/panel_logic.h"
#include "settings/resize_settings.h"
#include "settings/settings_model.h"

#include <QString>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QTimer;
class QVBoxLayout;

namespace orm {

class CPanelSpinEdit;

class CResizeDlgBar : public QWidget {
    Q_OBJECT
  public:
    // settings: the program's settings owner (not owned; outlives the panel).
    explicit CResizeDlgBar(SettingsModel& settings, QWidget* parent = nullptr);
    ~CResizeDlgBar() override;

    // Refreshes every field from the settings record and the facts of the open image
    // (image.present == false: no image).
    void UpdateFromDocument(const orm::SourceImageInfo& image, const QString& fileName,
                            qint64 fileBytes);
    // Puts the navigator overview into the panel's navigator frame (it becomes the frame's child;
    // a navigator set earlier is hidden).
    void SetNavigator(QWidget* navigator);
    // Batch mode: the check box becomes "Apply to &new" and "Apply to &All" is shown.
    void SetBatchMode(bool on);

    bool batchMode() const { return logic_.batchMode(); }
    // Spin steps are running: settingsChanged() waits until they end.
    bool spinPending() const { return logic_.spinPending(); }
    const SourceImageInfo& image() const { return logic_.image(); }
    const QString& fileName() const { return fileName_; }

    // The controls, for the main window's tests and for ours.
    CPanelSpinEdit* field(PanelField f) const { return fields_[size_t(f)]; }
    QComboBox* unitsModeList() const { return unitsMode_; }
    QComboBox* correctionList() const { return correction_; }
    QComboBox* algorithmList() const { return algorithm_; }
    QComboBox* sizeUnitList() const { return sizeUnit_; }
    QComboBox* resolutionUnitList() const { return resolutionUnit_; }
    QRadioButton* editPixelsRadio() const { return editPixels_; }
    QRadioButton* editPrintRadio() const { return editPrint_; }
    QCheckBox* lockCheck() const { return lock_; }
    QCheckBox* noEnlargeCheck() const { return noEnlarge_; }
    QCheckBox* centredCheck() const { return centred_; }
    QPushButton* applyToAllButton() const { return applyToAll_; }
    QPushButton* screenButton() const { return screenButton_; }
    QPushButton* paperButton() const { return paperButton_; }
    QPushButton* resolutionButton() const { return resolutionButton_; }
    QPushButton* saveSettingsButton() const { return saveSettings_; }
    QPushButton* loadSettingsButton() const { return loadSettings_; }
    QFrame* navigatorFrame() const { return navigatorFrame_; }
    QLabel* sourcePixelsLabel() const { return sourcePixels_; }
    QLabel* sourceBitsLabel() const { return sourceBits_; }
    QLabel* sourceRawLabel() const { return sourceRaw_; }
    QLabel* sourcePrintLabel() const { return sourcePrint_; }
    QLabel* sourceResolutionLabel() const { return sourceResolution_; }
    QLabel* outputRawLabel() const { return outputRaw_; }
    QLabel* printUnitLabel(Dimension d) const {
        return d == Dimension::Width ? printWidthUnit_ : printHeightUnit_;
    }
    QLabel* resolutionUnitLabel() const { return resolutionLabel_; }

    // The preset menus as they would open now (enabling applied); the panel owns them.
    QMenu* screenMenu();
    QMenu* paperMenu();
    QMenu* resolutionMenu();

    // The periodic check of the spin-pending rule (runs every 500 ms).
    void OnTimerTick();
    // Re-reads whether a settings file exists ("&Load settings..." is enabled only then).
    void RefreshLoadEnabled();

  signals:
    // Every accepted edit, after the settings record changed.
    void settingsChanged();
    // "Apply to &All" was clicked (batch mode).
    void applyToAllRequested();
    // A run of spin steps began (true) or ended (false): views keep their picture meanwhile.
    void spinPendingChanged(bool pending);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void BuildControls();
    QGroupBox* BuildOriginalGroup();
    QGroupBox* BuildNewSizeGroup();
    QWidget* BuildBottomRow();
    void ConnectControls();
    void SetToolTips();
    void WrapToolTips();

    // Writes field texts under the updating guard.
    void ApplyWrites(const FieldWrites& writes);
    // Ends a user action: rewrites fields and, when the record changed, recomputes.
    void Finish(const PanelOutcome& outcome);
    // The common tail of every accepted change.
    void Recompute();
    // The model changed: the fields follow unless the change was the panel's own.
    void OnModelChanged();
    void ApplyEnabling();
    void SelectCombos();
    void RefreshLockCheck();

    void OnFieldEdited(PanelField f);
    void OnFieldFocusLost(PanelField f);
    void OnSpinStep(PanelField f, int delta);
    void OnSpinsFinished();
    void OnSizeUnitChosen(int index);
    void OnResolutionUnitChosen(int index);
    void OpenMenu(QPushButton* button, QMenu* menu);
    void SaveSettings();
    void LoadSettings();
    bool InputHeld() const;

    SettingsModel& settings_;
    ResizePanelLogic logic_;
    QString fileName_;
    qint64 fileBytes_ = 0;

    std::array<CPanelSpinEdit*, kPanelFieldCount> fields_{};
    QFrame* navigatorFrame_ = nullptr;
    QVBoxLayout* navigatorLayout_ = nullptr;
    QWidget* navigator_ = nullptr;
    QGroupBox* originalGroup_ = nullptr;
    QLabel* sourcePixels_ = nullptr;
    QLabel* sourceBits_ = nullptr;
    QLabel* sourceRaw_ = nullptr;
    QLabel* sourcePrint_ = nullptr;
    QLabel* sourceResolution_ = nullptr;
    QComboBox* unitsMode_ = nullptr;
    QPushButton* screenButton_ = nullptr;
    QLabel* printWidthUnit_ = nullptr;
    QLabel* printHeightUnit_ = nullptr;
    QPushButton* paperButton_ = nullptr;
    QRadioButton* editPixels_ = nullptr;
    QRadioButton* editPrint_ = nullptr;
    QLabel* resolutionLabel_ = nullptr;
    QPushButton* resolutionButton_ = nullptr;
    QLabel* percentResult_ = nullptr;
    QLabel* outputRaw_ = nullptr;
    QComboBox* correction_ = nullptr;
    QComboBox* algorithm_ = nullptr;
    QComboBox* sizeUnit_ = nullptr;
    QComboBox* resolutionUnit_ = nullptr;
    QLabel* lockNote_ = nullptr;
    QCheckBox* lock_ = nullptr;
    QCheckBox* noEnlarge_ = nullptr;
    QCheckBox* centred_ = nullptr;  // "Align pixel centres" (algorithms 5-7)
    QPushButton* applyToAll_ = nullptr;
    QPushButton* saveSettings_ = nullptr;
    QPushButton* loadSettings_ = nullptr;
    QMenu* screenMenu_ = nullptr;
    QMenu* paperMenu_ = nullptr;
    QMenu* resolutionMenu_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace orm
