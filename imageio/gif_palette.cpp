#include "imageio/gif_palette.h"

#include <libimagequant.h>

#include <memory>
#include <unordered_map>

namespace orm {

namespace {

constexpr int kMaxColours = 256;
// Error diffusion: smooth gradients (skies, walls) without bands; 1.0 is the library's full level.
constexpr float kDitheringLevel = 1.0f;

template <class T, void (*Destroy)(T*)>
struct LiqDeleter {
    void operator()(T* p) const { Destroy(p); }
};
using LiqAttr = std::unique_ptr<liq_attr, LiqDeleter<liq_attr, liq_attr_destroy>>;
using LiqImage = std::unique_ptr<liq_image, LiqDeleter<liq_image, liq_image_destroy>>;
using LiqResult = std::unique_ptr<liq_result, LiqDeleter<liq_result, liq_result_destroy>>;

std::optional<PalettePicture> FromIndexed(const QImage& indexed) {
    const QList<QRgb> table = indexed.colorTable();
    if (table.isEmpty() || table.size() > kMaxColours)
        return std::nullopt;
    PalettePicture out;
    out.width = indexed.width();
    out.height = indexed.height();
    for (QRgb c : table)
        out.palette.push_back({uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c))});
    out.indices.resize(size_t(out.width) * size_t(out.height));
    for (int y = 0; y < out.height; ++y) {
        const uchar* line = indexed.constScanLine(y);
        uint8_t* row = out.indices.data() + size_t(y) * out.width;
        for (int x = 0; x < out.width; ++x) {
            if (line[x] >= table.size())
                return std::nullopt;  // an index outside the table: not a palette to keep
            row[x] = line[x];
        }
    }
    return out;
}

}  // namespace

std::optional<PalettePicture> ExactPalette(const QImage& image) {
    if (image.isNull())
        return std::nullopt;
    if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono ||
        image.format() == QImage::Format_MonoLSB) {
        if (auto kept = FromIndexed(image.convertToFormat(QImage::Format_Indexed8)))
            return kept;
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    PalettePicture out;
    out.width = rgb.width();
    out.height = rgb.height();
    out.indices.resize(size_t(out.width) * size_t(out.height));
    std::unordered_map<uint32_t, uint8_t> index;
    for (int y = 0; y < out.height; ++y) {
        const uchar* line = rgb.constScanLine(y);
        uint8_t* row = out.indices.data() + size_t(y) * out.width;
        for (int x = 0; x < out.width; ++x) {
            const uchar* p = line + 3 * x;
            const uint32_t key = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
            auto [at, added] = index.try_emplace(key, uint8_t(out.palette.size()));
            if (added) {
                if (out.palette.size() == kMaxColours)
                    return std::nullopt;
                out.palette.push_back({p[0], p[1], p[2]});
            }
            row[x] = at->second;
        }
    }
    return out;
}

std::optional<PalettePicture> QuantisedPalette(const QImage& image) {
    if (image.isNull())
        return std::nullopt;
    // libimagequant reads 4-byte RGBA pixels; the picture is opaque.
    const QImage rgba = image.convertToFormat(QImage::Format_RGBX8888);
    if (rgba.isNull())
        return std::nullopt;
    std::vector<void*> rows(size_t(rgba.height()));
    for (int y = 0; y < rgba.height(); ++y)
        rows[size_t(y)] = const_cast<uchar*>(rgba.constScanLine(y));  // only read by the library

    LiqAttr attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), kMaxColours) != LIQ_OK)
        return std::nullopt;
    LiqImage input(
        liq_image_create_rgba_rows(attr.get(), rows.data(), rgba.width(), rgba.height(), 0));
    if (!input)
        return std::nullopt;
    liq_result* raw = nullptr;
    if (liq_image_quantize(input.get(), attr.get(), &raw) != LIQ_OK || !raw)
        return std::nullopt;
    LiqResult result(raw);
    liq_set_dithering_level(result.get(), kDitheringLevel);

    PalettePicture out;
    out.width = rgba.width();
    out.height = rgba.height();
    out.indices.resize(size_t(out.width) * size_t(out.height));
    if (liq_write_remapped_image(result.get(), input.get(), out.indices.data(),
                                 out.indices.size()) != LIQ_OK)
        return std::nullopt;
    const liq_palette* palette = liq_get_palette(result.get());
    if (!palette || palette->count == 0 || palette->count > kMaxColours)
        return std::nullopt;
    for (unsigned i = 0; i < palette->count; ++i)
        out.palette.push_back(
            {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b});
    return out;
}

std::optional<PalettePicture> ToPalette(const QImage& image) {
    if (auto exact = ExactPalette(image))
        return exact;
    return QuantisedPalette(image);
}

}  // namespace orm
