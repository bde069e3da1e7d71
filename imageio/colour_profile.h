#pragma once
// Colour profiles (ICC) with Little CMS: pixels converted from a file's profile to sRGB
// (perceptual intent, black-point compensation), and the sRGB profile an output then carries.

#include <QByteArray>
#include <QImage>

namespace orm {

struct SourceImage;

// The sRGB profile written into converted outputs ("sRGB built-in", ICC version 4).
const QByteArray& SrgbProfileBytes();

// Whether the profile can be read and describes RGB colours (the only ones converted here).
bool IsRgbProfile(const QByteArray& profile);

// Whether the profile describes sRGB itself (primaries and tone curves within a rounding of
// the standard's): its pixels need no conversion.
bool IsSrgbLikeProfile(const QByteArray& profile);

// Converts the image's colours from the profile to sRGB in place. Takes Format_BGR888,
// Format_RGB888 and Format_RGBA8888 (alpha kept as it is); other formats are converted to one of
// these first. False (image unchanged) when the profile is not an RGB profile Little CMS can read,
// or no transform can be made; an empty profile means sRGB already (true, nothing done).
bool ConvertToSrgb(QImage& image, const QByteArray& profile);

// The source as a screen (taken as sRGB) shows it: colours through its profile to sRGB,
// transparent pixels over the background. The source's own 24-bit pixels (shared, no copy)
// when neither changes them. Null when memory runs out.
QImage DisplayPixels(const SourceImage& source, QRgb background);

// The colour profile a whole file in memory carries; empty when it has none.
QByteArray FileColourProfile(const QByteArray& fileBytes);
// A picture of the file (a thumbnail) shown through that profile to sRGB, in place: nothing
// changes for files without a profile or with an sRGB one.
void ShowThroughProfile(QImage& picture, const QByteArray& profile);

}  // namespace orm
