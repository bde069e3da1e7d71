#include "settings/settings_file.h"
#include "settings/storage_folder.h"
#include "test_environment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace orm {
namespace {

ResizeSettings Custom() {
    ResizeSettings s;
    s.width = 1920;
    s.height = 1080;
    s.dpi = 72.5f;
    s.resolutionUnit = 1;
    s.sizeUnit = 3;
    s.correction = 1;
    s.algorithm = ResizeAlgorithm(6);
    s.inPercent = 1;
    s.editPrintSize = 1;
    s.lockSettings = 1;
    return s;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray ToBytes(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

TEST(SettingsFileFormat, LayoutOfTheNinetyTwoBytes) {
    const auto bytes = EncodeSettingsFile(Custom());
    ASSERT_EQ(bytes.size(), kSettingsFileSize);
    const QString header = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data()), 26);
    EXPECT_EQ(header, "ORVEN Mensura 2.0 Settings");
    // Little-endian fields: width 1920 = 0x780 at 52, dpi 72.5f = 0x42910000 at 60, lock at 88.
    EXPECT_EQ(bytes[52], 0x80);
    EXPECT_EQ(bytes[53], 0x07);
    EXPECT_EQ(bytes[54], 0);
    EXPECT_EQ(bytes[60], 0x00);
    EXPECT_EQ(bytes[62], 0x91);
    EXPECT_EQ(bytes[63], 0x42);
    EXPECT_EQ(bytes[76], 6);
    EXPECT_EQ(bytes[88], 1);
}

TEST(SettingsFileFormat, SaveThenLoadTakesTheTenFieldsOnly) {
    QTemporaryDir dir;
    const QString path = dir.filePath("mine.mns");
    ASSERT_TRUE(SaveSettingsFile(path, Custom()).ok());
    EXPECT_EQ(QFileInfo(path).size(), 92);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList({"mine.mns"}));  // no temporary left

    ResizeSettings s;
    s.percentWidth = 42;
    s.percentHeight = 43;
    s.jpegQuality = 11;
    s.applyToAll = 0;
    ASSERT_TRUE(LoadSettingsFile(path, s).ok());
    ResizeSettings expected = Custom();
    expected.percentWidth = 42;
    expected.percentHeight = 43;
    expected.jpegQuality = 11;
    expected.applyToAll = 0;
    EXPECT_EQ(s, expected);
}

TEST(SettingsFileFormat, ForeignAndTinyFilesAreWrongFiles) {
    QTemporaryDir dir;
    const QString foreign = dir.filePath("photo.mns");
    WriteBytes(foreign,
               QByteArray("\xFF\xD8\xFF\xE0 this is a JPEG, not settings").leftJustified(200, 'x'));
    ResizeSettings s = Custom();
    SettingsFileResult r = LoadSettingsFile(foreign, s);
    EXPECT_EQ(r.status, SettingsFileStatus::WrongFile);
    EXPECT_EQ(r.message, "Wrong file!");
    EXPECT_EQ(s, Custom());

    const QString tiny = dir.filePath("x.mns");
    WriteBytes(tiny, QByteArray("ORV"));
    r = LoadSettingsFile(tiny, s);
    EXPECT_EQ(r.message, "Wrong file!");
    EXPECT_EQ(s, Custom());

    // The header in a wrong encoding (8-bit) does not match either.
    WriteBytes(tiny, QByteArray("ORVEN Mensura 2.0 Settings").leftJustified(92, '\0'));
    EXPECT_EQ(LoadSettingsFile(tiny, s).status, SettingsFileStatus::WrongFile);

    r = LoadSettingsFile(dir.filePath("missing.mns"), s);
    EXPECT_EQ(r.status, SettingsFileStatus::IoError);
    EXPECT_FALSE(r.message.isEmpty());
}

