#include "app/integration/registration_record.h"

#include "imageio/file_reader.h"
#include "imageio/safe_file_writer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace orm::integration {
namespace {

// The record is small; anything larger is not ours.
constexpr qint64 kMaxCheckedFileBytes = 4 << 20;

bool FitsOnALine(const QString& path) {
    return !path.isEmpty() && !path.contains(QLatin1Char('\n')) &&
           !path.contains(QLatin1Char('\r')) && !path.contains(QLatin1Char('\t'));
}

}  // namespace

RegistrationRecord RegistrationRecord::Load(const QString& path) {
    RegistrationRecord record;
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, nullptr, ReadKind::SmallText))
        return record;
    // Lines: "folder<TAB>path" or "file<TAB>digest<TAB>path".
    const QList<QByteArray> lines = bytes.split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 2 && fields[0] == "folder" && !fields[1].isEmpty())
            record.entries_.append({true, QString::fromUtf8(fields[1]), {}});
        else if (fields.size() == 3 && fields[0] == "file" && !fields[2].isEmpty())
            record.entries_.append({false, QString::fromUtf8(fields[2]), fields[1]});
    }
    return record;
}

bool RegistrationRecord::Save(const QString& path) const {
    QByteArray text;
    for (const Entry& e : entries_) {
        if (e.folder)
            text += "folder\t" + e.path.toUtf8() + '\n';
        else
            text += "file\t" + e.digest + '\t' + e.path.toUtf8() + '\n';
    }
    return WriteFileSafely(path, text);
}

bool RegistrationRecord::MakeFolders(const QString& folder) {
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    QStringList missing;
    QString at = clean;
    while (!QFileInfo(at).exists()) {
        missing.prepend(at);
        const QString parent = QFileInfo(at).path();
        if (parent == at)
            break;
        at = parent;
    }
    if (!QFileInfo(at).isDir())
        return false;  // a file where a folder should be
    for (const QString& level : missing) {
        if (!QDir().mkdir(level))
            return false;
        if (FitsOnALine(level))
            entries_.append({true, level, {}});
    }
    return QFileInfo(clean).isDir();
}

void RegistrationRecord::NoteFile(const QString& path, const QByteArray& bytes) {
    if (!FitsOnALine(path))
        return;
    entries_.removeIf([&](const Entry& e) { return !e.folder && e.path == path; });
    entries_.append({false, path, Digest(bytes)});
}

const RegistrationRecord::Entry* RegistrationRecord::FileEntry(const QString& path) const {
    for (const Entry& e : entries_)
        if (!e.folder && e.path == path)
            return &e;
    return nullptr;
}

bool RegistrationRecord::Unchanged(const QString& path) const {
    const Entry* e = FileEntry(path);
    if (!e)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxCheckedFileBytes)
        return false;
    return Digest(file.readAll()) == e->digest;
}

void RegistrationRecord::Merge(const RegistrationRecord& older) {
    // The older notes keep their places (folders stay in the order they were made); a note of
    // this run replaces the older one of the same path, and new ones follow.
    QList<Entry> merged = older.entries_;
    for (const Entry& e : entries_) {
        const auto same = std::find_if(merged.begin(), merged.end(), [&](const Entry& m) {
            return m.folder == e.folder && m.path == e.path;
        });
        if (same != merged.end())
            *same = e;
        else
            merged.append(e);
    }
    entries_ = merged;
}

QByteArray RegistrationRecord::Digest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

}  // namespace orm::integration
