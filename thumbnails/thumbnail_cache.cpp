#include "thumbnails/thumbnail_cache.h"

#include "imageio/file_look.h"
#include "imageio/file_reader.h"
#include "imageio/native_path.h"
#include "imageio/safe_file_writer.h"
#include "thumbnails/thumbnail_cache_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <ctime>
#include <span>
#include <utility>

namespace orm {

namespace {

const QString kIndexFileName = QStringLiteral("ORIMGBRWS.IND");

// No cache file is this large; a larger one is damage and is not read into memory.

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kMaxAgeDays = 31;
constexpr int kCrowdedCount = 1800;
constexpr int64_t kCrowdedMaxAgeDays = 10;

bool ImageExists(const QString& path) {
    return QFileInfo::exists(path);
}

// The bytes of a cache file: nothing when it cannot be opened or read, or is implausibly large.
std::optional<QByteArray> ReadCacheFile(const QString& path) {
    // Regular files only, within a cap: an index that names a pipe or /dev/zero reads as absent.
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, nullptr, ReadKind::CacheFile))
        return std::nullopt;
    return bytes;
}

std::span<const uint8_t> Span(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size())};
}

// The entries of a folder file; an empty file holds none; nothing when it cannot be read.
std::optional<std::vector<FolderFileEntry>> ReadFolderFile(const QString& path) {
    const std::optional<QByteArray> bytes = ReadCacheFile(path);
    if (!bytes)
        return std::nullopt;
    if (bytes->isEmpty())
        return std::vector<FolderFileEntry>{};
    return DecodeFolderFile(Span(*bytes));
}

// A folder key without its trailing slash (the root stays "/").
QString FolderOfKey(const QString& key) {
    if (key.size() > 1 && key.endsWith(QLatin1Char('/')))
        return key.left(key.size() - 1);
    return key;
}

}  // namespace

QString DefaultThumbnailCacheFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/ORIMGBRW_PBN");
}

QString DefaultOldThumbnailCacheFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/ORIMGBRW_SMRMB");
}

QString ThumbnailFolderKey(const QString& imagePath) {
    return imagePath.left(imagePath.lastIndexOf(QLatin1Char('/')) + 1);
}

CMapStringToObPlus::CMapStringToObPlus(QString cacheFolder, ThumbnailCacheLimits limits)
    : cacheFolder_(std::move(cacheFolder)), limits_(limits) {
    while (cacheFolder_.size() > 1 && cacheFolder_.endsWith(QLatin1Char('/'))) cacheFolder_.chop(1);
}

ThumbnailPtr CMapStringToObPlus::Find(const QString& path) const {
    const auto it = map_.constFind(path);
    return it == map_.constEnd() ? nullptr : it->item;
}

void CMapStringToObPlus::Insert(const QString& path, ThumbnailPtr item) {
    map_.insert(path, Entry{std::move(item), nextOrder_++});
}

ThumbnailPtr CMapStringToObPlus::Lookup(const QString& path) {
    if (ThumbnailPtr found = Find(path))
        return found;
    const auto file = folderIndex_.constFind(ThumbnailFolderKey(path));
    if (file == folderIndex_.constEnd() || file->isEmpty()) {
        lastLoadedFile_.clear();
        return nullptr;
    }
    if (*file != lastLoadedFile_) {
        std::optional<std::vector<FolderFileEntry>> entries = ReadFolderFile(*file);
        if (!entries) {
            lastLoadedFile_.clear();
            return nullptr;
        }
        for (auto& [entryPath, item] : *entries)
            if (!map_.contains(entryPath) && ImageExists(entryPath))
                Insert(entryPath, std::move(item));
        lastLoadedFile_ = *file;
    }
    return Find(path);
}

void CMapStringToObPlus::SetAt(const QString& path, ThumbnailPtr item) {
    const QString key = ThumbnailFolderKey(path);
    if (map_.size() >= limits_.evictAt)
        Evict(key);
    Insert(path, std::move(item));
    if (folderIndex_.value(key).isEmpty()) {
        const QString file = FirstFreeFolderFile();
        QDir().mkpath(cacheFolder_);
        WriteFileSafely(file, QByteArray());  // claims the name
        folderIndex_.insert(key, file);
    }
}

bool CMapStringToObPlus::Replace(const QString& path, const ThumbnailPtr& expected,
                                 ThumbnailPtr item) {
    const auto it = map_.find(path);
    if (it == map_.end() || it->item != expected)
        return false;
    it->item = std::move(item);
    return true;
}

