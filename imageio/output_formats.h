#pragma once
// The formats the program writes, one row each: how the user meets them (the batch settings
// list, the save dialog, the command line), how their files are named and recognised, which
// writer makes them and what they keep. Every question of the kind "which format is this output,
// and what does it hold" is answered from this table; adding a format adds a row (and a writer
// when Qt has none).

#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>

namespace orm {

// The writer behind a row (image_saver.cpp picks the encoder's settings by it).
enum class OutputKind { Jpeg, Tiff, Bmp, Png, Gif, Webp };

// What the quality setting means to the encoder.
enum class QualityUse {
    None,       // ignored
    Lossy,      // 1..100, smaller files at lower qualities
    LossyUpTo,  // as Lossy, and 100 is lossless
};

struct OutputFormat {
    OutputKind kind;
    const char* name;        // "JPEG", as messages name it
    const char* shortName;   // the command line's name ("jpg")
    const char* alias;       // another name the command line takes ("jpeg"), or ""
    const char* listText;    // the batch settings list ("JPEG files (*.jpg)")
    const char* filterName;  // the save dialog's filter, before its patterns ("JPEG Files")
    const char* extensions;  // space-separated, lower case; the first is the one written
    const char* mimeType;
    const char* qtName;  // Qt's name of the format (its reader's, and its writer's unless own)
    bool ownWriter;      // written by our own writer, not Qt's
    QualityUse quality;
    bool keepsAlpha;   // transparency is written; other formats get the pixels over white
    bool carriesExif;  // EXIF items are written into the file
    bool carriesIcc;   // the colour profile is written into the file
    int maxSide;       // the format's largest width or height; 0: no limit of its own
    // Bytes per pixel the encoder holds beyond a 24-bit image while it writes (measured on Qt
    // 6.4's writers with incompressible pictures): converted copies, the file, its metadata copy.
    int encodeBytesPerPixel;
    int saveDialogPosition;  // the order of the save dialog's filters
};

// The rows in the batch settings' order: the stored format index i (1..) is row i - 1; index 0
// keeps the input's extension.
std::span<const OutputFormat> OutputFormatTable();
inline constexpr int kOutputFormatCount = 6;

// The stored batch index for "Don't change", and its list text.
inline constexpr int kKeepFormatIndex = 0;
QString KeepFormatListText();
// The row of a stored batch index; null for 0 (keep) and for indices out of range.
const OutputFormat* OutputFormatAtIndex(int index);
// The stored batch index of a command-line name (a short name, an alias or "keep"), case ignored.
int OutputFormatIndexByName(const QString& name);  // -1: no such format
// The command line's names, "keep, jpg, tif, bmp, png, gif or webp".
QString OutputFormatNamesText();

// The row of an output path by its extension, case ignored; null when no row has it.
const OutputFormat* OutputFormatForPath(const QString& path);
const OutputFormat* OutputFormatForMime(const QString& mimeType);
// The row whose Qt format name is qtName ("jpeg", "png", ...).
const OutputFormat* OutputFormatForQtName(const char* qtName);

// The extension written for the row, with its dot (".jpg").
QString WrittenExtension(const OutputFormat& format);
// The row's extensions as save-dialog patterns ("*.jpg *.jpeg *.jpe").
QString FilterPatterns(const OutputFormat& format);
// The save dialog's filters, in their order, joined by ";;".
QString SaveDialogFilter();
// "JPEG (.jpg .jpeg .jpe), TIFF (.tif .tiff), ... and WebP (.webp)".
QString WrittenFormatsText();

// Every extension written, for a sentence: ".jpg, .jpeg, .jpe, ..., .gif or .webp".
QString WrittenExtensionList();

// Whether the row's encoder is installed (Qt's writers for some formats come from plugins).
bool EncoderInstalled(const OutputFormat& format);

}  // namespace orm
