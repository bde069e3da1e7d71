#include "metadata/tag_names.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace orm {

namespace {

struct TagName_ {
    uint16_t tag;
    const char* name;
};

constexpr TagName_ kTagNames[] = {
    {0x0100, "Image width"},
    {0x0101, "Image length"},
    {0x0102, "BitsPerSample"},
    {0x0103, "Compression"},
    {0x0106, "Photometric interpretation"},
    {0x010a, "FillOrder"},
    {0x010d, "Document name"},
    {0x010e, "Image description"},
    {0x010f, "Manufacturer"},
    {0x0110, "Model"},
    {0x0111, "StripOffsets"},
    {0x0112, "Orientation"},
    {0x0115, "SamplesPerPixel"},
    {0x0116, "RowsPerStrip"},
    {0x0117, "StripByteCounts"},
    {0x011a, "Horizontal resolution"},
    {0x011b, "Vertical resolution"},
    {0x011c, "PlanarConfiguration"},
    {0x0128, "Resolution units"},
    {0x012d, "TransferFunction"},
    {0x0131, "Software"},
    {0x0132, "Date/time"},
    {0x013b, "Artist"},
    {0x013e, "WhitePoint"},
    {0x013f, "PrimaryChromaticities"},
    {0x0156, "TransferRange"},
    {0x0200, "JPEGProc"},
    {0x0201, "JPEGInterchangeFormat"},
    {0x0202, "JPEGInterchangeFormatLength"},
    {0x0211, "YCbCrCoefficients"},
    {0x0212, "YCbCrSubSampling"},
    {0x0213, "YCbCrPositioning"},
    {0x0214, "ReferenceBlackWhite"},
    {0x828d, "CFARepeatPatternDim"},
    {0x828e, "CFAPattern"},
    {0x828f, "Battery level"},
    {0x8298, "Copyrights"},
    {0x829a, "Exposure time"},
    {0x829d, "FNumber"},
    {0x83bb, "IPTC/NAA"},
    {0x8769, "ExifOffset"},
    {0x8773, "InterColorProfile"},
    {0x8822, "Exposure program"},
    {0x8824, "SpectralSensitivity"},
    {0x8825, "GPSInfo"},
    {0x8827, "ISO speed ratings"},
    {0x8828, "OECF"},
    {0x9000, "ExifVersion"},
    {0x9003, "Date/time original"},
    {0x9004, "Date/time digitized"},
    {0x9101, "ComponentsConfiguration"},
    {0x9102, "CompressedBitsPerPixel"},
    {0x9201, "Shutter speed value"},
    {0x9202, "Aperture value"},
    {0x9203, "Brightness value"},
    {0x9204, "Exposure bias value"},
    {0x9205, "Max aperture value"},
    {0x9206, "Subject distance"},
    {0x9207, "Metering mode"},
    {0x9208, "Light source"},
    {0x9209, "Flash"},
    {0x920a, "Focal length"},
    {0x927c, "Maker notes"},
    {0x9286, "User comments"},
    {0x9290, "SubSecTime"},
    {0x9291, "SubSecTimeOriginal"},
    {0x9292, "SubSecTimeDigitized"},
    {0xa000, "FlashPixVersion"},
    {0xa001, "Color space"},
    {0xa002, "Exif image width"},
    {0xa003, "Exif image height"},
    {0xa005, "InteroperabilityOffset"},
    {0xa20b, "Flash energy"},
    {0xa20c, "SpatialFrequencyResponse"},
    {0xa20e, "FocalPlaneXResolution"},
    {0xa20f, "FocalPlaneYResolution"},
    {0xa210, "FocalPlaneResolutionUnit"},
    {0xa214, "Subject location"},
    {0xa215, "Exposure index"},
    {0xa217, "Sensor"},
    {0xa300, "File source"},
    {0xa301, "Scene type"},
};
static_assert(std::size(kTagNames) == 82);

// Tags whose numbers are never shown.
constexpr uint16_t kSilentTags[] = {
    0x0103, 0x010A, 0x010D, 0x0111, 0x0115, 0x0116, 0x0117, 0x011C, 0x012D, 0x013E, 0x013F,
    0x0156, 0x0200, 0x0201, 0x0202, 0x0211, 0x0212, 0x0213, 0x0214, 0x828D, 0x828F, 0x8773,
    0x8825, 0x9101, 0x9102, 0xA005, 0xA210, 0xA214, 0x011A, 0x011B, 0x829A, 0x829D, 0x9201,
    0x9202, 0x9203, 0x9204, 0x9205, 0x9206, 0x920A, 0xA20B, 0xA20E, 0xA20F, 0xA215,
};

struct ValueText {
    uint32_t value;
    const char* text;
};

QString Lookup(std::initializer_list<ValueText> table, uint32_t value, const char* otherwise) {
    for (const ValueText& v : table)
        if (v.value == value)
            return QString::fromLatin1(v.text);
    return QString::fromLatin1(otherwise);
}

}  // namespace

const char* TagName(uint32_t tag) {
    for (const TagName_& t : kTagNames)
        if (t.tag == tag)
            return t.name;
    return nullptr;
}

int NamedTagCount() {
    return int(std::size(kTagNames));
}

QString FormatTagValue(uint32_t tag, uint32_t n) {
    switch (tag) {
        case 0x0106:
            return n == 2 ? QStringLiteral("RGB") : QStringLiteral("YCbCr");
        case 0x0112:
            return Lookup({{1, "Normal"},
                           {2, "Horizontal flip"},
                           {3, "180"},
                           {4, "Horizontal flip + 180"},
                           {5, "Horzizontal flip + 90 left"},
                           {6, "90 left"},
                           {7, "Horzizontal flip + 90 right"},
                           {8, "90 right"}},
                          n, "");
        case 0x0128:
            return Lookup({{2, "Inches"}, {3, "Centimeters"}}, n, "");
        case 0x8822:
            return Lookup({{1, "Manual"},
                           {2, "Normal"},
                           {3, "Aperture priority"},
                           {4, "Shutter priority"},
                           {5, "Creative"},
                           {6, "Action"},
                           {7, "Portrait"},
                           {8, "Landscape"}},
                          n, "Unknown");
        case 0x9207:
            return Lookup({{1, "Average"},
                           {2, "Central weight average"},
                           {3, "Spot"},
                           {4, "Multi spot"},
                           {5, "Pattern"},
                           {6, "Partial"}},
                          n, "Unknown");
        case 0x9208:
            return Lookup({{1, "Daylight"},
                           {2, "Fluorescent"},
                           {3, "Tungsten"},
                           {17, "Standard A"},
                           {18, "Standard B"},
                           {19, "Standard C"},
                           {20, "D55"},
                           {21, "D65"},
                           {22, "D75"}},
                          n, "Unknown");
        case 0x9209:
            return (n & 1) ? QStringLiteral("Fired") : QStringLiteral("No flash");
        case 0xA001:
            return Lookup({{1, "sRGB"}, {2, "Uncalibrated"}}, n, "");
        case 0xA217:
            return Lookup({{2, "One chip"},
                           {3, "2 chip"},
                           {4, "3 chip"},
                           {5, "Color sequential area"},
                           {7, "Trilinear"},
                           {8, "Color sequential linear"}},
                          n, "Unknown");
        default:
            break;
    }
    if (std::find(std::begin(kSilentTags), std::end(kSilentTags), tag) != std::end(kSilentTags))
        return {};
    if (!TagName(tag))
        return {};
    return QString::number(n);
}

}  // namespace orm
