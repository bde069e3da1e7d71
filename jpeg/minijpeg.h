#pragma once
// MiniJpeg: the program's own small JPEG codec, used for thumbnails (embedded EXIF thumbnails,
// the thumbnail cache). Streams: jpeg_stream.h; decoder: jpeg_decoder.h; encoder:
// jpeg_encoder.h; whole images in memory: jpeg_memory.h; the error type: jpeg_error.h.
// No global mutable state: decoders and encoders may run on several threads at once.

#include "jpeg/jpeg_decoder.h"
#include "jpeg/jpeg_encoder.h"
#include "jpeg/jpeg_error.h"
#include "jpeg/jpeg_memory.h"
#include "jpeg/jpeg_stream.h"
