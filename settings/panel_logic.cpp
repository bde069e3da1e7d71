#include "settings/panel_logic.h"

#include "settings/number_text.h"
#include "settings/presets.h"
#include "settings/size_rules.h"

#include <QStringList>

#include <cmath>

namespace orm {
namespace {

Dimension Other(Dimension d) {
    return d == Dimension::Width ? Dimension::Height : Dimension::Width;
}

bool ValidIndex(int index, int count) {
    return index >= 0 && index < count;
}

QString PairText(double w, double h, int decimals, const char* unit) {
    return QFormatFixed(w, decimals) + QLatin1Char('x') + QFormatFixed(h, decimals) +
           QLatin1Char(' ') + QLatin1String(unit);
}

}  // namespace

bool FieldWrites::Empty() const {
    for (const auto& text : texts_)
        if (text)
            return false;
    return true;
}

void FieldWrites::Merge(const FieldWrites& other) {
    for (size_t i = 0; i < texts_.size(); ++i)
        if (other.texts_[i])
            texts_[i] = other.texts_[i];
}

SourceTexts MakeSourceTexts(const SourceImageInfo& src, const ResizeSettings& s) {
    SourceTexts texts;
    if (!src.present)
        return texts;
    texts.pixels = QStringLiteral("%1x%2 pixels").arg(src.width).arg(src.height);
    texts.bits = QStringLiteral("%1 bits per pixel").arg(src.bitsPerPixel);
    texts.rawSize = QStringLiteral("Raw size: ") + FormatByteSize(SourceRawBytes(src));
    const double r = src.horizontalDpi;
    // A file that reports no usable resolution has no print size either.
    if (!std::isfinite(r) || r <= 0)
        return texts;
    switch (s.resolutionUnitValue()) {
        case ResolutionUnit::DotsPerMm:
            texts.resolution = QFormatFixed(r / 25.4, 2) + QStringLiteral(" dots per mm");
            break;
        case ResolutionUnit::DotsPerCm:
            texts.resolution = QFormatFixed(r / 2.54, 2) + QStringLiteral(" dots per cm");
            break;
        default:
            texts.resolution = QFormatFixed(r, 0) + QStringLiteral(" dots per inch");
            break;
    }
    const double w = src.width;
    const double h = src.height;
    switch (s.sizeUnitValue()) {
        case SizeUnit::Millimeters:
            texts.printSize = PairText(w * 25.4 / r, h * 25.4 / r, 2, "mm");
            break;
        case SizeUnit::Centimeters:
            texts.printSize = PairText(w * 2.54 / r, h * 2.54 / r, 2, "cm");
            break;
        case SizeUnit::Picas:
            texts.printSize = PairText(w * 6 / r, h * 6 / r, 0, "picas");
            break;
        case SizeUnit::Points:
            texts.printSize = PairText(w * 72 / r, h * 72 / r, 0, "pointss");
            break;
        default:
            texts.printSize = PairText(w / r, h / r, 2, "inches");
            break;
    }
    return texts;
}

QString OutputRawSizeText(const ResizeSettings& s, const SourceImageInfo& src) {
    if (!src.present)
        return {};
    return QStringLiteral("Raw size: ") + FormatByteSize(OutputRawBytes(s));
}

QString PercentResultText(const ResizeSettings& s, const SourceImageInfo& src) {
    if (!src.present || !s.inPercent)
        return {};
    return QStringLiteral("= %1x%2 pixels").arg(s.width).arg(s.height);
}

QString WrapToolTip(const QString& text, const QFontMetrics& metrics, int maxWidth) {
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0);
    QString wrapped;
    QString line;
    for (const QString& word : firstLine.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > maxWidth) {
            wrapped += line + QLatin1Char('\n');
            line = word;
        } else {
            line = candidate;
        }
    }
    return wrapped + line;
}

PanelEnabling ComputeEnabling(const ResizeSettings& s, const SourceImageInfo& src, bool batchMode) {
    PanelEnabling e;
    e.sizeControls = src.present || batchMode;
    e.pixelFields = e.sizeControls && (!src.present || s.editPrintSize == 0);
    e.printFields = e.sizeControls && (!src.present || s.editPrintSize != 0);
    e.sizePresets = e.sizeControls;
    e.originalSize = src.present;
    e.originalResolution = src.present && std::isfinite(src.horizontalDpi) && src.horizontalDpi > 0;
    return e;
}

// ---- Field texts ----------------------------------------------------------------------

QString ResizePanelLogic::SizeText(Dimension d) {
    if (HasImage()) {
        if (d == Dimension::Width)
            s_.percentWidth = PixelsToPercent(s_.width, image_.width);
        else
            s_.percentHeight = PixelsToPercent(s_.height, image_.height);
    }
    return SizeFieldText(s_, d);
}

QString ResizePanelLogic::PrintText(Dimension d) const {
    return image_.present ? PrintFieldText(s_, d) : QString();
}

FieldWrites ResizePanelLogic::SizeFields() {
    FieldWrites w;
    w.Set(PanelField::Width, SizeText(Dimension::Width));
    w.Set(PanelField::Height, SizeText(Dimension::Height));
    return w;
}