TEST(SettingsFileFormat, ShortAndHugeFiles) {
    QTemporaryDir dir;
    const QByteArray full = ToBytes(EncodeSettingsFile(Custom()));
    // Header plus width, height and half of the dpi: the two whole fields are taken.
    const QString shortFile = dir.filePath("short.mns");
    WriteBytes(shortFile, full.left(62));
    ResizeSettings s;
    ASSERT_TRUE(LoadSettingsFile(shortFile, s).ok());
    ResizeSettings expected;
    expected.width = 1920;
    expected.height = 1080;
    EXPECT_EQ(s, expected);

    // The header alone changes nothing and is still a settings file.
    WriteBytes(shortFile, full.left(52));
    s = ResizeSettings();
    EXPECT_TRUE(LoadSettingsFile(shortFile, s).ok());
    EXPECT_EQ(s, ResizeSettings());

    // 10 MB: only the 92 bytes of the format are read.
    const QString huge = dir.filePath("huge.mns");
    WriteBytes(huge, full + QByteArray(10 * 1024 * 1024, '\x7f'));
    s = ResizeSettings();
    ASSERT_TRUE(LoadSettingsFile(huge, s).ok());
    EXPECT_EQ(s, Custom());
}

TEST(SettingsFileFormat, OutOfRangeFieldsAreBroughtIntoRange) {
    auto bytes = EncodeSettingsFile(Custom());
    const uint32_t nan = 0x7FC00000;
    std::memcpy(bytes.data() + 60, &nan, 4);  // dpi
    std::memset(bytes.data() + 68, 0x7F, 4);  // sizeUnit huge
    std::memset(bytes.data() + 52, 0xFF, 4);  // width -1
    ResizeSettings s;
    ASSERT_EQ(DecodeSettingsFile(bytes, s), SettingsFileStatus::Ok);
    EXPECT_EQ(s.dpi, 300.0f);
    EXPECT_EQ(s.sizeUnit, 0);
    EXPECT_EQ(s.width, kMinPixels);
    EXPECT_EQ(s.algorithm, ResizeAlgorithm(6));
}

TEST(SettingsFileFormat, SaveIntoAMissingFolderFails) {
    QTemporaryDir dir;
    const QString path = dir.filePath("no/such/folder/x.mns");
    const SettingsFileResult r = SaveSettingsFile(path, ResizeSettings());
    EXPECT_EQ(r.status, SettingsFileStatus::IoError);
    EXPECT_TRUE(r.message.contains(path));
    EXPECT_FALSE(QFile::exists(path));
}

TEST(SettingsFileFormat, SaveFailureKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.mns");
    ASSERT_TRUE(SaveSettingsFile(path, Custom()).ok());
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const SettingsFileResult r = SaveSettingsFile(path, ResizeSettings());
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (r.ok())
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    EXPECT_EQ(r.status, SettingsFileStatus::IoError);
    ResizeSettings s;
    ASSERT_TRUE(LoadSettingsFile(path, s).ok());
    EXPECT_EQ(s, Custom());
}

TEST(SettingsFileFormat, NamedEntriesOfTheSettingsFolder) {
    test::ClearStorage();
    const QString folder = SettingsFolder();
    ASSERT_TRUE(folder.startsWith(test::TestHome()));
    ASSERT_TRUE(SaveSettingsFile(folder + "Web Export.mns", Custom()).ok());
    ResizeSettings s;
    QString error;
    EXPECT_TRUE(LoadNamedSettings("web export", s, &error)) << error.toStdString();
    EXPECT_EQ(s, Custom());
    s = ResizeSettings();
    EXPECT_FALSE(LoadNamedSettings("print", s, &error));
    EXPECT_EQ(error, "No such name exists.");
    EXPECT_EQ(s, ResizeSettings());
    WriteBytes(folder + "broken.mns", QByteArray("garbage"));
    EXPECT_FALSE(LoadNamedSettings("broken", s, &error));
    EXPECT_EQ(error, "Wrong file!");
    test::ClearStorage();
}

}  // namespace
}  // namespace orm
