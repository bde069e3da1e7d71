#include "settings/settings_store.h"

#include "settings/colour_scheme.h"
#include "settings/number_text.h"
#include "settings/storage_folder.h"

#include "imageio/file_reader.h"

#include <QStandardPaths>

#include <array>
#include <cmath>
#include <limits>

namespace orm {
namespace {

using RS = ResizeSettings;
const std::array<StoredField<RS>, 14> kResizeFields = {{
    {"MAIN", "INTERPOLMODE", &RS::algorithm},
    {"MAIN", "RESUNITS", &RS::resolutionUnit},
    {"MAIN", "SIZEUNITS", &RS::sizeUnit},
    {"MAIN", "CORRECTPROP", &RS::correction},
    {"MAIN", "INPERCENTS", &RS::inPercent},
    {"MAIN", "EDITPRINTS", &RS::editPrintSize},
    {"MAIN", "LOCKSETTINGS", &RS::lockSettings},
    {"MAIN", "JPEGQUALITY", &RS::jpegQuality},
    {"MAIN", "APPLYTOALL", &RS::applyToAll},
    {"MAIN", "WIDTH", &RS::width},
    {"MAIN", "HEIGHT", &RS::height},
    {"MAIN", "DPI", &RS::dpi},
    {"MAIN", "PERCENTW", &RS::percentWidth},
    {"MAIN", "PERCENTH", &RS::percentHeight},
}};

const std::array<StoredField<RS>, 3> kResizeFieldsWrittenWhenSet = {{
    {"MAIN", "NOENLARGE", &RS::noEnlarge},
    {"MAIN", "LONGEDGE", &RS::longEdge},
    {"MAIN", "CENTRED", &RS::centred},
}};

const std::array<StoredField<BrowserSettings>, 4> kBrowserFields = {{
    {"BROWSER", "DEFAULT", &BrowserSettings::defaultFolder},
    {"INTERFACE", "ICONSZOOM", &BrowserSettings::iconsZoom},
    {"BROWSER", "SORT", &BrowserSettings::sortKey},
    {"SPLITTER", "LEFTWIDTH", &BrowserSettings::leftWidth},
}};

using BS = BatchSettings;
const std::array<StoredField<BS>, 7> kBatchFields = {{
    {"BATCH", "OVERWRITEMETHOD", &BS::overwriteMethod},
    {"BATCH", "OUTFORMAT", &BS::outputFormat},
    {"BATCH", "OUTFOLDER", &BS::outputFolder},
    {"BATCH", "NEWNAME", &BS::newName},
    {"BATCH", "JPEGQUALITY", &BS::jpegQuality},
    {"BATCH", "SAMEFOLDER", &BS::sameFolder},
    {"BATCH", "FASTDECODE", &BS::fastDecode},
}};
const std::array<StoredField<BS>, 5> kBatchFieldsWrittenWhenSet = {{
    {"BATCH", "STRIPMETADATA", &BS::stripMetadata},
    {"BATCH", "TOSRGB", &BS::toSrgb},
    {"BATCH", "LINEARLIGHT", &BS::linearLight},
    {"BATCH", "BACKGROUND", &BS::background},
    {"BATCH", "KEEPTIME", &BS::keepTime},
}};

const std::array<StoredField<ShellTreeSettings>, 1> kShellTreeFields = {{
    {"SHELLTREE", "PIDL", &ShellTreeSettings::selectedPath},
}};

// The splitter of the main window is its node 0 (frame/frame_layout.h: "Panes_%d").
const std::array<StoredField<FrameSettings>, 3> kFrameFields = {{
    {"SPLITTER", "Panes_0", &FrameSettings::panes},
    {"SPLITTER", "RIGHTHEIGHT", &FrameSettings::batchRowHeight},
    {"MAIN", "SAVEFOLDER", &FrameSettings::saveFolder},
}};

constexpr const char* kRecentGroup = "Recent File List";

QString KeyPath(const char* group, const char* key) {
    return QString::fromLatin1(group) + QLatin1Char('/') + QString::fromLatin1(key);
}

}  // namespace

std::span<const StoredField<ResizeSettings>> ResizeSettingsFields() {
    return kResizeFields;
}
std::span<const StoredField<ResizeSettings>> ResizeSettingsFieldsWrittenWhenSet() {
    return kResizeFieldsWrittenWhenSet;
}
std::span<const StoredField<BrowserSettings>> BrowserSettingsFields() {
    return kBrowserFields;
}
std::span<const StoredField<BatchSettings>> BatchSettingsFields() {
    return kBatchFields;
}
std::span<const StoredField<BatchSettings>> BatchSettingsFieldsWrittenWhenSet() {
    return kBatchFieldsWrittenWhenSet;
}
std::span<const StoredField<ShellTreeSettings>> ShellTreeSettingsFields() {
    return kShellTreeFields;
}
std::span<const StoredField<FrameSettings>> FrameSettingsFields() {
    return kFrameFields;
}

QStringList SettingsStoreFiles() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return {folder + QStringLiteral("/ORVEN Imaging/ORVEN Mensura.conf"),
            folder + QStringLiteral("/ORVEN Imaging.conf")};
}