FieldWrites ResizePanelLogic::PrintFields() const {
    FieldWrites w;
    w.Set(PanelField::PrintWidth, PrintText(Dimension::Width));
    w.Set(PanelField::PrintHeight, PrintText(Dimension::Height));
    return w;
}

FieldWrites ResizePanelLogic::AllFieldTexts() {
    FieldWrites w = SizeFields();
    // Without an image the print size follows the pixels only in pixel mode; percents of
    // nothing have no print size.
    const bool showPrint = image_.present || !s_.inPercent;
    for (Dimension d : {Dimension::Width, Dimension::Height})
        w.Set(PrintField(d), showPrint ? PrintFieldText(s_, d) : QString());
    w.Set(PanelField::Resolution, ResolutionFieldText(s_));
    return w;
}

std::optional<QString> ResizePanelLogic::FocusOutText(PanelField field) const {
    switch (field) {
        case PanelField::Width:
            return SizeFieldText(s_, Dimension::Width);
        case PanelField::Height:
            return SizeFieldText(s_, Dimension::Height);
        case PanelField::PrintWidth:
            return PrintText(Dimension::Width);
        case PanelField::PrintHeight:
            return PrintText(Dimension::Height);
        case PanelField::Resolution:
            return std::nullopt;
    }
    return std::nullopt;
}

// ---- Typed values ---------------------------------------------------------------------

PanelOutcome ResizePanelLogic::SizeTyped(Dimension d, const QString& text) {
    resolutionBase_.reset();
    PanelOutcome out;
    out.accepted =
        s_.inPercent ? EditPercent(s_, image_, d, text) : EditPixels(s_, image_, d, text);
    if (!out.accepted)
        return out;
    const Dimension other = Other(d);
    if (s_.longEdge) {
        KeepLongEdgeAfterEdit(s_, image_, d);
        out.writes.Set(SizeField(other), SizeText(other));
    } else if (s_.correctionMode() == CorrectionMode::KeepAspect && HasImage()) {
        // In percent mode both fields show the percentage exactly as it was typed.
        out.writes.Set(SizeField(other), s_.inPercent ? text : SizeText(other));
    }
    out.writes.Merge(PrintFields());
    return out;
}

PanelOutcome ResizePanelLogic::PrintTyped(Dimension edited, const QString& widthText,
                                          const QString& heightText) {
    resolutionBase_.reset();
    PanelOutcome out;
    if (!image_.present)
        return out;
    out.accepted = EditPrintSize(s_, image_, edited, widthText, heightText);
    if (!out.accepted)
        return out;
    FitLongEdge(s_, image_);
    out.writes = SizeFields();
    // Aspect keeping may have moved the other dimension; its print field follows (the edited
    // one keeps what is being typed).
    out.writes.Set(PrintField(Other(edited)), PrintText(Other(edited)));
    return out;
}

PanelOutcome ResizePanelLogic::ResolutionTyped(const QString& text) {
    PanelOutcome out;
    if (!resolutionBase_)
        resolutionBase_ = ResolutionBase{s_.width, s_.height, s_.dpi};
    // Typing 150 passes through 1 and 15; scaling step by step from those would lose the
    // size to rounding and the 3-pixel minimum, so the change is taken from the base.
    ResizeSettings trial = s_;
    if (!s_.editPrintSize) {
        trial.width = resolutionBase_->width;
        trial.height = resolutionBase_->height;
    }
    trial.dpi = resolutionBase_->dpi;
    if (!EditResolution(trial, text))
        return out;
    s_.width = trial.width;
    s_.height = trial.height;
    s_.dpi = trial.dpi;
    FitLongEdge(s_, image_);
    out.accepted = true;
    out.writes = s_.editPrintSize ? PrintFields() : SizeFields();
    return out;
}

// ---- Lists, radios, check box ---------------------------------------------------------

PanelOutcome ResizePanelLogic::UnitsModeSelected(int index) {
    PanelOutcome out;
    if (!ValidIndex(index, kUnitsModeCount))
        return out;
    out.accepted = SetUnitsMode(s_, image_, index);
    out.writes = SizeFields();
    // Long edge may have refitted the pixels.
    if (image_.present)
        out.writes.Merge(PrintFields());
    return out;
}

PanelOutcome ResizePanelLogic::CorrectionSelected(int index) {
    resolutionBase_.reset();
    PanelOutcome out;
    if (!ValidIndex(index, kCorrectionModeCount))
        return out;
    SetCorrection(s_, image_, static_cast<CorrectionMode>(index));
    s_.correctionBeforeLock = -1;  // the user's own choice now
    FitLongEdge(s_, image_);
    out.accepted = true;
    out.writes = SizeFields();
    out.writes.Merge(PrintFields());
    return out;
}

PanelOutcome ResizePanelLogic::AlgorithmSelected(int index) {
    PanelOutcome out;
    const auto algorithm = AlgorithmFromIndex(index);
    if (!algorithm)
        return out;
    s_.algorithm = *algorithm;
    out.accepted = true;
    return out;
}

