#include "imageio/heif_reader.h"

#include "engine/memory_budget.h"
#include "imageio/memory_needs.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace orm {

namespace {

void InitLibheifOnce() {
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });  // stays for the life of the process
}

QString Reason(const heif_error& e) {
    return QStringLiteral("The HEIF file cannot be read: %1")
        .arg(QString::fromUtf8(e.message && *e.message ? e.message : "unknown error"));
}

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFree {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFree {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

// The longest side libheif may accept: a square RGBA image of that side fits in the memory the
// system can give, at most libheif's own limit of 32768.
int LargestSideInMemory() {
    constexpr int kLibheifLimit = 32768;
    const std::uint64_t available = engine::AvailableMemoryBytes();
    if (available == 0)
        return kLibheifLimit;
    const auto side = std::uint64_t(std::sqrt(double(available) / 4.0));
    return int(std::clamp<std::uint64_t>(side, 256, kLibheifLimit));
}

// The primary image of a file held in memory (which must outlive it).
class HeifFile {
  public:
    bool Open(const QByteArray& bytes, QString* error) {
        InitLibheifOnce();
        context_.reset(heif_context_alloc());
        if (!context_)
            return Fail(error, QStringLiteral("Not enough memory"));
        // libheif sizes some buffers from what a file claims before any image of ours is
        // checked: a few hundred bytes could otherwise ask for gigabytes.
        heif_context_set_maximum_image_size_limit(context_.get(), LargestSideInMemory());
        heif_error e = heif_context_read_from_memory_without_copy(context_.get(), bytes.constData(),
                                                                  size_t(bytes.size()), nullptr);
        if (e.code != heif_error_Ok)
            return Fail(error, Reason(e));
        heif_image_handle* handle = nullptr;
        e = heif_context_get_primary_image_handle(context_.get(), &handle);
        handle_.reset(handle);
        if (e.code != heif_error_Ok || !handle_)
            return Fail(error, Reason(e));
        return true;
    }

    heif_image_handle* Handle() const { return handle_.get(); }

  private:
    static bool Fail(QString* error, const QString& reason) {
        if (error)
            *error = reason;
        return false;
    }

    std::unique_ptr<heif_context, ContextFree> context_;
    std::unique_ptr<heif_image_handle, HandleFree> handle_;
};

HeifInfo InfoOf(const heif_image_handle* handle) {
    HeifInfo info;
    info.size = QSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
    info.hasAlpha = heif_image_handle_has_alpha_channel(handle) != 0;
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
    info.bitsPerPixel = (deep ? 48 : 24) + (info.hasAlpha ? (deep ? 16 : 8) : 0);
    info.format = !info.hasAlpha ? QImage::Format_RGB888
                  : heif_image_handle_is_premultiplied_alpha(handle)
                      ? QImage::Format_RGBA8888_Premultiplied
                      : QImage::Format_RGBA8888;
    return info;
}

// The image of a handle (the primary image or a thumbnail), upright, 8 bits per sample.
QImage Decode(const heif_image_handle* handle, QString* error) {
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return QImage();
    };
    const HeifInfo info = InfoOf(handle);
    if (info.size.width() <= 0 || info.size.height() <= 0)
        return fail(QStringLiteral("The HEIF file cannot be read: the image has no size"));
    if (!FitsInAvailableMemory(
            2 * EstimatedDecodeBytes(info.size.width(), info.size.height(), info.format)))
        return fail(NotEnoughMemoryToOpenText(info.size.width(), info.size.height()));

    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    if (!options)
        return fail(QStringLiteral("Not enough memory"));
    if (options->version >= 2)
        options->convert_hdr_to_8bit = 1;
    const int channels = info.hasAlpha ? 4 : 3;
    heif_image* decoded = nullptr;
    const heif_error e = heif_decode_image(
        handle, &decoded, heif_colorspace_RGB,
        info.hasAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    const std::unique_ptr<heif_image, ImageFree> image(decoded);
    if (e.code != heif_error_Ok || !image)
        return fail(Reason(e));

    // What the decoder hands back is checked before a byte of it is read.
    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const qsizetype rowBytes = qsizetype(w) * channels;
    if (!plane || w <= 0 || h <= 0 || stride < rowBytes ||
        heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8)
        return fail(QStringLiteral("The HEIF file cannot be read: unexpected decoded pixels"));

    QImage out(w, h, info.format);
    if (out.isNull())
        return fail(NotEnoughMemoryToOpenText(w, h));
    for (int y = 0; y < h; ++y)
        std::memcpy(out.scanLine(y), plane + qsizetype(y) * stride, size_t(rowBytes));
    return out;
}

bool IsTiffHeader(const char* p) {
    return std::memcmp(p, "II*\0", 4) == 0 || std::memcmp(p, "MM\0*", 4) == 0;
}

}  // namespace

bool IsHeifFile(const QByteArray& fileBytes) {
    // "ftyp" box: size, "ftyp", major brand, minor version, compatible brands.
    if (fileBytes.size() < 16 || fileBytes.mid(4, 4) != "ftyp")
        return false;
    const auto* b = reinterpret_cast<const uint8_t*>(fileBytes.constData());
    const uint32_t boxSize =
        uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    const qsizetype end = std::min<qsizetype>(fileBytes.size(), qsizetype(boxSize));
    static const char* const kBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx",
                                          "hevm", "hevs", "mif1", "msf1", "avif", "avis"};
    auto known = [&](qsizetype at) {
        for (const char* brand : kBrands)
            if (std::memcmp(fileBytes.constData() + at, brand, 4) == 0)
                return true;
        return false;
    };
    if (known(8))
        return true;
    for (qsizetype at = 16; at + 4 <= end; at += 4)
        if (known(at))
            return true;
    return false;
}

