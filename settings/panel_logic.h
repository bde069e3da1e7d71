#pragma once
// The rules of the resize settings panel without its widgets: which typed values are taken
// over, which fields are rewritten afterwards, the updating guard, the spin-pending rule and
// the texts of the "Original image" facts. CResizeDlgBar binds this to its controls; tests
// drive it directly.

#include "settings/resize_settings.h"
#include "settings/size_math.h"

#include <QFontMetrics>
#include <QString>

#include <array>
#include <optional>

namespace orm {

// The five edit fields of the panel.
enum class PanelField { Width = 0, Height, PrintWidth, PrintHeight, Resolution };
inline constexpr int kPanelFieldCount = 5;

// Texts the panel writes into its fields after a change (always under the updating guard).
class FieldWrites {
  public:
    void Set(PanelField field, QString text) { texts_[Index(field)] = std::move(text); }
    const std::optional<QString>& Get(PanelField field) const { return texts_[Index(field)]; }
    bool Has(PanelField field) const { return texts_[Index(field)].has_value(); }
    bool Empty() const;
    // Later writes replace earlier ones of the same field.
    void Merge(const FieldWrites& other);

  private:
    static size_t Index(PanelField field) { return static_cast<size_t>(field); }
    std::array<std::optional<QString>, kPanelFieldCount> texts_;
};

// What a user action did: whether the record changed (the panel then recomputes) and the
// fields to rewrite.
struct PanelOutcome {
    bool accepted = false;
    FieldWrites writes;
};

// The "Original image" texts; all empty without an image, print size and resolution empty
// when the image reports no resolution.
struct SourceTexts {
    QString pixels;      // "%dx%d pixels"
    QString bits;        // "%d bits per pixel"
    QString rawSize;     // "Raw size: %s"
    QString printSize;   // by size unit, e.g. "%.2fx%.2f inches"
    QString resolution;  // by resolution unit, e.g. "%.0f dots per inch"
};
SourceTexts MakeSourceTexts(const SourceImageInfo& src, const ResizeSettings& s);
// "Raw size: %s" of the output; empty without an image.
QString OutputRawSizeText(const ResizeSettings& s, const SourceImageInfo& src);
// In percent mode with an image, the pixel size the percents give ("= %dx%d pixels"); else empty.
QString PercentResultText(const ResizeSettings& s, const SourceImageInfo& src);

// A tooltip as shown: the text up to its first line break, broken between words so that no
// line is wider than maxWidth pixels (a single longer word keeps a line of its own).
QString WrapToolTip(const QString& text, const QFontMetrics& metrics, int maxWidth = 300);

// Which controls are usable.
struct PanelEnabling {
    bool sizeControls = false;        // the five fields, their spins, the Pixels/Percent list
    bool pixelFields = false;         // width and height
    bool printFields = false;         // print width and height
    bool sizePresets = false;         // "Screen/device" and "Paper"
    bool originalSize = false;        // "Original size" in the screen menu
    bool originalResolution = false;  // "Original" in the resolution menu
};
PanelEnabling ComputeEnabling(const ResizeSettings& s, const SourceImageInfo& src, bool batchMode);

// Counts nested refreshes; while it is set, change notifications of the fields are ignored.
class UpdatingGuard {
  public:
    explicit UpdatingGuard(int& depth) : depth_(depth) { ++depth_; }
    ~UpdatingGuard() { --depth_; }
    UpdatingGuard(const UpdatingGuard&) = delete;
    UpdatingGuard& operator=(const UpdatingGuard&) = delete;

  private:
    int& depth_;
};

class ResizePanelLogic {
  public:
    // The logic edits its own copy; the panel hands it to the settings model when an edit ends.
    explicit ResizePanelLogic(const ResizeSettings& settings) : s_(settings) {}

    ResizeSettings& settings() { return s_; }
    const ResizeSettings& settings() const { return s_; }
    const SourceImageInfo& image() const { return image_; }
    void SetImage(const SourceImageInfo& image) {
        image_ = image;
        resolutionBase_.reset();
    }
    bool batchMode() const { return batchMode_; }
    void SetBatchMode(bool on) { batchMode_ = on; }

