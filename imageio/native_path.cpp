#include "imageio/native_path.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace orm {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

// The length of the valid UTF-8 sequence at b[i], or 0 when it is not one (overlong forms,
// surrogates and code points above U+10FFFF are not valid).
int Utf8SequenceLength(const unsigned char* b, qsizetype size, qsizetype i, char32_t& cp) {
    const unsigned char c = b[i];
    int length = 0;
    char32_t min = 0;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        length = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (size - i < length)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((b[i + k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

void AppendUtf8(QByteArray& out, char32_t cp) {
    if (cp < 0x80) {
        out.append(char(cp));
    } else if (cp < 0x800) {
        out.append(char(0xC0 | (cp >> 6)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.append(char(0xE0 | (cp >> 12)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else {
        out.append(char(0xF0 | (cp >> 18)));
        out.append(char(0x80 | ((cp >> 12) & 0x3F)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    }
}

bool IsEscapedByte(char16_t u) {
    return u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF;
}

}  // namespace

QByteArray NativePath(const QString& path) {
    QByteArray out;
    out.reserve(path.size());
    const char16_t* u = reinterpret_cast<const char16_t*>(path.utf16());
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = u[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (u[i + 1] - 0xDC00));
            ++i;
        } else if (IsEscapedByte(c)) {
            out.append(char(c - kEscapeBase));
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            AppendUtf8(out, 0xFFFD);  // a lone surrogate that stands for no byte
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

QString PathFromNative(QByteArrayView bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    QString out;
    out.reserve(size);
    for (qsizetype i = 0; i < size;) {
        char32_t cp = 0;
        const int length = Utf8SequenceLength(b, size, i, cp);
        if (length == 0) {
            out.append(QChar(char16_t(kEscapeBase + b[i])));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            out.append(QChar(char16_t(0xD800 + (v >> 10))));
            out.append(QChar(char16_t(0xDC00 + (v & 0x3FF))));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        i += length;
    }
    return out;
}

int EscapedByteAt(const QString& path, qsizetype i) {
    const char16_t c = path[i].unicode();
    // The low half of a surrogate pair is text, whatever its value.
    if (!IsEscapedByte(c) || (i > 0 && path[i - 1].isHighSurrogate()))
        return -1;
    return c - kEscapeBase;
}

bool IsUtf8Path(const QString& path) {
    for (qsizetype i = 0; i < path.size(); ++i)
        if (EscapedByteAt(path, i) >= 0)
            return false;
    return true;
}

bool PathEntryExists(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::lstat(NativePath(path).constData(), &st) == 0;
}

bool IsFolder(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(NativePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CanCreateFilesIn(const QString& folder, QString* reason) {
    if (::access(NativePath(folder).constData(), W_OK | X_OK) == 0)
        return true;
    if (reason)
        *reason = SystemErrorText(errno);
    return false;
}

QString AbsolutePath(const QString& path) {
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return QDir::cleanPath(path);  // the current folder is gone: keep the path relative
        buffer.resize(buffer.size() * 2);
    }
    return QDir::cleanPath(PathFromNative(QByteArrayView(buffer.data())) + QLatin1Char('/') + path);
}

QString FolderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    if (slash == 0)
        return QStringLiteral("/");
    return path.left(slash);
}

QString SystemErrorText(int error) {
    char buffer[256];
    // The GNU strerror_r returns its text (possibly a static string rather than the buffer).
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

}  // namespace orm
