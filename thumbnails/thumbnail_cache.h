#pragma once
// The thumbnail cache: the thumbnails of the process in memory, keyed by the image's full path,
// with the thumbnails of other folders spilled to one file per folder ("FLD<n>.tmp") and an index
// of those files ("ORIMGBRWS.IND") in the cache folder.
//
// `CMapStringToObPlus` is the cache itself and is not thread-safe; `ThumbnailCache` pairs it with
// its lock, and every use goes through `Lock()` (or `TryLock()` where waiting is not wanted, such
// as painting). The lock is held only for map operations and, rarely, for the read or write of one
// folder file (a lookup that loads a folder, an insertion that spills other folders).

#include "thumbnails/palette_item.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace orm {

// <user cache folder>/ORIMGBRW_PBN: per user, kept across boots (unlike /tmp).
QString DefaultThumbnailCacheFolder();
// The older single cache file, read once when the cache folder does not exist yet.
QString DefaultOldThumbnailCacheFile();

// The folder of an image path with its trailing slash ("/a/b/" for "/a/b/c.jpg"). Keys are
// compared exactly: /a/Photos/ and /a/photos/ are two folders.
QString ThumbnailFolderKey(const QString& imagePath);

struct ThumbnailCacheLimits {
    int evictAt = 3000;     // an insertion with this many entries in memory spills other folders
    int evictBelow = 2000;  // ... until fewer than this many are left
    int64_t folderBytes = int64_t(500) << 20;  // the cache folder's files, oldest dropped beyond
};

class CMapStringToObPlus {
  public:
    explicit CMapStringToObPlus(QString cacheFolder, ThumbnailCacheLimits limits = {});

    const QString& cacheFolder() const { return cacheFolder_; }
    const QString& lastLoadedFile() const { return lastLoadedFile_; }
    // Folder key -> full path of its folder file.
    const QHash<QString, QString>& folderIndex() const { return folderIndex_; }
    int size() const { return int(map_.size()); }

    // The thumbnail of the path; when it is not in memory, the folder's file is read first
    // (unless it was the file read last). Null when not cached.
    ThumbnailPtr Lookup(const QString& path);
    // The same without reading any file.
    ThumbnailPtr Find(const QString& path) const;
    // Stores the thumbnail, first spilling other folders to their files when memory holds
    // `evictAt` entries or more; gives the folder a file when it has none.
    void SetAt(const QString& path, ThumbnailPtr item);
    // Replaces the thumbnail of the path only when the cache holds `expected` for it (the
    // builder's improvement of a thumbnail that may have been removed or rebuilt meanwhile).
    bool Replace(const QString& path, const ThumbnailPtr& expected, ThumbnailPtr item);
    // Removes from memory only; true when the path was there.
    bool RemoveKey(const QString& path);

    // At the start of the first browser: reads the older single file when the cache folder does
    // not exist (then creates the folder), otherwise the index. Failures leave the cache empty.
    void Load(const QString& oldFilePath);
    // Right after Load: drops entries whose image is gone or whose ageTime is 31 or more whole
    // days before `now`; then, with more than 1800 left, those older than 10 days.
    void StartupCleanup(int64_t now);
    // Writes every folder's entries to its file (merged with what the file holds), drops the
    // files of folders that no longer exist, keeps the folder within its byte limit and writes
    // the index.
    void Save();
    // When the last browser closes: drops entries whose image is gone, saves, empties memory.
    void Shutdown();

  private:
    struct Entry {
        ThumbnailPtr item;
        uint64_t order;  // insertion order: spilling walks the oldest entries first
    };
    void Insert(const QString& path, ThumbnailPtr item);
    void Evict(const QString& currentFolder);
    QString FolderFileFor(const QString& key);
    QString FirstFreeFolderFile() const;
    bool IsOwnFolderFile(const QString& path) const;
    void EnforceFolderLimit();
    bool WriteIndex() const;

    QString cacheFolder_;
    ThumbnailCacheLimits limits_;
    QHash<QString, Entry> map_;
    QHash<QString, QString> folderIndex_;
    QString lastLoadedFile_;
    uint64_t nextOrder_ = 0;
};

class ThumbnailCache;

// The thumbnail of `oldPath` is copied to `newPath` when that file exists (with its time), and
// dropped when `oldPath` no longer does: after a file was copied, moved or renamed.
void ThumbnailFollowsFile(ThumbnailCache& cache, const QString& oldPath, const QString& newPath);

// The process's cache and its lock. The application owns one (tests make their own), and the
// owner loads and saves it: Open before anything shows its thumbnails, Close (or the destructor)
// once no builder and no browser uses it any more.
class ThumbnailCache {
  public:
    explicit ThumbnailCache(QString cacheFolder = DefaultThumbnailCacheFolder(),
                            ThumbnailCacheLimits limits = {})
        : map_(std::move(cacheFolder), limits) {}
    // Closes an opened cache.
    ~ThumbnailCache();
    ThumbnailCache(const ThumbnailCache&) = delete;
    ThumbnailCache& operator=(const ThumbnailCache&) = delete;

    // Reads the index (or the older single file) and runs the clean-up of start-up; once.
    void Open(const QString& oldFilePath = DefaultOldThumbnailCacheFile());
    // Drops the entries of images that are gone, saves the rest and empties memory (Shutdown);
    // nothing when the cache was not opened. Opening again afterwards reads the files anew.
    void Close();
    bool IsOpen() const { return open_; }

    class Access {
      public:
        CMapStringToObPlus* operator->() const { return map_; }
        CMapStringToObPlus& operator*() const { return *map_; }

      private:
        friend class ThumbnailCache;
        Access(std::unique_lock<std::mutex> lock, CMapStringToObPlus* map)
            : lock_(std::move(lock)), map_(map) {}
        std::unique_lock<std::mutex> lock_;
        CMapStringToObPlus* map_;
    };

    // Waits for the lock.
    Access Lock() { return Access(std::unique_lock(mutex_), &map_); }
    // Nothing when another thread holds the lock.
    std::optional<Access> TryLock() {
        std::unique_lock lock(mutex_, std::try_to_lock);
        if (!lock.owns_lock())
            return std::nullopt;
        return Access(std::move(lock), &map_);
    }

  private:
    std::mutex mutex_;
    CMapStringToObPlus map_;
    bool open_ = false;  // the owner's thread only
};

}  // namespace orm
