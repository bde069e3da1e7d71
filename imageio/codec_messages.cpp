#include "imageio/codec_messages.h"

#include <QtGlobal>

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include <tiffio.h>

namespace orm {

namespace {

void Forward(const char* kind, const char* module, const char* format, va_list args) {
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    qWarning("libtiff %s: %s: %s", kind, module ? module : "", text);
}

void TiffWarning(const char* module, const char* format, va_list args) {
    Forward("warning", module, format, args);
}
void TiffError(const char* module, const char* format, va_list args) {
    Forward("error", module, format, args);
}

}  // namespace

void RouteCodecMessages() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetWarningHandler(TiffWarning);
        TIFFSetErrorHandler(TiffError);
    });
}

}  // namespace orm
