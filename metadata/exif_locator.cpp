#include "metadata/exif_locator.h"

#include "metadata/tiff_reader.h"

#include <array>
#include <cctype>
#include <cstring>

namespace orm {

namespace {

constexpr uint8_t kMarkerSoi = 0xD8;
constexpr uint8_t kMarkerEoi = 0xD9;
constexpr uint8_t kMarkerSos = 0xDA;
constexpr uint8_t kMarkerApp1 = 0xE1;
constexpr uint8_t kMarkerTem = 0x01;

bool IsStandalone(uint8_t marker) {
    return marker == kMarkerTem || (marker >= 0xD0 && marker <= 0xD7);  // TEM, RSTn
}

}  // namespace

uint64_t FindExifSegment(const ByteSource& file) {
    std::array<uint8_t, 2> soi{};
    if (!file.Read(0, soi) || soi[0] != 0xFF || soi[1] != kMarkerSoi)
        return 0;
    uint64_t pos = 2;
    std::array<uint8_t, 1> b{};
    while (true) {
        // Find the next 0xFF (tolerating stray bytes between segments), then skip fill bytes.
        do {
            if (!file.Read(pos++, b))
                return 0;
        } while (b[0] != 0xFF);
        do {
            if (!file.Read(pos++, b))
                return 0;
        } while (b[0] == 0xFF);
        const uint8_t marker = b[0];
        if (marker == kMarkerSos || marker == kMarkerEoi)
            return 0;
        if (marker == 0x00 || IsStandalone(marker))
            continue;
        const uint64_t lengthAt = pos;
        std::array<uint8_t, 2> len{};
        if (!file.Read(lengthAt, len))
            return 0;
        const uint32_t length = uint32_t(len[0]) << 8 | len[1];
        if (length < 2)
            return 0;
        if (marker == kMarkerApp1) {
            std::array<uint8_t, 5> id{};
            if (length < 2 + id.size() || !file.Read(lengthAt + 2, id))
                return 0;
            const bool exif = std::tolower(id[0]) == 'e' && std::tolower(id[1]) == 'x' &&
                              std::tolower(id[2]) == 'i' && std::tolower(id[3]) == 'f' &&
                              id[4] == 0;
            return exif ? lengthAt : 0;
        }
        pos = lengthAt + length;
    }
}

uint64_t FindExifSegment(const std::filesystem::path& path) {
    FileByteSource file(path);
    return file.IsOpen() ? FindExifSegment(file) : 0;
}

uint32_t FindExifDirectory(const ByteSource& file) {
    if (file.Size() <= 128)
        return 0;
    TiffReader tiff(file);
    if (!tiff.ReadHeader())
        return 0;
    const auto dir = tiff.ReadDirectory(tiff.FirstDirectoryOffset());
    if (!dir)
        return 0;
    return tiff.Number(*dir, 0x8769).value_or(0);
}

uint32_t FindExifDirectory(const std::filesystem::path& path) {
    FileByteSource file(path);
    return file.IsOpen() ? FindExifDirectory(file) : 0;
}

bool HasExtension(const std::filesystem::path& path, const char* ext) {
    const std::string name = path.filename().string();
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    const std::string have = name.substr(dot);
    if (have.size() != std::strlen(ext))
        return false;
    for (size_t i = 0; i < have.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(have[i])) !=
            std::tolower(static_cast<unsigned char>(ext[i])))
            return false;
    return true;
}

}  // namespace orm
