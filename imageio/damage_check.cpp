#include "imageio/damage_check.h"

#include "metadata/byte_source.h"
#include "metadata/jpeg_segments.h"

#include <cstdint>

namespace orm {

namespace {

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
    const MemoryByteSource source(
        std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
    // Through the scans to EOI. A length field below 2 makes a broken file, not a cut-off one:
    // the decoder says what it thinks of it.
    JpegSegmentWalker walker(source);
    while (walker.Next()) {
    }
    return walker.End() == JpegWalkEnd::kCutOff;
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
