#pragma once
// The per-user settings store (QSettings, organisation "ORVEN Imaging", application
// "ORVEN Mensura"). Records declare their values once, as a table of (group, key, member);
// the defaults are the record's member initialisers. Integers are stored as integers, reals as
// "%f" texts in the C locale, texts as texts.

#include "settings/batch_settings.h"
#include "settings/resize_settings.h"

#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>
#include <span>
#include <variant>

namespace orm {

template <class Record>
struct StoredField {
    using Member = std::variant<int32_t Record::*, double Record::*, float Record::*,
                                QString Record::*, ResizeAlgorithm Record::*>;
    const char* group;
    const char* key;
    Member member;
};

// Browser values kept beside the resize settings.
struct BrowserSettings {
    QString defaultFolder;  // folder the image browser shows first
    int32_t iconsZoom = 100;
    int32_t sortKey = 0;  // the browser's order at start (0..9); read, never changed by the browser
    int32_t leftWidth = -1;  // the browse window's folder column; -1: none stored (200 pixels)

    bool operator==(const BrowserSettings&) const = default;
};

// The folder tree of the browse window.
struct ShellTreeSettings {
    QString selectedPath;  // the folder selected when the tree closed last

    bool operator==(const ShellTreeSettings&) const = default;
};

// The main window's own values.
struct FrameSettings {
    QString panes;                // the splitter's panes, "%d %d %d %d" (frame/frame_layout.h)
    int32_t batchRowHeight = -1;  // the preview's height above the batch row; -1: none stored
    QString saveFolder;           // the folder Resize and Save wrote to last
    bool operator==(const FrameSettings&) const = default;
};

std::span<const StoredField<ResizeSettings>> ResizeSettingsFields();
// Values added later: written only when they differ from the default and removed otherwise, so a
// store that never had them reads as before and a default record leaves no trace of them.
std::span<const StoredField<ResizeSettings>> ResizeSettingsFieldsWrittenWhenSet();
std::span<const StoredField<BrowserSettings>> BrowserSettingsFields();
std::span<const StoredField<BatchSettings>> BatchSettingsFields();
// The output options: written only when set, as the resize settings' later values.
std::span<const StoredField<BatchSettings>> BatchSettingsFieldsWrittenWhenSet();
std::span<const StoredField<ShellTreeSettings>> ShellTreeSettingsFields();
std::span<const StoredField<FrameSettings>> FrameSettingsFields();

inline constexpr int kRecentFileCount = 4;

// The files the user's store is read from (the application's file, then the organisation's).
QStringList SettingsStoreFiles();

class SettingsStore {
  public:
    // The user's store of the application.
    SettingsStore();
    // Any QSettings (tests pass one over a temporary file); not owned.
    explicit SettingsStore(QSettings& backend);
    ~SettingsStore();

    // Every value of the table into the record; an absent value takes the record's default.
    template <class Record>
    void Read(std::span<const StoredField<Record>> fields, Record& record) const {
        const Record defaults{};
        for (const auto& field : fields) {
            std::visit(
                [&](auto member) {
                    ReadValue(field.group, field.key, record.*member, defaults.*member);
                },
                field.member);
        }
    }
    template <class Record>
    void Write(std::span<const StoredField<Record>> fields, const Record& record) {
        for (const auto& field : fields)
            std::visit([&](auto member) { WriteValue(field.group, field.key, record.*member); },
                       field.member);
    }
    // Writes the values that differ from the record's defaults and removes the others.
    template <class Record>
    void WriteWhenSet(std::span<const StoredField<Record>> fields, const Record& record) {
        // Static: GCC cannot see that a local one is made before the visit reads it.
        static const Record defaults{};
        for (const auto& field : fields)
            std::visit(
                [&](auto member) {
                    if (record.*member == defaults.*member)
                        Remove(field.group, field.key);
                    else
                        WriteValue(field.group, field.key, record.*member);
                },
                field.member);
    }

    // The resize settings (brought into range after reading).
    void Load(ResizeSettings& s) const;
    void Save(const ResizeSettings& s);
    void Load(BrowserSettings& b) const { Read(BrowserSettingsFields(), b); }
    void Save(const BrowserSettings& b) { Write(BrowserSettingsFields(), b); }
    // The batch settings (brought into range after reading).
    void Load(BatchSettings& b) const;
    void Save(const BatchSettings& b);
    void Load(ShellTreeSettings& t) const { Read(ShellTreeSettingsFields(), t); }
    // Written when set: a store that never had them stays without them.
    void Load(FrameSettings& f) const { Read(FrameSettingsFields(), f); }
    void Save(const FrameSettings& f) { WriteWhenSet(FrameSettingsFields(), f); }
    void Save(const ShellTreeSettings& t) { Write(ShellTreeSettingsFields(), t); }

    // Single values for the windows that keep their own (splitters, folder tree).
    int32_t ReadInt(const char* group, const char* key, int32_t fallback) const;
    double ReadReal(const char* group, const char* key, double fallback) const;
    QString ReadText(const char* group, const char* key, const QString& fallback = {}) const;
    void WriteInt(const char* group, const char* key, int32_t value);
    void WriteReal(const char* group, const char* key, double value);
    void WriteText(const char* group, const char* key, const QString& value);
    void Remove(const char* group, const char* key);

    // The recent-file list, most recent first, at most kRecentFileCount entries.
    QStringList RecentFiles() const;
    void SetRecentFiles(const QStringList& files);

    // Writes pending changes; returns false when the store could not be written.
    bool Sync();

  private:
    void ReadValue(const char* group, const char* key, int32_t& value, int32_t fallback) const {
        value = ReadInt(group, key, fallback);
    }
    // A stored index outside the list takes the default.
    void ReadValue(const char* group, const char* key, ResizeAlgorithm& value,
                   ResizeAlgorithm fallback) const {
        int32_t index = AlgorithmIndex(fallback);
        ReadValue(group, key, index, AlgorithmIndex(fallback));
        value = AlgorithmFromIndex(index).value_or(fallback);
    }
    void ReadValue(const char* group, const char* key, double& value, double fallback) const {
        value = ReadReal(group, key, fallback);
    }
    void ReadValue(const char* group, const char* key, float& value, float fallback) const {
        value = static_cast<float>(ReadReal(group, key, fallback));
    }
    void ReadValue(const char* group, const char* key, QString& value,
                   const QString& fallback) const {
        value = ReadText(group, key, fallback);
    }
    void WriteValue(const char* group, const char* key, int32_t value) {
        WriteInt(group, key, value);
    }
    void WriteValue(const char* group, const char* key, ResizeAlgorithm value) {
        WriteInt(group, key, AlgorithmIndex(value));
    }
    void WriteValue(const char* group, const char* key, double value) {
        WriteReal(group, key, value);
    }
    void WriteValue(const char* group, const char* key, float value) {
        WriteReal(group, key, value);
    }
    void WriteValue(const char* group, const char* key, const QString& value) {
        WriteText(group, key, value);
    }

    std::unique_ptr<QSettings> owned_;
    QSettings* settings_;
};

}  // namespace orm
