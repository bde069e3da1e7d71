#include "batch/batch_list.h"

#include "imageio/safe_file_writer.h"
#include "settings/named_entries.h"
#include "settings/storage_folder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace orm {

namespace {

// Batch files are small; anything beyond this is not one of ours.
constexpr qint64 kMaxBatchFileBytes = 64 * 1024 * 1024;

NamedEntryFolder BatchesFolder(bool mustExist) {
    return NamedEntryFolder(QString::fromLatin1(kBatchesSubfolder),
                            QString::fromLatin1(kBatchFileExtension), mustExist);
}

}  // namespace

bool BatchList::Contains(const QString& path) const {
    return std::any_of(entries_.begin(), entries_.end(), [&](const BatchEntry& e) {
        return e.path == path;  // Linux names are case-sensitive: A.JPG and a.jpg are two files
    });
}

QString BatchList::DuplicateQuestion(const QString& path) {
    return QStringLiteral(
               "File\n%1\nis already selected for batch.\nDo you want have multiple copies of this "
               "file?")
        .arg(path);
}

namespace {

// A new entry for the file: the current settings (applyToNew) or its image's own size.
BatchEntry SizedEntry(const QString& path, const ResizeSettings& current, bool applyToNew) {
    BatchEntry entry = NewBatchEntry(current, path);
    const std::optional<ImageProbe> image = ProbeImage(path);
    if (applyToNew)
        ApplyCurrentSettings(entry, current, image);
    else
        ApplyOwnSize(entry, current, image);
    return entry;
}

}  // namespace

int BatchList::AddFiles(const QStringList& paths, const ResizeSettings& current, bool applyToNew,
                        IPrompt& prompt) {
    int added = 0;
    for (const QString& path : paths) {
        if (Contains(path) && !prompt.AskYesNo(DuplicateQuestion(path)))
            continue;
        entries_.push_back(SizedEntry(path, current, applyToNew));
        ++added;
    }
    return added;
}

void BatchList::ReplaceWithPaths(const QStringList& paths, const ResizeSettings& current,
                                 bool applyToNew) {
    entries_.clear();
    for (const QString& path : paths)
        if (QFileInfo::exists(path))
            entries_.push_back(SizedEntry(path, current, applyToNew));
}

void BatchList::ApplyToAll(const ResizeSettings& current) {
    for (BatchEntry& e : entries_) ApplyCurrentSettings(e, current, ProbeImage(e.path));
}

void BatchList::ApplyToSelected(const ResizeSettings& current) {
    for (BatchEntry& e : entries_)
        if (e.selected != 0)
            ApplyCurrentSettings(e, current, ProbeImage(e.path));
}

int BatchList::SelectedCount() const {
    return static_cast<int>(std::count_if(entries_.begin(), entries_.end(),
                                          [](const BatchEntry& e) { return e.selected != 0; }));
}

int BatchList::RemoveSelected() {
    const auto before = entries_.size();
    std::erase_if(entries_, [](const BatchEntry& e) { return e.selected != 0; });
    return static_cast<int>(before - entries_.size());
}

bool BatchList::Reorder(const std::vector<int>& order) {
    if (order.size() != entries_.size())
        return false;
    std::vector<char> seen(entries_.size(), 0);
    for (int i : order) {
        if (i < 0 || i >= count() || seen[size_t(i)])
            return false;
        seen[size_t(i)] = 1;
    }
    std::vector<BatchEntry> reordered;
    reordered.reserve(entries_.size());
    for (int i : order) reordered.push_back(std::move(entries_[size_t(i)]));
    entries_ = std::move(reordered);
    return true;
}

BatchFileResult BatchList::Save(const QString& path) const {
    BatchFileResult result;
    QString error;
    if (!WriteFileSafely(path, EncodeBatchFile(entries_), &error)) {
        result.status = BatchFileStatus::IoError;
        result.message = QStringLiteral("Can't write file\n%1\n%2").arg(path, error);
    }
    return result;
}

BatchFileResult BatchList::Load(const QString& path) {
    BatchFileResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = BatchFileStatus::IoError;
        result.message = QStringLiteral("Can't open file\n%1\n%2").arg(path, file.errorString());
        return result;
    }
    const QByteArray bytes = file.read(kMaxBatchFileBytes);
    if (file.error() != QFileDevice::NoError) {
        result.status = BatchFileStatus::IoError;
        result.message = QStringLiteral("Can't read file\n%1\n%2").arg(path, file.errorString());
        return result;
    }
    result = DecodeBatchFile(std::span(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                       static_cast<size_t>(bytes.size())));
    if (result.status == BatchFileStatus::Damaged)
        result.message = DamagedBatchFileText(path);
    if (!result.ok())
        return result;
    entries_.clear();
    for (BatchEntry& e : result.entries)
        if (QFileInfo::exists(e.path))
            entries_.push_back(e);
    return result;
}

QString NamedBatchPath(const QString& name) {
    NamedEntryFolder folder = BatchesFolder(true);
    folder.Open(false);
    return folder.Contains(name) ? folder.PathFor(name) : QString();
}

BatchFileResult BatchList::SaveNamed(const QString& name) const {
    NamedEntryFolder folder = BatchesFolder(false);
    folder.Open(true);
    return Save(folder.PathFor(name));
}

BatchFileResult BatchList::LoadNamed(const QString& name) {
    const QString path = NamedBatchPath(name);
    if (path.isEmpty()) {
        BatchFileResult result;
        result.status = BatchFileStatus::NoSuchName;
        result.message = NamedEntryFolder::NoSuchNameText();
        return result;
    }
    return Load(path);
}

}  // namespace orm
