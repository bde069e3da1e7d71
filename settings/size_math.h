#pragma once
// Output size arithmetic: limits, unit conversions, aspect keeping, resolution changes, the
// adaptation of the record to a newly opened image and the raw-size estimate. Pure functions
// over ResizeSettings and SourceImageInfo; the settings panel binds them to its fields.

#include "settings/resize_settings.h"

#include <QString>

#include <cstdint>

namespace orm {

enum class Dimension { Width, Height };
enum class Quantity { Pixels, Percent, PrintSize, Resolution };

struct Limits {
    double lower = 0;
    double upper = 0;
};

// Bounds of a typed value of the given quantity (the dimension matters for percents only).
Limits LimitsFor(Quantity quantity, Dimension dimension, const ResizeSettings& s,
                 const SourceImageInfo& src);
// Replaces a value outside the bounds by the nearer bound; returns whether it was inside.
bool ClampToLimits(double& value, const Limits& limits);
inline bool WithinLimits(double value, const Limits& limits) {
    return value >= limits.lower && value <= limits.upper;
}

// A computed pixel size: truncated, at least kMinPixels and at most kMaxPixels.
int32_t ComputedPixels(double pixels);
int32_t ComputedPixels(int64_t pixels);

// Print size of a pixel count at a resolution, in the given size unit (unrounded).
double PixelsToPrint(int64_t pixels, double dpi, int sizeUnit);
// The shown print size: rounded to four decimals.
double RoundPrint(double print);
// Pixels of a print size: at least 3 of dpi x print / factor, truncated.
int32_t PrintToPixels(double print, double dpi, int sizeUnit);
// Pixels of a percent of the source: at least 3 of percent x source / 100, truncated.
int32_t PercentToPixels(double percent, int32_t sourcePixels);
// Percent of the source a pixel count is, rounded to two decimals.
double PixelsToPercent(int32_t pixels, int32_t sourcePixels);
// The resolution as shown in a unit, rounded to two decimals.
double ShownResolution(double dpi, int resolutionUnit);

// ---- Field texts ------------------------------------------------------------------------
// With an image, stores the percents that the pixel size represents (the refresh of the
// width/height fields does this before showing them).
void RefreshPercents(ResizeSettings& s, const SourceImageInfo& src);
// The width or height field: pixels ("%d") or, in percent mode, the stored percent ("%g").
QString SizeFieldText(const ResizeSettings& s, Dimension d);
// The print width or height field ("%g" of the rounded print size); empty when dpi is unusable.
QString PrintFieldText(const ResizeSettings& s, Dimension d);
// The resolution field in the shown unit ("%g").
QString ResolutionFieldText(const ResizeSettings& s);

// ---- Edits: each returns whether the typed value was taken over -------------------------
// Pixels: an unsigned integer within 3..100000. Keeps the aspect when asked to.
bool EditPixels(ResizeSettings& s, const SourceImageInfo& src, Dimension d, const QString& text);
// Percent (only with an image): a decimal number within its limits. With Keep aspect the
// other percent takes the same value, as its field shows the typed text.
bool EditPercent(ResizeSettings& s, const SourceImageInfo& src, Dimension d, const QString& text);
// Print size (only with an image): both fields are read; each valid one sets its dimension,
// then the aspect is kept for the edited one.
bool EditPrintSize(ResizeSettings& s, const SourceImageInfo& src, Dimension edited,
                   const QString& widthText, const QString& heightText);
// Resolution in the shown unit; then the pixel or print size follows (ApplyDpiChange).
bool EditResolution(ResizeSettings& s, const QString& text);

// ---- Aspect keeping ---------------------------------------------------------------------
// After the given dimension was edited, derives the other one from the source aspect (only
// with an image and Keep aspect).
void KeepAspectAfterEdit(ResizeSettings& s, const SourceImageInfo& src, Dimension edited);
// Sets the correction mode; a change to Keep aspect with an image shrinks the box to the
// source aspect.
void SetCorrection(ResizeSettings& s, const SourceImageInfo& src, CorrectionMode mode);
// Fits the box a x b into the source aspect (integers, 64-bit products).
void FitBoxToSource(int64_t& a, int64_t& b, const SourceImageInfo& src);
void FitBoxToSource(double& a, double& b, const SourceImageInfo& src);

// ---- Resolution -------------------------------------------------------------------------
// After dpi changed from oldDpi: in edit-print-size mode the pixels stay (the print size
// follows); otherwise the print size stays and the pixel size is scaled.
void ApplyDpiChange(ResizeSettings& s, double oldDpi);
// Sets dpi (a usable value only) and applies the change; returns whether dpi was taken.
bool SetDpi(ResizeSettings& s, double dpi);

// ---- A new image ------------------------------------------------------------------------
// Adapts the record after an image was opened. openedFromBatchList: the image is the batch
// list's selected entry, which has already put its own settings into the record.
void AdoptSettingsForImage(ResizeSettings& s, const SourceImageInfo& src, bool inBatchMode,
                           bool openedFromBatchList);

// ---- Raw size ---------------------------------------------------------------------------
double SourceRawBytes(const SourceImageInfo& src);
double OutputRawBytes(const ResizeSettings& s);
// "%.1fKB", "%.1fMB" or "%.1fGB".
QString FormatByteSize(double bytes);

// A spin step on a field: the text read as a number, plus delta, clamped, as "%g".
QString StepFieldText(const QString& text, int delta, const Limits& limits);

}  // namespace orm