bool CMapStringToObPlus::RemoveKey(const QString& path) {
    return map_.remove(path) > 0;
}

QString CMapStringToObPlus::FirstFreeFolderFile() const {
    QSet<QString> taken;
    for (const QString& file : folderIndex_) taken.insert(file);
    for (int n = 1;; ++n) {
        const QString file = cacheFolder_ + QStringLiteral("/FLD%1.tmp").arg(n);
        if (!taken.contains(file) && !QFileInfo::exists(file))
            return file;
    }
}

QString CMapStringToObPlus::FolderFileFor(const QString& key) {
    QString file = folderIndex_.value(key);
    if (file.isEmpty()) {
        file = FirstFreeFolderFile();
        folderIndex_.insert(key, file);
    }
    return file;
}

bool CMapStringToObPlus::IsOwnFolderFile(const QString& path) const {
    static const QRegularExpression name(QStringLiteral("^FLD[0-9]{1,9}\\.tmp$"));
    const QFileInfo info(path);
    return info.isAbsolute() && QDir::cleanPath(info.path()) == QDir::cleanPath(cacheFolder_) &&
           name.match(info.fileName()).hasMatch();
}

void CMapStringToObPlus::Evict(const QString& currentFolder) {
    std::vector<std::pair<uint64_t, QString>> walk;
    walk.reserve(size_t(map_.size()));
    for (auto it = map_.cbegin(); it != map_.cend(); ++it) walk.emplace_back(it->order, it.key());
    std::sort(walk.begin(), walk.end());

    struct Group {
        QString key;
        std::vector<FolderFileEntry> entries;
        QSet<QString> paths;
    };
    std::vector<Group> groups;
    QHash<QString, size_t> groupOf;
    int remaining = int(map_.size());
    for (const auto& [order, path] : walk) {
        const QString key = ThumbnailFolderKey(path);
        if (key == currentFolder)
            continue;
        auto g = groupOf.constFind(key);
        if (g == groupOf.constEnd()) {
            if (remaining < limits_.evictBelow)
                break;
            g = groupOf.insert(key, groups.size());
            groups.push_back(Group{key, {}, {}});
        }
        Group& group = groups[*g];
        group.entries.emplace_back(path, map_.value(path).item);
        group.paths.insert(path);
        --remaining;
    }

    QDir().mkpath(cacheFolder_);
    for (Group& group : groups) {
        const QString file = FolderFileFor(group.key);
        if (QFileInfo(file).size() > 0)
            if (std::optional<std::vector<FolderFileEntry>> read = ReadFolderFile(file))
                for (auto& entry : *read)
                    if (!group.paths.contains(entry.first))
                        group.entries.push_back(std::move(entry));
        WriteFileSafely(file, EncodeFolderFile(group.entries));
        // The file now holds more than when it was read last: read it again when asked.
        if (file == lastLoadedFile_)
            lastLoadedFile_.clear();
        for (const QString& path : group.paths) map_.remove(path);
    }
}

void CMapStringToObPlus::Load(const QString& oldFilePath) {
    if (!QFileInfo(cacheFolder_).isDir()) {
        if (std::optional<std::vector<FolderFileEntry>> entries = ReadFolderFile(oldFilePath))
            for (auto& [path, item] : *entries)
                if (!map_.contains(path))
                    Insert(path, std::move(item));
        QDir().mkpath(cacheFolder_);
        return;
    }
    folderIndex_.clear();
    const std::optional<QByteArray> bytes =
        ReadCacheFile(cacheFolder_ + QLatin1Char('/') + kIndexFileName);
    if (!bytes)
        return;
    const std::optional<std::vector<IndexEntry>> entries = DecodeIndexFile(Span(*bytes));
    if (!entries)
        return;
    // Only the cache's own files: an index naming any other file would have the cache write
    // over it or delete it.
    for (const auto& [key, file] : *entries)
        if (!key.isEmpty() && IsOwnFolderFile(file))
            folderIndex_.insert(key, file);
    const int before = int(folderIndex_.size());
    EnforceFolderLimit();
    if (folderIndex_.size() != before)
        WriteIndex();
}

