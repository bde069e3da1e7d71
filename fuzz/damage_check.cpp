// Fuzz target for the cut-off checks of JPEG and GIF files: any bytes give an answer without
// reading out of bounds, and a file that is whole stays whole with bytes appended behind it
// (a JPEG after its EOI, a GIF after its first picture).

#include "imageio/damage_check.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orm;
    if (size > 1 << 16)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool jpeg = IsTruncatedJpeg(bytes);
    const bool gif = IsTruncatedGif(bytes);
    (void)DamageDescription(bytes);
    const QByteArray longer = bytes + QByteArray("\x00\xff\x3b", 3);
    if (bytes.startsWith("\xff\xd8") && bytes.endsWith("\xff\xd9") && !jpeg &&
        IsTruncatedJpeg(longer))
        std::abort();
    if (!gif && bytes.size() > 13 && IsTruncatedGif(longer))
        std::abort();
    return 0;
}
