#pragma once
// The framework archive encoding shared by batch files and the thumbnail cache: little-endian
// numbers, counts, length-prefixed UTF-16 strings, times and object references. The writer
// appends to a byte array; the reader walks a byte span and refuses (returns false) instead of
// reading past its end.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

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
    // The DWORD 0x8000000A, then the 64-bit time.
    void WriteTime(int64_t seconds);
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
    // The 64-bit form (0x8000000A and 8 bytes) or an older 32-bit one: a first DWORD other than
    // the marker is itself the time, signed.
    bool ReadTime(int64_t& seconds);
    // The next n bytes, in place; fails when fewer are left.
    bool ReadRaw(size_t n, std::span<const uint8_t>& out);
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

// Object references of one archive. Classes and objects are numbered from 1 in the order they are
// first written. A tag (WORD) is 0 for no object; 0xFFFF for a new class, followed by its schema
// (WORD), the length of its name (WORD) and the name in 8-bit characters, then the object's data;
// 0x8000 + i for a new object of class i; i (below 0x7FFF) for object i again; 0x7FFF followed by
// a DWORD for numbers of 0x7FFF and above (classes with bit 31 set).
class ArchiveObjectWriter {
  public:
    // Writes the tag of a new object of the class: its description the first time, its class
    // tag afterwards. The object's data is the caller's to write next.
    void WriteNewObject(ArchiveWriter& w, const std::string& className, uint16_t schema);
    void WriteNull(ArchiveWriter& w) { w.WriteWord(0); }

  private:
    struct Class {
        std::string name;
        uint32_t number;
    };
    std::vector<Class> classes_;
    uint32_t next_ = 1;
};

class ArchiveObjectReader {
  public:
    struct Tag {
        enum Kind { Null, NewObject, Reference } kind = Null;
        // NewObject: its class; Reference: the class of the object referred to.
        std::string className;
        uint16_t schema = 0;
        // NewObject: the number the object takes; Reference: the number referred to.
        uint32_t object = 0;
    };
    // Reads one tag (and a class description it carries). Fails on a truncated tag, a reference
    // to a number not yet given out, a class tag naming an object or the other way round.
    bool ReadTag(ArchiveReader& r, Tag& tag);

  private:
    struct Entry {
        bool isClass;
        uint32_t classIndex;  // objects: index of their class in entries_
    };
    struct Class {
        std::string name;
        uint16_t schema;
    };
    bool NewObjectOf(uint32_t classNumber, Tag& tag);

    std::vector<Entry> entries_;  // entries_[n - 1] is number n
    std::vector<Class> classes_;
};

}  // namespace orm
