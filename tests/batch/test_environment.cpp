#include "test_environment.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
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
    char name_[16] = "batch_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

QString TestHome() { return home ? home->path() : QString(); }

void WriteImage(const QString& path, int w, int h, double dpi) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / std::max(1, w - 1), y * 255 / std::max(1, h - 1), (x + y) % 256));
    const int dpm = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    ASSERT_TRUE(image.save(path)) << path.toStdString();
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QSize ImageFileSize(const QString& path) { return QImageReader(path).size(); }

}  // namespace orm::test
