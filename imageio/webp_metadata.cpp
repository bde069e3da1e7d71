#include "imageio/webp_metadata.h"

#include <webp/mux.h>

#include <memory>

namespace orm {

namespace {

WebPData DataOf(const QByteArray& bytes) {
    return WebPData{reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

}  // namespace

bool SetWebpMetadata(QByteArray& webp, const QByteArray& exif, const QByteArray& iccProfile) {
    if (exif.isEmpty() && iccProfile.isEmpty())
        return true;
    // The muxer refers to the file's bytes (no copy) until it has assembled the new file.
    const WebPData file = DataOf(webp);
    std::unique_ptr<WebPMux, void (*)(WebPMux*)> mux(WebPMuxCreate(&file, 0), WebPMuxDelete);
    if (!mux)
        return false;
    const struct {
        const char* fourcc;
        const QByteArray& payload;
    } chunks[] = {{"ICCP", iccProfile}, {"EXIF", exif}};
    for (const auto& chunk : chunks) {
        if (chunk.payload.isEmpty())
            continue;
        const WebPData payload = DataOf(chunk.payload);
        if (WebPMuxSetChunk(mux.get(), chunk.fourcc, &payload, 1) != WEBP_MUX_OK)
            return false;
    }
    WebPData assembled;
    WebPDataInit(&assembled);
    if (WebPMuxAssemble(mux.get(), &assembled) != WEBP_MUX_OK) {
        WebPDataClear(&assembled);
        return false;
    }
    mux.reset();
    webp = QByteArray(reinterpret_cast<const char*>(assembled.bytes), qsizetype(assembled.size));
    WebPDataClear(&assembled);
    return true;
}

}  // namespace orm