    // ---- Updating guard ---------------------------------------------------------------
    bool updating() const { return updating_ > 0; }
    [[nodiscard]] UpdatingGuard Guard() { return UpdatingGuard(updating_); }

    // ---- Field texts ------------------------------------------------------------------
    // Every field as a full refresh shows it (stores the percents of the pixel size first).
    FieldWrites AllFieldTexts();
    // The width or height field (with an image the stored percent follows the pixels).
    QString SizeText(Dimension d);
    // A print field as single refreshes show it: empty without an image.
    QString PrintText(Dimension d) const;
    // The text a field gets back when it loses focus; none for the resolution field, which
    // keeps what was typed.
    std::optional<QString> FocusOutText(PanelField field) const;

    // ---- Typed values -----------------------------------------------------------------
    PanelOutcome SizeTyped(Dimension d, const QString& text);
    PanelOutcome PrintTyped(Dimension edited, const QString& widthText, const QString& heightText);
    // The pixel size follows the resolution from where it stood when typing in the field
    // began, so the intermediate values of a number typed digit by digit leave no trace.
    PanelOutcome ResolutionTyped(const QString& text);
    // The resolution field lost focus: the next typing starts from the values then.
    void ResolutionEditEnded() { resolutionBase_.reset(); }

    // ---- Lists, radios, check box -----------------------------------------------------
    // "Pixels" / "Percent" / "Long edge" (size_rules.h); in long-edge mode every change of the
    // pixel size is refitted to the image's aspect.
    PanelOutcome UnitsModeSelected(int index);
    PanelOutcome CorrectionSelected(int index);
    PanelOutcome AlgorithmSelected(int index);
    // A size or resolution unit chosen: taken over only with an image (the panel then
    // refreshes itself completely). Returns whether the record changed.
    bool SizeUnitSelected(int index);
    bool ResolutionUnitSelected(int index);
    PanelOutcome EditModeSelected(bool printSize);
    // The check box: lockSettings, or applyToAll in batch mode.
    PanelOutcome LockToggled(bool checked);
    bool LockChecked() const;

    // ---- Presets ----------------------------------------------------------------------
    PanelOutcome ScreenPresetChosen(int index);
    PanelOutcome PaperPresetChosen(int index);
    // printerDpi: the default printer's resolution (SettingsModel::PrinterDpi), for its item.
    PanelOutcome ResolutionPresetChosen(int index, std::optional<double> printerDpi = {});

    // ---- Spins ------------------------------------------------------------------------
    // One spin step on a field showing currentText: the new text (clamped to the field's
    // limits, "%g"). Sets spin pending, so recomputation waits until the steps end.
    QString SpinStep(PanelField field, const QString& currentText, int delta);
    bool spinPending() const { return spinPending_; }
    // The spin reported the end of its steps: true when a recomputation is due now.
    bool SpinFinished();
    // The periodic timer: true when a recomputation is due now (pending and nothing held).
    bool TimerTick(bool inputHeld);

    // The limits of a field as it is shown now.
    Limits FieldLimits(PanelField field) const;

  private:
    FieldWrites SizeFields();
    FieldWrites PrintFields() const;
    bool HasImage() const { return image_.present && image_.width > 0 && image_.height > 0; }

    // Pixel size and resolution when typing in the resolution field began.
    struct ResolutionBase {
        int32_t width;
        int32_t height;
        float dpi;
    };

    ResizeSettings s_;
    std::optional<ResolutionBase> resolutionBase_;
    SourceImageInfo image_;
    bool batchMode_ = false;
    bool spinPending_ = false;
    int updating_ = 0;
};

// Field of a dimension.
inline PanelField SizeField(Dimension d) {
    return d == Dimension::Width ? PanelField::Width : PanelField::Height;
}
inline PanelField PrintField(Dimension d) {
    return d == Dimension::Width ? PanelField::PrintWidth : PanelField::PrintHeight;
}

}  // namespace orm