void CMapStringToObPlus::StartupCleanup(int64_t now) {
    auto ageDays = [now](const ThumbnailPtr& item) {
        return (now - item->ageTime) / kSecondsPerDay;
    };
    for (auto it = map_.begin(); it != map_.end();) {
        if (!ImageExists(it.key()) || ageDays(it->item) >= kMaxAgeDays)
            it = map_.erase(it);
        else
            ++it;
    }
    if (map_.size() > kCrowdedCount)
        map_.removeIf(
            [&](const auto& it) { return ageDays(it.value().item) > kCrowdedMaxAgeDays; });
}

void CMapStringToObPlus::Save() {
    if (!QDir().mkpath(cacheFolder_))
        return;
    QHash<QString, std::vector<FolderFileEntry>> groups;
    for (auto it = map_.cbegin(); it != map_.cend(); ++it)
        if (ImageExists(it.key()))
            groups[ThumbnailFolderKey(it.key())].emplace_back(it.key(), it->item);

    for (auto g = groups.begin(); g != groups.end(); ++g) {
        const QString file = FolderFileFor(g.key());
        std::vector<FolderFileEntry>& entries = g.value();
        if (QFileInfo(file).size() > 0) {
            if (std::optional<std::vector<FolderFileEntry>> read = ReadFolderFile(file)) {
                QSet<QString> inGroup;
                for (const auto& e : entries) inGroup.insert(e.first);
                for (auto& e : *read)
                    if (!inGroup.contains(e.first) && ImageExists(e.first)) {
                        inGroup.insert(e.first);
                        entries.push_back(std::move(e));
                    }
            }
        }
        WriteFileSafely(file, EncodeFolderFile(entries));
        if (file == lastLoadedFile_)
            lastLoadedFile_.clear();
    }

    for (auto it = folderIndex_.begin(); it != folderIndex_.end();) {
        if (IsFolder(FolderOfKey(it.key()))) {
            ++it;
        } else {
            QFile::remove(it.value());
            it = folderIndex_.erase(it);
        }
    }
    EnforceFolderLimit();
    WriteIndex();
}

void CMapStringToObPlus::Shutdown() {
    map_.removeIf([](const auto& it) { return !ImageExists(it.key()); });
    Save();
    map_.clear();
    lastLoadedFile_.clear();
}

void CMapStringToObPlus::EnforceFolderLimit() {
    QFileInfoList files =
        QDir(cacheFolder_).entryInfoList(QDir::Files | QDir::Hidden, QDir::Time | QDir::Reversed);
    int64_t total = 0;
    for (const QFileInfo& f : files) total += f.size();
    for (const QFileInfo& f : files) {  // oldest first
        if (total <= limits_.folderBytes)
            break;
        if (f.fileName() == kIndexFileName)
            continue;
        const QString path = f.absoluteFilePath();
        if (!QFile::remove(path))
            continue;
        total -= f.size();
        folderIndex_.removeIf(
            [&](const auto& it) { return QFileInfo(it.value()).absoluteFilePath() == path; });
        if (QFileInfo(lastLoadedFile_).absoluteFilePath() == path)
            lastLoadedFile_.clear();
    }
}

bool CMapStringToObPlus::WriteIndex() const {
    std::vector<IndexEntry> entries;
    entries.reserve(size_t(folderIndex_.size()));
    for (auto it = folderIndex_.cbegin(); it != folderIndex_.cend(); ++it)
        entries.emplace_back(it.key(), it.value());
    return WriteFileSafely(cacheFolder_ + QLatin1Char('/') + kIndexFileName,
                           EncodeIndexFile(entries));
}

ThumbnailCache::~ThumbnailCache() {
    Close();
}

void ThumbnailCache::Open(const QString& oldFilePath) {
    if (open_)
        return;
    open_ = true;
    auto access = Lock();
    access->Load(oldFilePath);
    access->StartupCleanup(int64_t(std::time(nullptr)));
}

void ThumbnailCache::Close() {
    if (!open_)
        return;
    open_ = false;
    Lock()->Shutdown();
}

void ThumbnailFollowsFile(ThumbnailCache& cache, const QString& oldPath, const QString& newPath) {
    const FileLook look = LookAt(newPath);
    const bool oldGone = !PathEntryExists(oldPath);
    auto map = cache.Lock();
    const ThumbnailPtr item = map->Lookup(oldPath);
    if (!item)
        return;
    if (look.isFile && newPath != oldPath)
        map->SetAt(newPath, CopyThumbnail(*item, look.ModifiedSeconds()));
    if (oldGone)
        map->RemoveKey(oldPath);
}

}  // namespace orm
