// Fuzz target of the HEIF reader: facts, pixels, thumbnail, Exif item and profile of the input.

#include "imageio/heif_reader.h"
#include "engine/memory_budget.h"

#include <cstddef>
#include <cstdint>

namespace {

volatile uint32_t sink;

void Consume(const QImage& image) {
    uint32_t sum = uint32_t(image.width()) ^ uint32_t(image.height());
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (qsizetype i = 0; i < image.bytesPerLine(); ++i) sum += row[i];
    }
    sink = sum;
}

void Consume(const QByteArray& bytes) {
    uint32_t sum = 0;
    for (char b : bytes) sum += uint8_t(b);
    sink = sum;
}

}  // namespace

// The AV1 decoder of the system keeps a small block when it gives up on bad data; that is the
// library's, not a leak of the reader.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdav1d.so\n";
}

// A run holds at most 2 GiB: images whose decode would need more than 256 MiB are refused as
// the reader refuses them on a machine with that much memory free (the refusal is fuzzed too).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    orm::engine::SetAvailableMemoryOverride(std::uint64_t(256) << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto start = orm::HeifExifTiffStart(bytes))
        sink = uint32_t(*start);
    if (!orm::IsHeifFile(bytes))
        return 0;
    const std::optional<orm::HeifInfo> info = orm::ReadHeifInfo(bytes);
    // Pixels only for pictures of at most a megapixel, to keep each run short and small.
    if (info && qint64(info->size.width()) * info->size.height() <= (qint64(1) << 20)) {
        Consume(orm::DecodeHeifImage(bytes));
        Consume(orm::DecodeHeifThumbnail(bytes));
    }
    const orm::HeifMetadata meta = orm::ReadHeifMetadata(bytes);
    Consume(meta.exif);
    Consume(meta.iccProfile);
    return 0;
}