bool ResizePanelLogic::SizeUnitSelected(int index) {
    resolutionBase_.reset();
    if (!image_.present || !ValidIndex(index, kSizeUnitCount) || s_.sizeUnit == index)
        return false;
    s_.sizeUnit = index;
    return true;
}

bool ResizePanelLogic::ResolutionUnitSelected(int index) {
    resolutionBase_.reset();
    if (!image_.present || !ValidIndex(index, kResolutionUnitCount) || s_.resolutionUnit == index)
        return false;
    s_.resolutionUnit = index;
    return true;
}

PanelOutcome ResizePanelLogic::EditModeSelected(bool printSize) {
    resolutionBase_.reset();
    PanelOutcome out;
    out.accepted = s_.editPrintSize != int32_t(printSize);
    s_.editPrintSize = printSize ? 1 : 0;
    return out;
}

PanelOutcome ResizePanelLogic::LockToggled(bool checked) {
    PanelOutcome out;
    int32_t& target = batchMode_ ? s_.applyToAll : s_.lockSettings;
    out.accepted = target != int32_t(checked);
    target = checked ? 1 : 0;
    // Let go: the correction the lock replaced with Crop comes back.
    if (!checked && s_.correctionBeforeLock >= 0 && s_.correctionMode() == CorrectionMode::Crop) {
        s_.correction = s_.correctionBeforeLock;
        out.accepted = true;
    }
    if (!checked)
        s_.correctionBeforeLock = -1;
    return out;
}

bool ResizePanelLogic::LockChecked() const {
    return (batchMode_ ? s_.applyToAll : s_.lockSettings) != 0;
}

// ---- Presets --------------------------------------------------------------------------

PanelOutcome ResizePanelLogic::ScreenPresetChosen(int index) {
    resolutionBase_.reset();
    PanelOutcome out;
    const auto presets = ScreenPresets();
    if (!ValidIndex(index, int(presets.size())))
        return out;
    out.accepted = ApplyScreenPreset(s_, image_, presets[size_t(index)]);
    if (out.accepted) {
        FitLongEdge(s_, image_);
        out.writes = SizeFields();
        out.writes.Merge(PrintFields());
    }
    return out;
}

PanelOutcome ResizePanelLogic::PaperPresetChosen(int index) {
    resolutionBase_.reset();
    PanelOutcome out;
    const auto presets = PaperPresets();
    if (!ValidIndex(index, int(presets.size())))
        return out;
    const auto paper = ApplyPaperPreset(s_, image_, presets[size_t(index)].label);
    if (!paper)
        return out;
    FitLongEdge(s_, image_);
    out.accepted = true;
    out.writes = SizeFields();
    // The print fields show the paper itself, not the size read back from the pixels.
    out.writes.Set(PanelField::PrintWidth, paper->widthText);
    out.writes.Set(PanelField::PrintHeight, paper->heightText);
    return out;
}

PanelOutcome ResizePanelLogic::ResolutionPresetChosen(int index, std::optional<double> printerDpi) {
    resolutionBase_.reset();
    PanelOutcome out;
    const auto presets = ResolutionPresets();
    if (!ValidIndex(index, int(presets.size())))
        return out;
    out.accepted = ApplyResolutionPreset(s_, image_, presets[size_t(index)], printerDpi);
    if (!out.accepted)
        return out;
    FitLongEdge(s_, image_);
    out.writes = s_.editPrintSize ? PrintFields() : SizeFields();
    out.writes.Set(PanelField::Resolution, ResolutionFieldText(s_));
    return out;
}

// ---- Spins ----------------------------------------------------------------------------

Limits ResizePanelLogic::FieldLimits(PanelField field) const {
    switch (field) {
        case PanelField::Width:
            return LimitsFor(s_.inPercent ? Quantity::Percent : Quantity::Pixels, Dimension::Width,
                             s_, image_);
        case PanelField::Height:
            return LimitsFor(s_.inPercent ? Quantity::Percent : Quantity::Pixels, Dimension::Height,
                             s_, image_);
        case PanelField::PrintWidth:
            return LimitsFor(Quantity::PrintSize, Dimension::Width, s_, image_);
        case PanelField::PrintHeight:
            return LimitsFor(Quantity::PrintSize, Dimension::Height, s_, image_);
        case PanelField::Resolution:
            return LimitsFor(Quantity::Resolution, Dimension::Width, s_, image_);
    }
    return {1, 0};
}

QString ResizePanelLogic::SpinStep(PanelField field, const QString& currentText, int delta) {
    // Set before the new text is handled, so the views wait for the end of the steps.
    spinPending_ = true;
    return StepFieldText(currentText, delta > 0 ? 1 : -1, FieldLimits(field));
}

bool ResizePanelLogic::SpinFinished() {
    if (!spinPending_)
        return false;
    spinPending_ = false;
    return true;
}

bool ResizePanelLogic::TimerTick(bool inputHeld) {
    if (inputHeld)
        return false;
    return SpinFinished();
}

}  // namespace orm
