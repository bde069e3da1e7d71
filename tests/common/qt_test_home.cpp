#include "qt_test_home.h"

#ifdef ORM_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace orm::test {
namespace {

QTemporaryDir* home = nullptr;

class QtTestHome : public ::testing::Environment {
  public:
    void SetUp() override {
        home = new QTemporaryDir();
        ASSERT_TRUE(home->isValid());
        qputenv("HOME", home->path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (home->path() + "/data").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home->path() + "/config").toLocal8Bit());
        qputenv("XDG_CACHE_HOME", (home->path() + "/cache").toLocal8Bit());
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QStandardPaths::setTestModeEnabled(true);
        app_ = std::make_unique<TestApplication>(argc_, argv_);
        ASSERT_TRUE(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                        .startsWith(home->path()));
    }
    void TearDown() override {
        app_.reset();
        delete home;
        home = nullptr;
    }

  private:
    int argc_ = 1;
    char name_[16] = "orm_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<TestApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtTestHome);

}  // namespace

QString TestHome() {
    return home ? home->path() : QString();
}

}  // namespace orm::test
