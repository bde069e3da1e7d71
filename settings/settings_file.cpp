#include "settings/settings_file.h"

#include "imageio/file_reader.h"

#include "settings/named_entries.h"
#include "settings/storage_folder.h"

#include <QFile>
#include <QSaveFile>

#include <array>
#include <bit>
#include <cstring>

namespace orm {
namespace {

constexpr char kHeaderText[] = "ORVEN Mensura 2.0 Settings";
static_assert(sizeof kHeaderText - 1 == kSettingsHeaderSize / 2);

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The ten fields in file order; a field is an int32 member, the dpi or the algorithm.
struct FieldRef {
    int32_t ResizeSettings::*integer;  // null for the dpi and the algorithm
    bool algorithm = false;
};
constexpr std::array<FieldRef, 10> kFileFields = {{
    {&ResizeSettings::width},
    {&ResizeSettings::height},
    {nullptr},  // dpi
    {&ResizeSettings::resolutionUnit},
    {&ResizeSettings::sizeUnit},
    {&ResizeSettings::correction},
    {nullptr, true},  // algorithm
    {&ResizeSettings::inPercent},
    {&ResizeSettings::editPrintSize},
    {&ResizeSettings::lockSettings},
}};

SettingsFileResult Fail(SettingsFileStatus status, QString message) {
    return {status, std::move(message)};
}

QString WrongFileText() {
    return QStringLiteral("Wrong file!");
}

}  // namespace

std::vector<uint8_t> EncodeSettingsFile(const ResizeSettings& s) {
    std::vector<uint8_t> out;
    out.reserve(kSettingsFileSize);
    for (size_t i = 0; i < kSettingsHeaderSize / 2; ++i) {
        out.push_back(static_cast<uint8_t>(kHeaderText[i]));
        out.push_back(0);
    }
    for (const FieldRef& f : kFileFields)
        PutU32(out, f.integer     ? static_cast<uint32_t>(s.*f.integer)
                    : f.algorithm ? static_cast<uint32_t>(AlgorithmIndex(s.algorithm))
                                  : std::bit_cast<uint32_t>(s.dpi));
    return out;
}

SettingsFileStatus DecodeSettingsFile(std::span<const uint8_t> bytes, ResizeSettings& s) {
    if (bytes.size() < kSettingsHeaderSize)
        return SettingsFileStatus::WrongFile;
    for (size_t i = 0; i < kSettingsHeaderSize / 2; ++i) {
        if (bytes[2 * i] != static_cast<uint8_t>(kHeaderText[i]) || bytes[2 * i + 1] != 0)
            return SettingsFileStatus::WrongFile;
    }
    size_t offset = kSettingsHeaderSize;
    for (const FieldRef& f : kFileFields) {
        if (offset + 4 > bytes.size())
            break;
        const uint32_t v = GetU32(bytes.data() + offset);
        if (f.integer)
            s.*f.integer = static_cast<int32_t>(v);
        else if (f.algorithm)
            s.algorithm = static_cast<ResizeAlgorithm>(static_cast<int32_t>(v));  // sanitised below
        else
            s.dpi = std::bit_cast<float>(v);
        offset += 4;
    }
    SanitizeSettings(s);
    return SettingsFileStatus::Ok;
}

SettingsFileResult LoadSettingsFile(const QString& path, ResizeSettings& s) {
    QByteArray bytes;
    QString error;
    if (!ReadWholeFile(path, bytes, &error, ReadKind::SettingsFile))
        return Fail(SettingsFileStatus::IoError,
                    QStringLiteral("Cannot open %1: %2").arg(path, error));
    bytes.truncate(qsizetype(kSettingsFileSize));
    ResizeSettings loaded = s;
    // The file holds a pixel or percent size; long-edge mode would refit it, so it ends here.
    loaded.longEdge = 0;
    const auto data =
        std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    if (DecodeSettingsFile(data, loaded) != SettingsFileStatus::Ok)
        return Fail(SettingsFileStatus::WrongFile, WrongFileText());
    s = loaded;
    return {};
}

SettingsFileResult SaveSettingsFile(const QString& path, const ResizeSettings& s) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Fail(SettingsFileStatus::IoError,
                    QStringLiteral("Cannot create %1: %2").arg(path, file.errorString()));
    const std::vector<uint8_t> bytes = EncodeSettingsFile(s);
    if (file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) !=
            qint64(bytes.size()) ||
        !file.commit())
        return Fail(SettingsFileStatus::IoError,
                    QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return {};
}

bool LoadNamedSettings(const QString& name, ResizeSettings& s, QString* error) {
    NamedEntryFolder entries(QString::fromLatin1(kSettingsSubfolder),
                             QString::fromLatin1(kSettingsExtension));
    entries.Open(/*create=*/false);
    SettingsFileResult result;
    if (!entries.Contains(name))
        result = Fail(SettingsFileStatus::NoSuchName, NamedEntryFolder::NoSuchNameText());
    else
        result = LoadSettingsFile(entries.PathFor(name), s);
    if (!result.ok() && error)
        *error = result.message;
    return result.ok();
}

}  // namespace orm
