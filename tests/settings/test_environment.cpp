#include "test_environment.h"

#include "settings/storage_folder.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace orm::test {
namespace {

QTemporaryDir* home = nullptr;

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        home = new QTemporaryDir();
        ASSERT_TRUE(home->isValid());
        qputenv("HOME", home->path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (home->path() + "/data").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home->path() + "/config").toLocal8Bit());
        QStandardPaths::setTestModeEnabled(true);
        app_ = std::make_unique<QApplication>(argc_, argv_);
        ASSERT_TRUE(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).startsWith(home->path()));
    }
    void TearDown() override {
        app_.reset();
        delete home;
        home = nullptr;
    }

private:
    int argc_ = 1;
    char name_[16] = "settings_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QString TestHome() { return home ? home->path() : QString(); }

void ClearStorage() {
    QDir(StorageFolder(QString::fromLatin1(kSettingsSubfolder), false)).removeRecursively();
    QDir(StorageFolder(QString::fromLatin1(kBatchesSubfolder), false)).removeRecursively();
}

}  // namespace orm::test
