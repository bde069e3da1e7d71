#pragma once
// Random-access byte sources for the metadata readers. Every read states its offset and length
// and fails (returns false) instead of reading past the end, so a reader of untrusted structures
// can take each offset from the file and let the source check it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <vector>

namespace orm {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Copies exactly out.size() bytes starting at offset; false (and nothing promised about out)
    // when the range does not lie inside the source or the read fails.
    virtual bool Read(uint64_t offset, std::span<uint8_t> out) const = 0;

    bool Contains(uint64_t offset, uint64_t length) const {
        const uint64_t size = Size();
        return offset <= size && length <= size - offset;
    }
};

class MemoryByteSource final : public ByteSource {
  public:
    explicit MemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    bool Read(uint64_t offset, std::span<uint8_t> out) const override;

  private:
    std::span<const uint8_t> bytes_;
};

// A file opened for reading; the file is closed when the source is destroyed. Each instance
// belongs to one thread (the thumbnail builders open one per file).
class FileByteSource final : public ByteSource {
  public:
    explicit FileByteSource(const std::filesystem::path& path);
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    uint64_t Size() const override { return size_; }
    bool Read(uint64_t offset, std::span<uint8_t> out) const override;

  private:
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
};

// A window [offset, offset + length) of another source, addressed from 0: the TIFF structure
// inside a JPEG's EXIF segment counts its offsets from the byte-order mark.
class SubByteSource final : public ByteSource {
  public:
    SubByteSource(const ByteSource& parent, uint64_t offset, uint64_t length);
    uint64_t Size() const override { return length_; }
    bool Read(uint64_t offset, std::span<uint8_t> out) const override;

  private:
    const ByteSource& parent_;
    uint64_t offset_;
    uint64_t length_;
};

// Reads [offset, offset + length) into a new buffer; empty optional-like result (false) when the
// range is outside the source.
bool ReadBlock(const ByteSource& source, uint64_t offset, uint64_t length,
               std::vector<uint8_t>& out);

}  // namespace orm
