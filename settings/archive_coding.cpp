#include "settings/archive_coding.h"

#include <cstring>

namespace orm {

namespace {

constexpr uint32_t kArchiveTime64Marker = 0x8000000A;
constexpr uint16_t kNullTag = 0;
constexpr uint16_t kBigTag = 0x7FFF;
constexpr uint16_t kClassTag = 0x8000;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint32_t kBigClassTag = 0x80000000u;

}  // namespace

void ArchiveWriter::WriteByte(uint8_t v) {
    bytes_.append(static_cast<char>(v));
}

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
    for (QChar c : s) WriteWord(c.unicode());
}

void ArchiveWriter::WriteTime(int64_t seconds) {
    WriteDword(kArchiveTime64Marker);
    const auto v = static_cast<uint64_t>(seconds);
    WriteDword(static_cast<uint32_t>(v & 0xFFFFFFFFu));
    WriteDword(static_cast<uint32_t>(v >> 32));
}

void ArchiveWriter::WriteRaw(std::span<const uint8_t> bytes) {
    bytes_.append(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<qsizetype>(bytes.size()));
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
            s[static_cast<qsizetype>(i)] =
                QChar(static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8)));
    } else {
        s = QString::fromLatin1(reinterpret_cast<const char*>(p), static_cast<qsizetype>(length));
    }
    return true;
}

bool ArchiveReader::ReadTime(int64_t& seconds) {
    uint32_t first = 0;
    if (!ReadDword(first))
        return false;
    if (first != kArchiveTime64Marker) {
        seconds = static_cast<int32_t>(first);
        return true;
    }
    uint32_t low = 0, high = 0;
    if (!ReadDword(low) || !ReadDword(high))
        return false;
    seconds = static_cast<int64_t>((uint64_t(high) << 32) | low);
    return true;
}

bool ArchiveReader::ReadRaw(size_t n, std::span<const uint8_t>& out) {
    const uint8_t* p = nullptr;
    if (!Take(n, p))
        return false;
    out = std::span<const uint8_t>(p, n);
    return true;
}

bool ArchiveReader::Expect(std::span<const uint8_t> expected) {
    if (expected.size() > remaining() ||
        std::memcmp(bytes_.data() + pos_, expected.data(), expected.size()) != 0)
        return false;
    pos_ += expected.size();
    return true;
}

void ArchiveObjectWriter::WriteNewObject(ArchiveWriter& w, const std::string& className,
                                         uint16_t schema) {
    for (const Class& c : classes_) {
        if (c.name != className)
            continue;
        if (c.number < kBigTag) {
            w.WriteWord(static_cast<uint16_t>(kClassTag | c.number));
        } else {
            w.WriteWord(kBigTag);
            w.WriteDword(kBigClassTag | c.number);
        }
        ++next_;
        return;
    }
    w.WriteWord(kNewClassTag);
    w.WriteWord(schema);
    w.WriteWord(static_cast<uint16_t>(className.size()));
    w.WriteRaw(std::span(reinterpret_cast<const uint8_t*>(className.data()), className.size()));
    classes_.push_back({className, next_});
    next_ += 2;  // the class, then the object
}

bool ArchiveObjectReader::NewObjectOf(uint32_t classNumber, Tag& tag) {
    if (classNumber == 0 || classNumber > entries_.size() || !entries_[classNumber - 1].isClass)
        return false;
    const uint32_t classIndex = entries_[classNumber - 1].classIndex;
    entries_.push_back({false, classIndex});
    tag.kind = Tag::NewObject;
    tag.className = classes_[classIndex].name;
    tag.schema = classes_[classIndex].schema;
    tag.object = static_cast<uint32_t>(entries_.size());
    return true;
}

bool ArchiveObjectReader::ReadTag(ArchiveReader& r, Tag& tag) {
    tag = Tag{};
    uint16_t word = 0;
    if (!r.ReadWord(word))
        return false;
    if (word == kNullTag)
        return true;
    if (word == kNewClassTag) {
        uint16_t schema = 0, length = 0;
        std::span<const uint8_t> name;
        if (!r.ReadWord(schema) || !r.ReadWord(length) || !r.ReadRaw(length, name))
            return false;
        classes_.push_back({std::string(name.begin(), name.end()), schema});
        entries_.push_back({true, static_cast<uint32_t>(classes_.size() - 1)});
        return NewObjectOf(static_cast<uint32_t>(entries_.size()), tag);
    }
    uint32_t number = word;
    bool isClass = (word & kClassTag) != 0;
    if (isClass) {
        number = word & ~kClassTag;
    } else if (word == kBigTag) {
        if (!r.ReadDword(number))
            return false;
        isClass = (number & kBigClassTag) != 0;
        number &= ~kBigClassTag;
    }
    if (isClass)
        return NewObjectOf(number, tag);
    if (number == 0 || number > entries_.size() || entries_[number - 1].isClass)
        return false;
    const Class& c = classes_[entries_[number - 1].classIndex];
    tag.kind = Tag::Reference;
    tag.className = c.name;
    tag.schema = c.schema;
    tag.object = number;
    return true;
}

}  // namespace orm