std::optional<HeifInfo> ReadHeifInfo(const QByteArray& fileBytes, QString* error) {
    HeifFile file;
    if (!file.Open(fileBytes, error))
        return std::nullopt;
    return InfoOf(file.Handle());
}

QImage DecodeHeifImage(const QByteArray& fileBytes, QString* error, HeifInfo* info) {
    HeifFile file;
    if (!file.Open(fileBytes, error))
        return {};
    if (info)
        *info = InfoOf(file.Handle());
    return Decode(file.Handle(), error);
}

QImage DecodeHeifThumbnail(const QByteArray& fileBytes, QSize* primarySize) {
    HeifFile file;
    if (!file.Open(fileBytes, nullptr))
        return {};
    if (primarySize)
        *primarySize = InfoOf(file.Handle()).size;
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_thumbnail_IDs(file.Handle(), &id, 1) != 1)
        return {};
    heif_image_handle* thumbnail = nullptr;
    const heif_error e = heif_image_handle_get_thumbnail(file.Handle(), id, &thumbnail);
    const std::unique_ptr<heif_image_handle, HandleFree> handle(thumbnail);
    if (e.code != heif_error_Ok || !handle)
        return {};
    return Decode(handle.get(), nullptr);
}

std::optional<qsizetype> HeifExifTiffStart(const QByteArray& item) {
    if (item.size() < 4 + 8)
        return std::nullopt;
    const auto* b = reinterpret_cast<const uint8_t*>(item.constData());
    const uint32_t offset =
        uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    // At least a header (8 bytes) must follow the mark.
    if (offset > uint32_t(item.size() - 4 - 8))
        return std::nullopt;
    qsizetype at = 4 + qsizetype(offset);
    // Some writers count the offset to the identifier rather than past it.
    if (std::memcmp(item.constData() + at, "Exif\0\0", 6) == 0 && at + 6 + 8 <= item.size())
        at += 6;
    if (!IsTiffHeader(item.constData() + at))
        return std::nullopt;
    return at;
}

HeifMetadata ReadHeifMetadata(const QByteArray& fileBytes) {
    HeifMetadata out;
    HeifFile file;
    if (!file.Open(fileBytes, nullptr))
        return out;
    heif_image_handle* handle = file.Handle();

    const int blocks = heif_image_handle_get_number_of_metadata_blocks(handle, "Exif");
    if (blocks > 0) {
        std::vector<heif_item_id> ids(static_cast<size_t>(blocks));
        const int listed =
            heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", ids.data(), blocks);
        const size_t size = listed > 0 ? heif_image_handle_get_metadata_size(handle, ids[0]) : 0;
        // An item is a part of the file; a larger size is a damaged box.
        if (size > 0 && size <= size_t(fileBytes.size())) {
            QByteArray item(qsizetype(size), Qt::Uninitialized);
            if (heif_image_handle_get_metadata(handle, ids[0], item.data()).code == heif_error_Ok) {
                if (const std::optional<qsizetype> start = HeifExifTiffStart(item))
                    out.exif = item.mid(*start);
            }
        }
    }

    const size_t profileSize = heif_image_handle_get_raw_color_profile_size(handle);
    if (profileSize > 0 && profileSize <= size_t(fileBytes.size())) {
        QByteArray profile(qsizetype(profileSize), Qt::Uninitialized);
        if (heif_image_handle_get_raw_color_profile(handle, profile.data()).code == heif_error_Ok)
            out.iccProfile = profile;
    }
    return out;
}

}  // namespace orm
