#include "cli/input_list.h"

#include "imageio/native_path.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>

namespace orm::cli {

QStringList PathsFromList(const QByteArray& bytes, bool nulSeparated) {
    const char separator = nulSeparated ? '\0' : '\n';
    QStringList paths;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf(separator, start);
        if (end < 0)
            end = bytes.size();
        if (end > start)
            paths.append(PathFromNative(QByteArrayView(bytes).sliced(start, end - start)));
        start = end + 1;
    }
    return paths;
}

std::optional<QStringList> ReadPathList(const QString& source, bool nulSeparated, QString* error) {
    QFile file;
    if (source == QLatin1String("-")) {
        file.open(stdin, QIODevice::ReadOnly);
    } else {
        const int fd = ::open(NativePath(source).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            if (error)
                *error = SystemErrorText(errno);
            return std::nullopt;
        }
        file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return PathsFromList(bytes, nulSeparated);
}

std::optional<Shard> ParseShardArg(const QString& text) {
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash <= 0)
        return std::nullopt;
    bool okK = false, okN = false;
    const int k = text.left(slash).toInt(&okK);
    const int n = text.mid(slash + 1).toInt(&okN);
    // Digits only: toInt accepts a sign and blanks, which a job index never has.
    const auto digits = [](QStringView s) {
        return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
    };
    if (!okK || !okN || !digits(QStringView(text).left(slash)) ||
        !digits(QStringView(text).mid(slash + 1)) || k < 1 || n < 1 || k > n)
        return std::nullopt;
    return Shard{k, n};
}

std::vector<InputFile> ShardOf(std::vector<InputFile> files, const Shard& shard) {
    std::stable_sort(files.begin(), files.end(),
                     [](const InputFile& a, const InputFile& b) { return a.path < b.path; });
    files.erase(
        std::unique(files.begin(), files.end(),
                    [](const InputFile& a, const InputFile& b) { return a.path == b.path; }),
        files.end());
    if (!shard.Active())
        return files;
    std::vector<InputFile> mine;
    for (size_t i = 0; i < files.size(); ++i)
        if (int((i + 1) % size_t(shard.count)) == shard.index % shard.count)
            mine.push_back(files[i]);
    return mine;
}

}  // namespace orm::cli
