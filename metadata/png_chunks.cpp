#include "metadata/png_chunks.h"

#include "metadata/byte_order.h"

namespace orm {

namespace {

constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;

}  // namespace

bool HasPngSignature(const ByteSource& file) {
    std::array<uint8_t, kPngSignature.size()> head{};
    return file.Read(0, head) && head == kPngSignature;
}

std::optional<PngChunk> PngChunkWalker::Next() {
    if (end_ != PngWalkEnd::kWalking)
        return std::nullopt;
    if (pos_ == 0) {
        if (!HasPngSignature(file_)) {
            end_ = PngWalkEnd::kNotPng;
            return std::nullopt;
        }
        pos_ = kPngSignature.size();
    }
    std::array<uint8_t, 8> head{};  // length, type
    if (!file_.Read(pos_, head)) {
        end_ = PngWalkEnd::kCutOff;
        return std::nullopt;
    }
    PngChunk chunk;
    chunk.offset = pos_;
    chunk.length = LoadBe32(head.data());
    std::memcpy(chunk.type.data(), head.data() + 4, 4);
    if (chunk.length > kMaxChunkLength) {
        end_ = PngWalkEnd::kBroken;
        return std::nullopt;
    }
    if (chunk.Is("IEND")) {
        end_ = PngWalkEnd::kEnd;
        return std::nullopt;
    }
    // 12 + 2^31 cannot overflow 64 bits; Contains checks the sum against the size.
    if (!file_.Contains(chunk.offset, 12 + uint64_t(chunk.length))) {
        end_ = PngWalkEnd::kCutOff;
        return std::nullopt;
    }
    pos_ = chunk.End();
    return chunk;
}

}  // namespace orm
