#include "metadata/exif_locator.h"

#include "metadata/jpeg_segments.h"
#include "metadata/tiff_reader.h"

#include <array>
#include <cctype>
#include <cstring>

namespace orm {

uint64_t FindExifSegment(const ByteSource& file) {
    JpegSegmentWalker walker(file);
    while (const std::optional<JpegSegment> segment = walker.Next()) {
        if (segment->marker == jpeg_marker::kSos)
            return 0;
        if (segment->marker != jpeg_marker::kApp1)
            continue;
        std::array<uint8_t, 5> id{};
        if (segment->DataLength() < id.size() || !file.Read(segment->DataOffset(), id))
            return 0;
        const bool exif = std::tolower(id[0]) == 'e' && std::tolower(id[1]) == 'x' &&
                          std::tolower(id[2]) == 'i' && std::tolower(id[3]) == 'f' && id[4] == 0;
        return exif ? segment->lengthOffset : 0;
    }
    return 0;
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
