#include "test_support.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace orm::test {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

void TiffBuilder::Put16(QByteArray& out, uint16_t v) const {
    if (big_) {
        out.append(char(v >> 8));
        out.append(char(v));
    } else {
        out.append(char(v));
        out.append(char(v >> 8));
    }
}

void TiffBuilder::Put32(QByteArray& out, uint32_t v) const {
    if (big_) {
        Put16(out, uint16_t(v >> 16));
        Put16(out, uint16_t(v));
    } else {
        Put16(out, uint16_t(v));
        Put16(out, uint16_t(v >> 16));
    }
}

uint32_t TiffBuilder::BlobOffset() const {
    uint32_t at = 8;
    for (const auto& d : dirs_) at += 2 + 12 * uint32_t(d.size()) + 4;
    return at;
}

QByteArray TiffBuilder::Build() const {
    QByteArray out = big_ ? QByteArray("MM") : QByteArray("II");
    Put16(out, 42);
    Put32(out, dirs_.empty() ? 0 : 8);
    uint32_t at = 8;
    for (size_t i = 0; i < dirs_.size(); ++i) {
        const auto& d = dirs_[i];
        Put16(out, uint16_t(d.size()));
        for (const Entry& e : d) {
            Put16(out, e.tag);
            Put16(out, e.type);
            Put32(out, e.count);
            if (e.type == 1 && e.count == 1) {
                out.append(char(e.value));
                out.append(QByteArray(3, '\0'));
            } else if (e.type == 3 && e.count == 1) {
                Put16(out, uint16_t(e.value));
                Put16(out, 0);
            } else {
                Put32(out, e.value);
            }
        }
        at += 2 + 12 * uint32_t(d.size()) + 4;
        Put32(out, i + 1 < dirs_.size() ? at : 0);
    }
    out.append(blob_);
    return out;
}

QByteArray JpegWithExif(const QByteArray& tiff, const QByteArray& commentBefore) {
    QByteArray out("\xFF\xD8", 2);
    auto segment = [&](uint8_t marker, const QByteArray& body) {
        out.append(char(0xFF));
        out.append(char(marker));
        const int len = body.size() + 2;
        out.append(char(len >> 8));
        out.append(char(len));
        out.append(body);
    };
    if (!commentBefore.isEmpty())
        segment(0xFE, commentBefore);
    segment(0xE1, QByteArray("Exif\0\0", 6) + tiff);
    out.append(QByteArray("\xFF\xD9", 2));
    return out;
}

std::optional<RgbPicture> ReadPpm(const QString& path) {
    const QByteArray data = ReadAll(path);
    if (!data.startsWith("P6"))
        return std::nullopt;
    // Header: P6, width, height, maxval, separated by whitespace, then one whitespace byte.
    int pos = 2;
    int fields[3] = {0, 0, 0};
    for (int& f : fields) {
        while (pos < data.size() && std::isspace(uchar(data[pos]))) ++pos;
        while (pos < data.size() && std::isdigit(uchar(data[pos])))
            f = f * 10 + (data[pos++] - '0');
    }
    ++pos;
    RgbPicture p;
    p.width = fields[0];
    p.height = fields[1];
    const qsizetype need = qsizetype(p.width) * p.height * 3;
    if (fields[2] != 255 || data.size() - pos < need)
        return std::nullopt;
    p.rgb.assign(data.begin() + pos, data.begin() + pos + need);
    return p;
}

const uint8_t* DibPixel(const std::vector<uint8_t>& dib, int x, int yFromTop) {
    const int32_t w = int32_t(dib[4] | dib[5] << 8 | dib[6] << 16 | dib[7] << 24);
    const int32_t h = int32_t(dib[8] | dib[9] << 8 | dib[10] << 16 | dib[11] << 24);
    const int stride = ((w + 1) * 3 / 4) * 4;
    return dib.data() + 40 + size_t(h - 1 - yFromTop) * stride + size_t(x) * 3;
}

bool HaveExiftool() {
    return !QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty();
}

std::optional<QString> Exiftool(const QString& file, const QString& tag, bool numeric) {
    QProcess p;
    QStringList args;
    if (numeric)
        args << QStringLiteral("-n");
    args << QStringLiteral("-s3") << QStringLiteral("-") + tag << file;
    p.start(QStringLiteral("exiftool"), args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return std::nullopt;
    const QString out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    if (out.isEmpty())
        return std::nullopt;
    return out;
}

QByteArray ExiftoolBinary(const QString& file, const QString& tag) {
    QProcess p;
    p.start(QStringLiteral("exiftool"), {QStringLiteral("-b"), QStringLiteral("-") + tag, file});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

QImage ExiftoolThumbnail(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("exiftool"),
            {QStringLiteral("-b"), QStringLiteral("-ThumbnailImage"), file});
    if (!p.waitForFinished(30000))
        return {};
    return QImage::fromData(p.readAllStandardOutput(), "JPEG");
}

}  // namespace orm::test