std::unique_ptr<QSettings> OpenSettingsStore() {
    // QSettings opens its files itself, and a pipe there would block it for ever: the files are
    // looked at without blocking first. A store that is not a readable regular file is left
    // alone; the program runs on its defaults and keeps nothing.
    for (const QString& path : SettingsStoreFiles()) {
        QString error;
        bool missing = false;
        if (!CheckRegularFile(path, ReadKind::SettingsStore, &error, &missing) && !missing) {
            qWarning("The settings in %s are not used: %s", qUtf8Printable(path),
                     qUtf8Printable(error));
            return std::make_unique<QSettings>(QString(), QSettings::IniFormat);
        }
    }
    return std::make_unique<QSettings>(QStringLiteral("ORVEN Imaging"),
                                       QStringLiteral("ORVEN Mensura"));
}

SettingsStore::SettingsStore() : owned_(OpenSettingsStore()), settings_(owned_.get()) {}

SettingsStore::SettingsStore(QSettings& backend) : settings_(&backend) {}

SettingsStore::~SettingsStore() = default;

void SettingsStore::Load(ResizeSettings& s) const {
    Read(ResizeSettingsFields(), s);
    Read(ResizeSettingsFieldsWrittenWhenSet(), s);
    SanitizeSettings(s);
}

void SettingsStore::Save(const ResizeSettings& s) {
    Write(ResizeSettingsFields(), s);
    WriteWhenSet(ResizeSettingsFieldsWrittenWhenSet(), s);
}

void SettingsStore::Load(BatchSettings& b) const {
    Read(BatchSettingsFields(), b);
    Read(BatchSettingsFieldsWrittenWhenSet(), b);
    SanitizeBatchSettings(b);
}

void SettingsStore::Save(const BatchSettings& b) {
    Write(BatchSettingsFields(), b);
    WriteWhenSet(BatchSettingsFieldsWrittenWhenSet(), b);
}

int32_t SettingsStore::ReadInt(const char* group, const char* key, int32_t fallback) const {
    const QVariant v = settings_->value(KeyPath(group, key));
    if (!v.isValid())
        return fallback;
    // A value that is not a whole number reads as 0.
    const qlonglong n = v.toString().trimmed().toLongLong();
    if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
        return 0;
    return static_cast<int32_t>(n);
}

double SettingsStore::ReadReal(const char* group, const char* key, double fallback) const {
    const QVariant v = settings_->value(KeyPath(group, key));
    if (!v.isValid())
        return fallback;
    return ParseLeadingReal(v.toString());
}

QString SettingsStore::ReadText(const char* group, const char* key, const QString& fallback) const {
    const QVariant v = settings_->value(KeyPath(group, key));
    return v.isValid() ? v.toString() : fallback;
}

void SettingsStore::WriteInt(const char* group, const char* key, int32_t value) {
    settings_->setValue(KeyPath(group, key), int(value));
}

void SettingsStore::WriteReal(const char* group, const char* key, double value) {
    settings_->setValue(KeyPath(group, key), QFormatFixed(value, 6));
}

void SettingsStore::WriteText(const char* group, const char* key, const QString& value) {
    settings_->setValue(KeyPath(group, key), value);
}

void SettingsStore::Remove(const char* group, const char* key) {
    settings_->remove(KeyPath(group, key));
}

QStringList SettingsStore::RecentFiles() const {
    QStringList files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file =
            settings_->value(QStringLiteral("%1/File%2").arg(QLatin1String(kRecentGroup)).arg(i))
                .toString();
        if (!file.isEmpty())
            files.append(file);
    }
    return files;
}

void SettingsStore::SetRecentFiles(const QStringList& files) {
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = QStringLiteral("%1/File%2").arg(QLatin1String(kRecentGroup)).arg(i);
        if (i <= files.size())
            settings_->setValue(key, files[i - 1]);
        else
            settings_->remove(key);
    }
}

bool SettingsStore::Sync() {
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

}  // namespace orm
