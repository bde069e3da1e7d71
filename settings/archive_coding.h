#pragma once
// The framework archive encoding shared by batch files and the thumbnail cache: little-endian
// numbers, counts, length-prefixed UTF-16 strings. The writer appends to a byte array; the
// reader walks a byte span and refuses (returns false) instead of reading past its end.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>

namespace orm {

class ArchiveWriter {
public:
    void WriteByte(uint8_t v);
    void WriteWord(uint16_t v);
    void WriteDword(uint32_t v);
    void WriteInt32(int32_t v) { WriteDword(static_cast<uint32_t>(v)); }
    void WriteFloat(float v);
    // A WORD below 0xFFFF, else 0xFFFF and a DWORD.
    void WriteCount(uint32_t v);
    // 0xFF, 0xFFFE (UTF-16 marker), the length (byte / 0xFF + WORD / 0xFF 0xFFFF + DWORD), the
    // UTF-16LE characters without a terminator.
    void WriteString(const QString& s);
    void WriteRaw(std::span<const uint8_t> bytes);

    const QByteArray& bytes() const { return bytes_; }

private:
    QByteArray bytes_;
};

class ArchiveReader {
public:
    explicit ArchiveReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool ReadByte(uint8_t& v);
    bool ReadWord(uint16_t& v);
    bool ReadDword(uint32_t& v);
    bool ReadInt32(int32_t& v);
    bool ReadFloat(float& v);
    bool ReadCount(uint32_t& v);
    // Reads either encoding: with the UTF-16 marker 2-byte characters, without it 8-bit ones.
    // A length that does not fit in the remaining bytes fails.
    bool ReadString(QString& s);
    // Compares the next bytes with expected and consumes them when they match.
    bool Expect(std::span<const uint8_t> expected);

    size_t position() const { return pos_; }
    size_t remaining() const { return bytes_.size() - pos_; }
    bool AtEnd() const { return pos_ == bytes_.size(); }

private:
    bool Take(size_t n, const uint8_t*& p);

    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

}  // namespace orm
