#include "test_environment.h"

#include <QApplication>
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
        qputenv("XDG_CACHE_HOME", (home->path() + "/cache").toLocal8Bit());
        QStandardPaths::setTestModeEnabled(true);
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override {
        app_.reset();
        delete home;
        home = nullptr;
    }

private:
    int argc_ = 1;
    char name_[16] = "app_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QString TestHome() { return home ? home->path() : QString(); }

QImage PatternImage(int width, int height) {
    QImage image(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x + 0] = uchar((x * 7 + y * 3) & 0xFF);
            row[3 * x + 1] = uchar((x * 13) ^ (y * 5));
            row[3 * x + 2] = uchar((x + y * 11) & 0xFF);
        }
    }
    return image;
}

}  // namespace orm::test
