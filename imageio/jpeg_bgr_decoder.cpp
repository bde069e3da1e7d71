#include "imageio/jpeg_bgr_decoder.h"

#include "engine/pixel_view.h"
#include "engine/resize_image.h"
#include "imageio/memory_needs.h"

#include <turbojpeg.h>

#include <new>

namespace orm {

namespace {

class TurboHandle {
  public:
    TurboHandle() : handle_(tjInitDecompress()) {}
    ~TurboHandle() {
        if (handle_)
            tjDestroy(handle_);
    }
    TurboHandle(const TurboHandle&) = delete;
    TurboHandle& operator=(const TurboHandle&) = delete;
    tjhandle get() const { return handle_; }

  private:
    tjhandle handle_;
};

// libjpeg's warnings for missing data: JWRN_JPEG_EOF ("Premature end of JPEG file") and
// JWRN_HIT_MARKER ("Corrupt JPEG data: premature end of data segment"). Other warnings (stray
// bytes between segments, common in camera files) lose nothing.
bool MeansMissingData(const char* warning) {
    return warning && QByteArray(warning).toLower().contains("premature end");
}

// A 24-bit image whose pixels live in one of the engine's large blocks: a batch decodes file
// after file at much the same sizes, and a block given back is reused without the page faults
// (and the kernel's clearing) of fresh memory. Small images take ordinary memory.
QImage NewBgrImage(int width, int height) {
    const qsizetype stride = (qsizetype(width) * 3 + 3) / 4 * 4;
    const std::size_t bytes = std::size_t(stride) * std::size_t(height);
    if (bytes < engine::kLargeBlock)
        return QImage(width, height, QImage::Format_BGR888);
    void* block = engine::AllocateLarge(bytes);
    return QImage(
        static_cast<uchar*>(block), width, height, stride, QImage::Format_BGR888,
        [](void* p) { engine::FreeLarge(p, 0); }, block);
}

// A side after shrinking by `factor`, as the library rounds it (up).
int Shrunk(int side, int factor) {
    return (side + factor - 1) / factor;
}

}  // namespace

int JpegShrinkFactor(int width, int height, QSize minimum) {
    if (minimum.width() <= 0 && minimum.height() <= 0)
        return 1;
    for (int factor : {8, 4, 2})
        if (Shrunk(width, factor) >= minimum.width() && Shrunk(height, factor) >= minimum.height())
            return factor;
    return 1;
}

JpegDecodeOutcome DecodeJpegToBgr(const QByteArray& fileBytes, JpegBgrImage& out, QString* error,
                                  QSize minimum, bool cover) {
    if (fileBytes.size() < 3 || uchar(fileBytes[0]) != 0xFF || uchar(fileBytes[1]) != 0xD8 ||
        uchar(fileBytes[2]) != 0xFF)
        return JpegDecodeOutcome::NotHandled;
    const TurboHandle turbo;
    if (!turbo.get())
        return JpegDecodeOutcome::NotHandled;
    const auto* data = reinterpret_cast<const unsigned char*>(fileBytes.constData());
    const auto size = static_cast<unsigned long>(fileBytes.size());
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(turbo.get(), data, size, &width, &height, &subsampling, &colourspace) !=
            0 ||
        width <= 0 || height <= 0)
        return JpegDecodeOutcome::NotHandled;
    // Qt's reader converts CMYK with Adobe's inversion rules; leave those files to it.
    if (colourspace == TJCS_CMYK || colourspace == TJCS_YCCK)
        return JpegDecodeOutcome::NotHandled;
    if (cover && minimum.width() > 0 && minimum.height() > 0) {
        int w = 0, h = 0;
        engine::CoverSize(width, height, minimum.width(), minimum.height(), w, h);
        minimum = QSize(w, h);
    }
    const int factor = JpegShrinkFactor(width, height, minimum);
    const int w = Shrunk(width, factor), h = Shrunk(height, factor);
    if (!FitsInAvailableMemory(EstimatedDecodeBytes(w, h, QImage::Format_BGR888))) {
        if (error)
            *error = NotEnoughMemoryToOpenText(width, height);
        return JpegDecodeOutcome::Refused;
    }
    QImage image;
    try {
        image = NewBgrImage(w, h);
    } catch (const std::bad_alloc&) {
        image = QImage();
    }
    if (image.isNull()) {
        if (error)
            *error = NotEnoughMemoryToOpenText(width, height);
        return JpegDecodeOutcome::Refused;
    }
    // The library's defaults are Qt's: accurate integer DCT, smooth chroma upsampling. Given the
    // shrunk size, the library picks the matching scaling factor.
    const int status = tjDecompress2(turbo.get(), data, size, image.bits(), w,
                                     int(image.bytesPerLine()), h, TJPF_BGR, 0);
    if (status != 0 && tjGetErrorCode(turbo.get()) != TJERR_WARNING)
        return JpegDecodeOutcome::NotHandled;  // Qt's reader gives its own verdict and reason
    out.image = std::move(image);
    out.fileSize = QSize(width, height);
    out.fileFormat = colourspace == TJCS_GRAY ? QImage::Format_Grayscale8 : QImage::Format_RGB32;
    out.endedEarly = status != 0 && MeansMissingData(tjGetErrorStr2(turbo.get()));
    return JpegDecodeOutcome::Decoded;
}

}  // namespace orm
