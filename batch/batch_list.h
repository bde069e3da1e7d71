#pragma once
// The batch list: the images the next run resizes, in insertion order, each with its own target
// settings. Filling it, giving entries the current settings, removing entries, and saving or
// loading it as a batch file. No widgets: the basket view binds this to its thumbnails.

#include "batch/batch_entry.h"
#include "batch/batch_file.h"
#include "settings/prompt.h"
#include "settings/resize_settings.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace orm {

class BatchList {
  public:
    const std::vector<BatchEntry>& entries() const { return entries_; }
    int count() const { return static_cast<int>(entries_.size()); }
    bool empty() const { return entries_.empty(); }
    BatchEntry& at(int i) { return entries_.at(static_cast<size_t>(i)); }
    const BatchEntry& at(int i) const { return entries_.at(static_cast<size_t>(i)); }

    // Whether an entry has this path (compared exactly).
    bool Contains(const QString& path) const;

    // Dropped or pasted files, in order. A path already listed asks "File\n%s\nis already selected
    // for batch.\nDo you want have multiple copies of this file?" and is skipped on No. New entries
    // take the current settings when applyToNew is set, otherwise their image's own size. Returns
    // the number of entries added.
    int AddFiles(const QStringList& paths, const ResizeSettings& current, bool applyToNew,
                 IPrompt& prompt);

    // Replaces the list with the paths whose files exist (the files of a command line). The new
    // entries are sized as AddFiles sizes them, so a run of them writes every file.
    void ReplaceWithPaths(const QStringList& paths, const ResizeSettings& current, bool applyToNew);

    // Current-settings mode for every entry, or for the selected ones.
    void ApplyToAll(const ResizeSettings& current);
    void ApplyToSelected(const ResizeSettings& current);

    void SetSelected(int index, bool selected) { at(index).selected = selected ? 1 : 0; }
    int SelectedCount() const;
    // Removes every selected entry; returns how many went.
    int RemoveSelected();
    void Clear() { entries_.clear(); }
    // Puts the entries in a new order: order[k] is the index of the entry that goes to place k.
    // An order that is not a permutation of the indices leaves the list as it was (false).
    bool Reorder(const std::vector<int>& order);

    // Writes the list safely (a failure leaves an existing file as it was).
    BatchFileResult Save(const QString& path) const;
    // Reads a batch file. On success the list is replaced by its entries whose files exist
    // (others are dropped silently); on any failure the list stays as it was and the result
    // carries the message ("Wrong file!" for a foreign file).
    BatchFileResult Load(const QString& path);

    // The same for a named entry of the program's "Batches" folder (names compare ignoring case).
    BatchFileResult SaveNamed(const QString& name) const;
    BatchFileResult LoadNamed(const QString& name);

    static QString DuplicateQuestion(const QString& path);

  private:
    std::vector<BatchEntry> entries_;
};

// The file of a named batch in the program's "Batches" folder; empty when none has that name.
QString NamedBatchPath(const QString& name);

}  // namespace orm
