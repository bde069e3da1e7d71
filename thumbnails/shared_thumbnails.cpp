#include "thumbnails/shared_thumbnails.h"

#include "imageio/native_path.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImageReader>

#include <array>

namespace orm {

namespace {

struct SizeFolder {
    const char* name;
    int size;
};
constexpr std::array<SizeFolder, 4> kFolders{{
    {"normal", 128},
    {"large", 256},
    {"x-large", 512},
    {"xx-large", 1024},
}};
constexpr int kLargestSide = 1024;
constexpr qint64 kLargestFile = 16 * 1024 * 1024;

bool KeptInUri(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArrayView("-._~!$&'()*+,/:=@").contains(char(c));
}

uint32_t BigEndian32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(u[0]) << 24 | uint32_t(u[1]) << 16 | uint32_t(u[2]) << 8 | uint32_t(u[3]);
}

// The text chunks before the picture data (tEXt, and iTXt without compression), keyword to
// text. Qt's reader cannot give them: it splits keywords at ':', and every key here has "::".
QHash<QByteArray, QByteArray> PngTexts(const QByteArray& png) {
    QHash<QByteArray, QByteArray> texts;
    if (!png.startsWith("\x89PNG\r\n\x1a\n"))
        return texts;
    qsizetype at = 8;
    while (png.size() - at >= 12) {
        const uint32_t length = BigEndian32(png.constData() + at);
        const QByteArray type = png.mid(at + 4, 4);
        if (length > uint32_t(png.size() - at - 12) || type == "IDAT" || type == "IEND")
            break;
        const QByteArray data = png.mid(at + 8, qsizetype(length));
        const qsizetype end = data.indexOf('\0');
        if (type == "tEXt" && end > 0) {
            texts.insert(data.left(end), data.mid(end + 1));
        } else if (type == "iTXt" && end > 0 && data.size() > end + 2 && data[end + 1] == 0) {
            // keyword, 0, compression flag 0, method, language, 0, translated keyword, 0, text
            const qsizetype language = data.indexOf('\0', end + 3);
            const qsizetype translated = language < 0 ? -1 : data.indexOf('\0', language + 1);
            if (translated >= 0)
                texts.insert(data.left(end), data.mid(translated + 1));
        }
        at += 12 + qsizetype(length);
    }
    return texts;
}

std::optional<int64_t> WholeNumber(const QByteArray& text) {
    bool ok = false;
    const qlonglong n = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<int64_t>(n) : std::nullopt;
}

std::optional<SharedThumbnail> ReadOne(const QString& file, const QByteArray& uri, int64_t fileSize,
                                       int64_t modifiedSeconds) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kLargestFile)
        return std::nullopt;
    QByteArray bytes = f.readAll();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kLargestSide || size.height() > kLargestSide)
        return std::nullopt;
    // The text chunks before the picture: an outdated thumbnail is not decoded at all.
    const QHash<QByteArray, QByteArray> texts = PngTexts(bytes);
    if (texts.value("Thumb::URI") != uri)
        return std::nullopt;
    const std::optional<int64_t> mtime = WholeNumber(texts.value("Thumb::MTime"));
    if (!mtime || *mtime != modifiedSeconds)
        return std::nullopt;
    if (texts.contains("Thumb::Size") &&
        WholeNumber(texts.value("Thumb::Size")) != std::optional<int64_t>(fileSize))
        return std::nullopt;
    SharedThumbnail out;
    const auto w = WholeNumber(texts.value("Thumb::Image::Width"));
    const auto h = WholeNumber(texts.value("Thumb::Image::Height"));
    if (w && h && *w > 0 && *h > 0 && *w <= INT32_MAX && *h <= INT32_MAX)
        out.imageSize = QSize(int(*w), int(*h));
    out.picture = reader.read();
    if (out.picture.isNull())
        return std::nullopt;
    return out;
}

}  // namespace

QByteArray SharedThumbnailUri(const QString& absolutePath) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray uri("file://");
    for (const char ch : NativePath(absolutePath)) {
        const auto c = static_cast<unsigned char>(ch);
        if (KeptInUri(c)) {
            uri += char(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

QString SharedThumbnailFolder() {
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    return cache + QStringLiteral("/thumbnails");
}

QStringList SharedThumbnailCandidates(const QString& absolutePath, const QString& folder,
                                      QSize box) {
    const QString name = QString::fromLatin1(
        QCryptographicHash::hash(SharedThumbnailUri(absolutePath), QCryptographicHash::Md5)
            .toHex() +
        ".png");
    const int wanted = std::max(box.width(), box.height());
    QStringList large, small;
    for (const SizeFolder& f : kFolders)
        (f.size >= wanted ? large : small)
            .append(folder + QLatin1Char('/') + QLatin1String(f.name) + QLatin1Char('/') + name);
    std::reverse(small.begin(), small.end());
    return large + small;
}

std::optional<SharedThumbnail> ReadSharedThumbnail(const QString& absolutePath, int64_t fileSize,
                                                   int64_t modifiedSeconds, const QString& folder,
                                                   QSize box) {
    const QByteArray uri = SharedThumbnailUri(absolutePath);
    for (const QString& file : SharedThumbnailCandidates(absolutePath, folder, box))
        if (std::optional<SharedThumbnail> found = ReadOne(file, uri, fileSize, modifiedSeconds))
            return found;
    return std::nullopt;
}

}  // namespace orm
