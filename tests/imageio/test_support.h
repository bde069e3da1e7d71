#pragma once
// Helpers of the document tests: corpus paths, a builder of small EXIF/TIFF structures, PPM
// reading and an independent metadata reader (exiftool).

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orm::test {

inline QString CorpusDir() {
    return QString::fromUtf8(ORM_CORPUS_DIR);
}
inline QString CorpusFile(const char* name) {
    return CorpusDir() + QLatin1Char('/') + QLatin1String(name);
}
#define ORM_REQUIRE_CORPUS()                              \
    do {                                                  \
        if (::orm::test::CorpusDir().isEmpty())           \
            GTEST_SKIP() << "image corpus not available"; \
    } while (0)

QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);

// A TIFF structure written entry by entry in either byte order. Values that do not fit in the
// entry's field go to a data area behind the directories.
class TiffBuilder {
  public:
    explicit TiffBuilder(bool bigEndian) : big_(bigEndian) {}

    struct Entry {
        uint16_t tag, type;
        uint32_t count;
        uint32_t value;  // SHORT values are stored in the field's first two bytes
    };
    // Directories in order; each links to the next. Returns the byte offset where the blob
    // given to AppendBlob will start (relative to the byte-order mark).
    void AddDirectory(std::vector<Entry> entries) { dirs_.push_back(std::move(entries)); }
    // Offset the next directory will get once Build lays out n directories before the blob.
    uint32_t BlobOffset() const;
    void SetBlob(QByteArray blob) { blob_ = std::move(blob); }
    QByteArray Build() const;

  private:
    void Put16(QByteArray& out, uint16_t v) const;
    void Put32(QByteArray& out, uint32_t v) const;
    bool big_;
    std::vector<std::vector<Entry>> dirs_;
    QByteArray blob_;
};

// SOI, an optional comment segment, APP1 "Exif\0\0" + tiff, a tiny remainder and EOI.
QByteArray JpegWithExif(const QByteArray& tiff, const QByteArray& commentBefore = {});

struct RgbPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};
std::optional<RgbPicture> ReadPpm(const QString& path);

// The pixel (blue, green, red) of a bottom-up 24-bit DIB at column x of row y counted from the top.
const uint8_t* DibPixel(const std::vector<uint8_t>& dib, int x, int yFromTop);

// exiftool's value of one tag (-n -s3), or nothing when exiftool is missing or the tag is absent.
bool HaveExiftool();
std::optional<QString> Exiftool(const QString& file, const QString& tag, bool numeric = true);
// The bytes of a binary tag as exiftool extracts it (-b), empty when it is absent.
QByteArray ExiftoolBinary(const QString& file, const QString& tag);
// The EXIF thumbnail as exiftool extracts it, decoded.
QImage ExiftoolThumbnail(const QString& file);
#define ORM_REQUIRE_EXIFTOOL()                                           \
    do {                                                                 \
        if (!::orm::test::HaveExiftool())                                \
            GTEST_SKIP() << "exiftool (libimage-exiftool-perl) missing"; \
    } while (0)

}  // namespace orm::test
