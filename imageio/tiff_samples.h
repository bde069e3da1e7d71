#pragma once
// TIFF files whose samples Qt's reader does not take: IEEE floating point of 32 or 64 bits (grey
// from scientific and HDR tools), 16- and 32-bit unsigned integers in grey with alpha, and the
// like. They are read with libtiff, strip by strip, each sample brought to 16 bits: integers
// scaled from their full range, floating point from 0..1 (values outside are clipped). The
// result is grey (Format_Grayscale16), colour (Format_RGBX64) or either with alpha
// (Format_RGBA64, straight).
//
// Used for the layouts Qt's reader refuses or gets wrong (grey with alpha loses its alpha there);
// the files Qt reads well keep its pixels.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace orm {

// Whether the first page of the TIFF file is one DecodeTiffSamples reads and Qt's reader does
// not read well: floating-point grey, 32- and 64-bit samples, grey with alpha.
bool PrefersOwnTiffReader(const QByteArray& fileBytes);

// The first page of the TIFF file, or a null image with the reason in error.
QImage DecodeTiffSamples(const QByteArray& fileBytes, QString* error = nullptr);

}  // namespace orm
