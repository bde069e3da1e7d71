#include "settings/size_math.h"

#include "settings/number_text.h"
#include "settings/size_rules.h"

#include <algorithm>
#include <cmath>

namespace orm {
namespace {

bool HasSourceSize(const SourceImageInfo& src) {
    return src.present && src.width > 0 && src.height > 0;
}

bool KeepsAspect(const ResizeSettings& s, const SourceImageInfo& src) {
    return s.correctionMode() == CorrectionMode::KeepAspect && HasSourceSize(src);
}

bool UsableDpi(double dpi) {
    return std::isfinite(dpi) && dpi > 0;
}

int32_t& Field(ResizeSettings& s, Dimension d) {
    return d == Dimension::Width ? s.width : s.height;
}
int32_t Field(const ResizeSettings& s, Dimension d) {
    return d == Dimension::Width ? s.width : s.height;
}
double& PercentField(ResizeSettings& s, Dimension d) {
    return d == Dimension::Width ? s.percentWidth : s.percentHeight;
}
int32_t SourceSize(const SourceImageInfo& src, Dimension d) {
    return d == Dimension::Width ? src.width : src.height;
}
Dimension Other(Dimension d) {
    return d == Dimension::Width ? Dimension::Height : Dimension::Width;
}

}  // namespace

Limits LimitsFor(Quantity quantity, Dimension dimension, const ResizeSettings& s,
                 const SourceImageInfo& src) {
    switch (quantity) {
        case Quantity::Pixels:
            return {double(kMinPixels), double(kMaxPixels)};
        case Quantity::Percent: {
            const int32_t source = SourceSize(src, dimension);
            if (src.present && source > 0)
                return {300.0 / source, 10000000.0 / source};
            return {0.3, 3000.0};
        }
        case Quantity::PrintSize: {
            if (!UsableDpi(s.dpi))
                return {1, 0};  // nothing is inside
            const double f = SizeUnitFactor(s.sizeUnit);
            return {(1.0 / s.dpi) * f, (100000.0 / s.dpi) * f};
        }
        case Quantity::Resolution: {
            const double divisor = ResolutionUnitDivisor(s.resolutionUnit);
            return {kMinDpi / divisor, kMaxDpi / divisor};
        }
    }
    return {1, 0};
}

bool ClampToLimits(double& value, const Limits& limits) {
    if (WithinLimits(value, limits))
        return true;
    value = (std::isnan(value) || value < limits.lower) ? limits.lower : limits.upper;
    return false;
}

int32_t ComputedPixels(double pixels) {
    if (std::isnan(pixels) || pixels < kMinPixels)
        return kMinPixels;
    if (pixels > kMaxPixels)
        return kMaxPixels;
    return static_cast<int32_t>(pixels);
}

int32_t ComputedPixels(int64_t pixels) {
    return static_cast<int32_t>(std::clamp<int64_t>(pixels, kMinPixels, kMaxPixels));
}

double PixelsToPrint(int64_t pixels, double dpi, int sizeUnit) {
    return double(pixels) * SizeUnitFactor(sizeUnit) / dpi;
}

double RoundPrint(double print) {
    return std::floor(print * 10000 + 0.5) / 10000;
}

int32_t PrintToPixels(double print, double dpi, int sizeUnit) {
    return ComputedPixels(dpi * print / SizeUnitFactor(sizeUnit));
}

int32_t PercentToPixels(double percent, int32_t sourcePixels) {
    return ComputedPixels(percent * sourcePixels / 100);
}

double PixelsToPercent(int32_t pixels, int32_t sourcePixels) {
    if (sourcePixels <= 0)
        return 0;
    return std::floor((double(pixels) * 100 / sourcePixels) * 100 + 0.5) / 100;
}

double ShownResolution(double dpi, int resolutionUnit) {
    return std::floor((dpi / ResolutionUnitDivisor(resolutionUnit)) * 100 + 0.5) / 100;
}

void RefreshPercents(ResizeSettings& s, const SourceImageInfo& src) {
    if (!HasSourceSize(src))
        return;
    s.percentWidth = PixelsToPercent(s.width, src.width);
    s.percentHeight = PixelsToPercent(s.height, src.height);
}

QString SizeFieldText(const ResizeSettings& s, Dimension d) {
    if (s.inPercent)
        return QFormatG(d == Dimension::Width ? s.percentWidth : s.percentHeight);
    return QString::number(Field(s, d));
}

QString PrintFieldText(const ResizeSettings& s, Dimension d) {
    if (!UsableDpi(s.dpi))
        return {};
    return QFormatG(RoundPrint(PixelsToPrint(Field(s, d), s.dpi, s.sizeUnit)));
}

QString ResolutionFieldText(const ResizeSettings& s) {
    return QFormatG(ShownResolution(s.dpi, s.resolutionUnit));
}

bool EditPixels(ResizeSettings& s, const SourceImageInfo& src, Dimension d, const QString& text) {
    const auto value = ParseUnsigned(text);
    if (!value || *value < kMinPixels || *value > kMaxPixels)
        return false;
    Field(s, d) = static_cast<int32_t>(*value);
    KeepAspectAfterEdit(s, src, d);
    return true;
}

bool EditPercent(ResizeSettings& s, const SourceImageInfo& src, Dimension d, const QString& text) {
    if (!HasSourceSize(src))
        return false;
    const auto value = ParseReal(text);
    if (!value || !WithinLimits(*value, LimitsFor(Quantity::Percent, d, s, src)))
        return false;
    PercentField(s, d) = *value;
    Field(s, d) = PercentToPixels(*value, SourceSize(src, d));
    if (KeepsAspect(s, src)) {
        KeepAspectAfterEdit(s, src, d);
        PercentField(s, Other(d)) = *value;
    }
    return true;
}

bool EditPrintSize(ResizeSettings& s, const SourceImageInfo& src, Dimension edited,
                   const QString& widthText, const QString& heightText) {
    if (!src.present || !UsableDpi(s.dpi))
        return false;
    const Limits limits = LimitsFor(Quantity::PrintSize, edited, s, src);
    bool taken = false;
    for (Dimension d : {Dimension::Width, Dimension::Height}) {
        const QString& text = d == Dimension::Width ? widthText : heightText;
        // The field that was not edited still shows the rounded size of its current pixels;
        // reading that back could move it by a pixel, so it is taken only when it was changed.
        if (d != edited && text == PrintFieldText(s, d))
            continue;
        const auto value = ParseReal(text);
        if (!value || !WithinLimits(*value, limits))
            continue;
        Field(s, d) = PrintToPixels(*value, s.dpi, s.sizeUnit);
        taken = true;
    }
    if (taken)
        KeepAspectAfterEdit(s, src, edited);
    return taken;
}

bool EditResolution(ResizeSettings& s, const QString& text) {
    const auto value = ParseReal(text);
    if (!value || !WithinLimits(*value, LimitsFor(Quantity::Resolution, Dimension::Width, s, {})))
        return false;
    return SetDpi(s, *value * ResolutionUnitDivisor(s.resolutionUnit));
}

void KeepAspectAfterEdit(ResizeSettings& s, const SourceImageInfo& src, Dimension edited) {
    if (!KeepsAspect(s, src))
        return;
    // Sizes are below 2^31, so the 64-bit products cannot overflow.
    if (edited == Dimension::Width)
        s.height = ComputedPixels(int64_t(src.height) * s.width / src.width);
    else
        s.width = ComputedPixels(int64_t(src.width) * s.height / src.height);
}

void SetCorrection(ResizeSettings& s, const SourceImageInfo& src, CorrectionMode mode) {
    s.correction = static_cast<int32_t>(mode);
    if (!KeepsAspect(s, src))
        return;
    // The current box shrinks to the source aspect.
    if (int64_t(s.width) * src.height < int64_t(s.height) * src.width)
        s.height = ComputedPixels(int64_t(s.width) * src.height / src.width);
    else
        s.width = ComputedPixels(int64_t(s.height) * src.width / src.height);
}

void FitBoxToSource(int64_t& a, int64_t& b, const SourceImageInfo& src) {
    if (!HasSourceSize(src))
        return;
    if (a * src.height < b * src.width)
        b = a * src.height / src.width;
    else
        a = b * src.width / src.height;
}

void FitBoxToSource(double& a, double& b, const SourceImageInfo& src) {
    if (!HasSourceSize(src))
        return;
    if (a * src.height < b * src.width)
        b = a * src.height / src.width;
    else
        a = b * src.width / src.height;
}

void ApplyDpiChange(ResizeSettings& s, double oldDpi) {
    if (s.editPrintSize)
        return;  // the pixels stay; the print size follows when the fields are refreshed
    if (!UsableDpi(oldDpi) || !UsableDpi(s.dpi))
        return;
    s.width = ComputedPixels(s.width * double(s.dpi) / oldDpi + 0.5);
    s.height = ComputedPixels(s.height * double(s.dpi) / oldDpi + 0.5);
}

bool SetDpi(ResizeSettings& s, double dpi) {
    if (!UsableDpi(dpi))
        return false;
    const double old = s.dpi;
    s.dpi = static_cast<float>(std::clamp(dpi, kMinDpi, kMaxDpi));
    ApplyDpiChange(s, old);
    return true;
}

void AdoptSettingsForImage(ResizeSettings& s, const SourceImageInfo& src, bool inBatchMode,
                           bool openedFromBatchList) {
    if (openedFromBatchList || !src.present)
        return;
    const bool keep = inBatchMode ? s.applyToAll != 0 : s.lockSettings != 0;
    if (!keep) {
        s.width = src.width;
        s.height = src.height;
        // A file without a usable resolution leaves the current one in place.
        if (UsableDpi(src.horizontalDpi))
            s.dpi = static_cast<float>(std::clamp(src.horizontalDpi, kMinDpi, kMaxDpi));
        return;
    }
    if (s.correctionMode() == CorrectionMode::KeepAspect) {
        s.correctionBeforeLock = s.correction;
        s.correction = static_cast<int32_t>(CorrectionMode::Crop);
    }
    if (s.inPercent && s.percentWidth != 0 && s.percentHeight != 0) {
        s.width = ComputedPixels(src.width * s.percentWidth / 100 + 0.5);
        s.height = ComputedPixels(src.height * s.percentHeight / 100 + 0.5);
    }
    ApplySizeRulesToKeptSize(s, src);
}

double SourceRawBytes(const SourceImageInfo& src) {
    return double(src.bitsPerPixel) * src.width * src.height / 8;
}

double OutputRawBytes(const ResizeSettings& s) {
    return double(s.width) * s.height * 24 / 8;
}

QString FormatByteSize(double bytes) {
    const double k = bytes / 1024;
    if (k < 1000)
        return QFormatFixed(k, 1) + QStringLiteral("KB");
    const double m = k / 1024;
    if (m < 1000)
        return QFormatFixed(m, 1) + QStringLiteral("MB");
    return QFormatFixed(m / 1024, 1) + QStringLiteral("GB");
}

QString StepFieldText(const QString& text, int delta, const Limits& limits) {
    double value = ParseLeadingReal(text) + delta;
    ClampToLimits(value, limits);
    return QFormatG(value);
}

}  // namespace orm
