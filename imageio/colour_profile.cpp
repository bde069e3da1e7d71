#include "imageio/colour_profile.h"

#include "imageio/image_loader.h"
#include "imageio/transparency.h"
#include "metadata/exif_properties.h"

#include <lcms2.h>

#include <cmath>
#include <memory>

namespace orm {

namespace {

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
struct TransformDeleter {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;
using Transform = std::unique_ptr<void, TransformDeleter>;

Profile OpenProfile(const QByteArray& bytes) {
    return Profile(cmsOpenProfileFromMem(bytes.constData(), cmsUInt32Number(bytes.size())));
}

QByteArray SaveProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile, nullptr, &size) || size == 0)
        return {};
    QByteArray bytes(qsizetype(size), '\0');
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size))
        return {};
    return bytes;
}

// The pixel layout Little CMS reads and writes for a format this file converts.
cmsUInt32Number LcmsFormat(QImage::Format format) {
    switch (format) {
        case QImage::Format_BGR888:
            return TYPE_BGR_8;
        case QImage::Format_RGB888:
            return TYPE_RGB_8;
        case QImage::Format_RGBA8888:
            return TYPE_RGBA_8;
        default:
            return 0;
    }
}

}  // namespace

const QByteArray& SrgbProfileBytes() {
    static const QByteArray bytes = [] {
        const Profile srgb(cmsCreate_sRGBProfile());
        return SaveProfile(srgb.get());
    }();
    return bytes;
}

bool IsRgbProfile(const QByteArray& profile) {
    const Profile p = OpenProfile(profile);
    return p && cmsGetColorSpace(p.get()) == cmsSigRgbData;
}

bool IsSrgbLikeProfile(const QByteArray& profile) {
    const Profile p = OpenProfile(profile);
    if (!p || cmsGetColorSpace(p.get()) != cmsSigRgbData || !cmsIsMatrixShaper(p.get()))
        return false;
    const Profile srgb(cmsCreate_sRGBProfile());
    constexpr double kTolerance = 0.002;
    for (cmsTagSignature tag :
         {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag}) {
        const auto* a = static_cast<const cmsCIEXYZ*>(cmsReadTag(p.get(), tag));
        const auto* b = static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb.get(), tag));
        if (!a || !b || std::abs(a->X - b->X) > kTolerance || std::abs(a->Y - b->Y) > kTolerance ||
            std::abs(a->Z - b->Z) > kTolerance)
            return false;
    }
    for (cmsTagSignature tag : {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag}) {
        const auto* a = static_cast<const cmsToneCurve*>(cmsReadTag(p.get(), tag));
        const auto* b = static_cast<const cmsToneCurve*>(cmsReadTag(srgb.get(), tag));
        if (!a || !b)
            return false;
        for (int i = 1; i < 16; ++i) {
            const float v = float(i) / 16.0f;
            if (std::abs(cmsEvalToneCurveFloat(a, v) - cmsEvalToneCurveFloat(b, v)) > kTolerance)
                return false;
        }
    }
    return true;
}

bool ConvertToSrgb(QImage& image, const QByteArray& profile) {
    if (profile.isEmpty() || image.isNull())
        return true;
    const Profile from = OpenProfile(profile);
    if (!from || cmsGetColorSpace(from.get()) != cmsSigRgbData)
        return false;
    const Profile to(cmsCreate_sRGBProfile());
    QImage::Format format = image.format();
    if (!LcmsFormat(format)) {
        format = image.hasAlphaChannel() ? QImage::Format_RGBA8888 : QImage::Format_BGR888;
        image = image.convertToFormat(format);
        if (image.isNull())
            return false;
    }
    const cmsUInt32Number layout = LcmsFormat(format);
    const cmsUInt32Number flags = cmsFLAGS_BLACKPOINTCOMPENSATION |
                                  (format == QImage::Format_RGBA8888 ? cmsFLAGS_COPY_ALPHA : 0);
    const Transform transform(
        cmsCreateTransform(from.get(), layout, to.get(), layout, INTENT_PERCEPTUAL, flags));
    if (!transform)
        return false;
    // The lines in place: Little CMS takes the same buffer for input and output.
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        cmsDoTransform(transform.get(), line, line, cmsUInt32Number(w));
    }
    return true;
}

QImage DisplayPixels(const SourceImage& source, QRgb background) {
    const PropertyItem* profile = FindItem(source.properties, kPropIccProfile);
    const bool convert =
        profile && IsRgbProfile(profile->value) && !IsSrgbLikeProfile(profile->value);
    const bool white =
        qRed(background) == 255 && qGreen(background) == 255 && qBlue(background) == 255;
    const bool lay = source.transparent && !source.original.isNull() &&
                     source.original.size() == source.image.size() && !white;
    if (!convert && !lay)
        return source.image;
    QImage shown = lay ? CompositeOver(source.original, background) : source.image.copy();
    if (shown.isNull() || (convert && !ConvertToSrgb(shown, profile->value)))
        return {};
    return shown;
}

QByteArray FileColourProfile(const QByteArray& fileBytes) {
    const PropertyItems items = ReadPropertyItems(fileBytes);
    const PropertyItem* profile = FindItem(items, kPropIccProfile);
    return profile ? profile->value : QByteArray();
}

void ShowThroughProfile(QImage& picture, const QByteArray& profile) {
    if (!profile.isEmpty() && IsRgbProfile(profile) && !IsSrgbLikeProfile(profile))
        ConvertToSrgb(picture, profile);
}

}  // namespace orm
