#include "metadata/rgb_line_source.h"

#include "jpeg/minijpeg.h"

#include <vector>

namespace orm {

namespace {

// Lines of a JPEG stream decoded with the own codec. A decoding error ends the lines (nullptr);
// a grey picture is expanded to three equal channels.
class JpegLines final : public RgbLineSource {
  public:
    explicit JpegLines(std::span<const uint8_t> jpeg) : source_(jpeg.data(), jpeg.size()) {}

    bool Open() {
        try {
            decoder_ = MiniJpeg::CreateDecoder(source_);
            const MiniJpeg::ImageInfo& info = decoder_->info();
            if (info.width == 0 || info.height == 0)
                return false;
            if (!info.colour)
                rgb_.resize(size_t(info.width) * 3);
            return true;
        } catch (const std::exception&) {  // MiniJpeg::Error, std::bad_alloc
            return false;
        }
    }

    uint32_t Width() const override { return decoder_->info().width; }
    uint32_t Height() const override { return decoder_->info().height; }

    const uint8_t* NextLine() override {
        if (failed_)
            return nullptr;
        try {
            const uint8_t* line = decoder_->ReadLine();
            if (decoder_->info().colour)
                return line;
            for (size_t x = 0; x < decoder_->info().width; ++x)
                rgb_[3 * x] = rgb_[3 * x + 1] = rgb_[3 * x + 2] = line[x];
            return rgb_.data();
        } catch (const std::exception&) {
            failed_ = true;
            return nullptr;
        }
    }

  private:
    MiniJpeg::MemorySource source_;
    std::unique_ptr<MiniJpeg::Decoder> decoder_;
    std::vector<uint8_t> rgb_;
    bool failed_ = false;
};

}  // namespace

std::unique_ptr<RgbLineSource> OpenJpegLines(std::span<const uint8_t> jpeg) {
    auto lines = std::make_unique<JpegLines>(jpeg);
    if (!lines->Open())
        return nullptr;
    return lines;
}

}  // namespace orm
