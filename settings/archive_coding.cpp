#include "settings/archive_coding.h"

#include <cstring>

namespace orm {

void ArchiveWriter::WriteByte(uint8_t v) { bytes_.append(static_cast<char>(v)); }

void ArchiveWriter::WriteWord(uint16_t v) {
    WriteByte(static_cast<uint8_t>(v & 0xFF));
    WriteByte(static_cast<uint8_t>(v >> 8));
}

void ArchiveWriter::WriteDword(uint32_t v) {
    WriteWord(static_cast<uint16_t>(v & 0xFFFF));
    WriteWord(static_cast<uint16_t>(v >> 16));
}

void ArchiveWriter::WriteFloat(float v) {
    uint32_t bits = 0;
    static_assert(sizeof bits == sizeof v);
    std::memcpy(&bits, &v, sizeof bits);
    WriteDword(bits);
}

void ArchiveWriter::WriteCount(uint32_t v) {
    if (v < 0xFFFF) {
        WriteWord(static_cast<uint16_t>(v));
    } else {
        WriteWord(0xFFFF);
        WriteDword(v);
    }
}

void ArchiveWriter::WriteString(const QString& s) {
    WriteByte(0xFF);
    WriteWord(0xFFFE);
    const auto length = static_cast<uint32_t>(s.size());
    if (length < 0xFF) {
        WriteByte(static_cast<uint8_t>(length));
    } else if (length < 0xFFFE) {
        WriteByte(0xFF);
        WriteWord(static_cast<uint16_t>(length));
    } else {
        WriteByte(0xFF);
        WriteWord(0xFFFF);
        WriteDword(length);
    }
    for (QChar c : s)
        WriteWord(c.unicode());
}

void ArchiveWriter::WriteRaw(std::span<const uint8_t> bytes) {
    bytes_.append(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

bool ArchiveReader::Take(size_t n, const uint8_t*& p) {
    if (n > remaining())
        return false;
    p = bytes_.data() + pos_;
    pos_ += n;
    return true;
}

bool ArchiveReader::ReadByte(uint8_t& v) {
    const uint8_t* p = nullptr;
    if (!Take(1, p))
        return false;
    v = p[0];
    return true;
}

bool ArchiveReader::ReadWord(uint16_t& v) {
    const uint8_t* p = nullptr;
    if (!Take(2, p))
        return false;
    v = static_cast<uint16_t>(p[0] | (p[1] << 8));
    return true;
}

bool ArchiveReader::ReadDword(uint32_t& v) {
    const uint8_t* p = nullptr;
    if (!Take(4, p))
        return false;
    v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    return true;
}

bool ArchiveReader::ReadInt32(int32_t& v) {
    uint32_t u = 0;
    if (!ReadDword(u))
        return false;
    v = static_cast<int32_t>(u);
    return true;
}

bool ArchiveReader::ReadFloat(float& v) {
    uint32_t bits = 0;
    if (!ReadDword(bits))
        return false;
    std::memcpy(&v, &bits, sizeof v);
    return true;
}

bool ArchiveReader::ReadCount(uint32_t& v) {
    uint16_t w = 0;
    if (!ReadWord(w))
        return false;
    if (w < 0xFFFF) {
        v = w;
        return true;
    }
    return ReadDword(v);
}

bool ArchiveReader::ReadString(QString& s) {
    bool wide = false;
    uint64_t length = 0;
    uint8_t b = 0;
    if (!ReadByte(b))
        return false;
    if (b < 0xFF) {
        length = b;
    } else {
        uint16_t w = 0;
        if (!ReadWord(w))
            return false;
        if (w == 0xFFFE) {  // UTF-16 marker: the length follows in its own encoding
            wide = true;
            if (!ReadByte(b))
                return false;
            if (b < 0xFF) {
                length = b;
            } else {
                if (!ReadWord(w))
                    return false;
                length = w;
            }
        } else {
            length = w;
        }
        if (length == 0xFFFF) {
            uint32_t d = 0;
            if (!ReadDword(d))
                return false;
            if (d == 0xFFFFFFFFu)  // a 64-bit length: no string here is that long
                return false;
            length = d;
        }
    }
    const uint64_t byteCount = wide ? length * 2 : length;
    if (byteCount > remaining())
        return false;
    const uint8_t* p = nullptr;
    Take(static_cast<size_t>(byteCount), p);
    if (wide) {
        s.resize(static_cast<qsizetype>(length));
        for (uint64_t i = 0; i < length; ++i)
            s[static_cast<qsizetype>(i)] = QChar(static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8)));
    } else {
        s = QString::fromLatin1(reinterpret_cast<const char*>(p), static_cast<qsizetype>(length));
    }
    return true;
}

bool ArchiveReader::Expect(std::span<const uint8_t> expected) {
    if (expected.size() > remaining() || std::memcmp(bytes_.data() + pos_, expected.data(), expected.size()) != 0)
        return false;
    pos_ += expected.size();
    return true;
}

}  // namespace orm
