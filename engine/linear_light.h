#pragma once
// Resizing in linear light: the samples are taken as sRGB-encoded, decoded to linear light in
// floats, resized with a standard mode there and encoded back. A fine pattern of black and white
// keeps its brightness (alternating columns halved give 188, the encoding of half the light,
// where the encoded samples averaged give 128). The own algorithms are defined on the encoded
// samples and are not run this way.

#include "engine/algorithm.h"
#include "engine/pixel_view.h"
#include "engine/resize_image.h"

#include <cstdint>

namespace orm::engine {

// The sRGB encoding: a byte's light (0..1) and back (rounded to the nearest byte).
float SrgbToLinear(std::uint8_t encoded);
std::uint8_t LinearToSrgb(float linear);

// Resizes src into dst (dst.width x dst.height) with a standard mode, in linear light.
// `channels` is the bytes of a pixel: 3 (colours) or 4 (colours, then straight alpha, the
// colours weighted by it in linear light). With `crop` the source is resized to cover dst and the
// centre is cut out, as ResizeImage does. InvalidInput for the own algorithms and empty views;
// OutOfMemory when the float planes do not fit. dst is written only on success.
ResizeStatus ResizeInLinearLight(ConstBgrView src, BgrView dst, int channels,
                                 ResizeAlgorithm algorithm, bool crop);

// The bytes ResizeInLinearLight needs at its peak: the float source and target.
std::uint64_t EstimatedLinearResizeBytes(int sw, int sh, int dw, int dh, bool crop);

}  // namespace orm::engine
