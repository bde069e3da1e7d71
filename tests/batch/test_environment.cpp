#include "test_environment.h"

#include <QFile>
#include <QImageReader>
#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>

namespace orm::test {

void WriteImage(const QString& path, int w, int h, double dpi) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(
                x, y,
                qRgb(x * 255 / std::max(1, w - 1), y * 255 / std::max(1, h - 1), (x + y) % 256));
    const int dpm = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    ASSERT_TRUE(image.save(path)) << path.toStdString();
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QSize ImageFileSize(const QString& path) {
    return QImageReader(path).size();
}

ProgramRun RunProgram(const QString& program, const QStringList& args, const QString& home) {
    QProcess p;
    if (!home.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_DATA_HOME", home + "/data");
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(120000)) << program.toStdString();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace orm::test
