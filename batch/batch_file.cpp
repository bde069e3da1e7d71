#include "batch/batch_file.h"

#include "settings/archive_coding.h"

#include <array>
#include <cmath>

namespace orm {
namespace {

constexpr char16_t kHeaderText[] = u"ORVEN Mensura 2.0 Batch";

std::array<uint8_t, kBatchHeaderSize> HeaderBytes() {
    static_assert(sizeof kHeaderText / sizeof kHeaderText[0] - 1 == kBatchHeaderSize / 2);
    std::array<uint8_t, kBatchHeaderSize> bytes{};
    for (size_t i = 0; i < kBatchHeaderSize / 2; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(kHeaderText[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<uint8_t>(kHeaderText[i] >> 8);
    }
    return bytes;
}

// The smallest record: an empty 8-bit string (one byte) and five 4-byte fields.
constexpr size_t kMinRecordSize = 1 + 5 * 4;

}  // namespace

void SanitizeEntry(BatchEntry& entry) {
    if (!AlgorithmFromIndex(AlgorithmIndex(entry.algorithm)))
        entry.algorithm = ResizeSettings{}.algorithm;
    if (entry.correction < 0 || entry.correction >= kCorrectionModeCount)
        entry.correction = ResizeSettings{}.correction;
    if (entry.width < 0 || entry.width > kMaxPixels || entry.height < 0 ||
        entry.height > kMaxPixels) {
        entry.width = 0;
        entry.height = 0;
    }
    if (!std::isfinite(entry.dpi) || entry.dpi < kMinDpi || entry.dpi > kMaxDpi)
        entry.dpi = ResizeSettings{}.dpi;
    entry.selected = 0;
}

QString WrongBatchFileText() {
    return QStringLiteral("Wrong file!");
}

QString DamagedBatchFileText(const QString& path) {
    return QStringLiteral("The batch file\n%1\nis damaged: it ends inside an entry.").arg(path);
}

QByteArray EncodeBatchFile(const std::vector<BatchEntry>& entries) {
    ArchiveWriter w;
    w.WriteRaw(HeaderBytes());
    w.WriteInt32(static_cast<int32_t>(entries.size()));
    for (const BatchEntry& e : entries) {
        w.WriteString(e.path);
        w.WriteInt32(e.width);
        w.WriteInt32(e.height);
        w.WriteFloat(e.dpi);
        w.WriteInt32(AlgorithmIndex(e.algorithm));
        w.WriteInt32(e.correction);
    }
    return w.bytes();
}

BatchFileResult DecodeBatchFile(std::span<const uint8_t> bytes) {
    BatchFileResult result;
    ArchiveReader r(bytes);
    if (!r.Expect(HeaderBytes())) {
        result.status = BatchFileStatus::WrongFile;
        result.message = WrongBatchFileText();
        return result;
    }
    int32_t count = 0;
    // Every record takes at least kMinRecordSize bytes, so a count beyond what the remaining
    // bytes can hold is damage, found before anything is reserved.
    if (!r.ReadInt32(count) || count < 0 ||
        static_cast<uint64_t>(count) > r.remaining() / kMinRecordSize) {
        result.status = BatchFileStatus::Damaged;
        return result;
    }
    result.entries.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        BatchEntry e;
        int32_t algorithm = 0;
        if (!r.ReadString(e.path) || !r.ReadInt32(e.width) || !r.ReadInt32(e.height) ||
            !r.ReadFloat(e.dpi) || !r.ReadInt32(algorithm) || !r.ReadInt32(e.correction)) {
            result.status = BatchFileStatus::Damaged;
            result.entries.clear();
            return result;
        }
        e.algorithm = static_cast<ResizeAlgorithm>(algorithm);  // sanitised next
        SanitizeEntry(e);
        result.entries.push_back(std::move(e));
    }
    return result;
}

}  // namespace orm
