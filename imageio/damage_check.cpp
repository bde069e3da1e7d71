#include "imageio/damage_check.h"

#include <cstdint>

namespace orm {

namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kTem = 0x01;

bool IsRestart(uint8_t m) {
    return m >= 0xD0 && m <= 0xD7;
}

// Skips GIF data sub-blocks (a length byte, that many bytes, ..., a zero length). False when the
// data ends before the terminating zero.
bool SkipSubBlocks(const uint8_t* b, qsizetype size, qsizetype& pos) {
    for (;;) {
        if (pos >= size)
            return false;
        const uint8_t n = b[pos++];
        if (n == 0)
            return true;
        if (size - pos < n)
            return false;
        pos += n;
    }
}

}  // namespace

bool IsTruncatedJpeg(const QByteArray& bytes) {
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < 2 || b[0] != kMarker || b[1] != 0xD8)
        return false;
    qsizetype pos = 2;
    for (;;) {
        // Up to the next marker: bytes between segments are tolerated by decoders, so skip them.
        while (pos < size && b[pos] != kMarker) ++pos;
        while (pos < size && b[pos] == kMarker)  // fill bytes
            ++pos;
        if (pos >= size)
            return true;
        const uint8_t marker = b[pos++];
        if (marker == kEoi)
            return false;
        if (marker == 0x00 || marker == kTem || IsRestart(marker))
            continue;  // no length follows
        if (size - pos < 2)
            return true;
        const qsizetype length = (qsizetype(b[pos]) << 8) | b[pos + 1];
        if (length < 2)
            return false;  // not a cut-off file but a broken one: the decoder says what it thinks
        if (size - pos < length)
            return true;
        pos += length;
        if (marker != kSos)
            continue;
        // Entropy-coded data: 0xFF is followed by 0x00 (a stuffed byte) or a restart marker
        // inside it; any other marker ends it.
        for (;;) {
            if (size - pos < 2)
                return true;
            if (b[pos] == kMarker && b[pos + 1] != 0x00 && !IsRestart(b[pos + 1]))
                break;
            ++pos;
        }
    }
}

bool IsTruncatedGif(const QByteArray& bytes) {
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < 6 || !(bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")))
        return false;
    if (size < 13)
        return true;
    qsizetype pos = 13;
    if (b[10] & 0x80)
        pos += 3 * (qsizetype(2) << (b[10] & 7));  // global colour table
    for (;;) {
        if (pos >= size)
            return true;
        const uint8_t block = b[pos++];
        if (block == 0x21) {  // extension: a label, then sub-blocks
            if (pos >= size)
                return true;
            ++pos;
            if (!SkipSubBlocks(b, size, pos))
                return true;
        } else if (block == 0x2C) {  // image descriptor, local colour table, LZW code size, data
            if (size - pos < 9)
                return true;
            const uint8_t flags = b[pos + 8];
            pos += 9;
            if (flags & 0x80)
                pos += 3 * (qsizetype(2) << (flags & 7));
            if (pos >= size)
                return true;
            ++pos;
            return !SkipSubBlocks(b, size, pos);
        } else {
            return false;  // the trailer before any picture, or something the reader judges
        }
    }
}

QString DamageDescription(const QByteArray& bytes) {
    if (IsTruncatedJpeg(bytes))
        return QString::fromLatin1(kMissingPartGrey);
    if (IsTruncatedGif(bytes))
        return QStringLiteral("the missing part is blank");
    return {};
}

QString DamagedFileWarning(const QString& path, const QString& damage) {
    return QStringLiteral("warning: %1 is damaged; %2").arg(path, damage);
}

}  // namespace orm
