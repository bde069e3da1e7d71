#pragma once
// A preview view showing a document over its own settings, offscreen, with helpers to open a
// made image, set the output and grab what the view shows.

#include "document/cormensura_doc.h"
#include "settings/settings_model.h"
#include "test_environment.h"
#include "ui/cormensura_view.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orm::test {

class PreviewViewFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        view_.SetDocument(&doc_);
        view_.resize(400, 300);
        view_.show();
    }
    void Open(int w, int h) {
        const QString path = dir_.filePath(QStringLiteral("img_%1x%2.png").arg(w).arg(h));
        ASSERT_TRUE(PatternImage(w, h).save(path));
        ASSERT_TRUE(doc_.Open(path));
    }
    void SetOutput(int w, int h, int algorithm, int correction = 2) {
        settings_.EditResize([&](ResizeSettings& r) { r.width = w; });
        settings_.EditResize([&](ResizeSettings& r) { r.height = h; });
        settings_.EditResize([&](ResizeSettings& r) { r.algorithm = ResizeAlgorithm(algorithm); });
        settings_.EditResize([&](ResizeSettings& r) { r.correction = correction; });
        doc_.SettingsChanged();
    }
    QImage Shot() {
        return view_.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir dir_;
    SettingsModel settings_;
    CORMensuraDoc doc_{settings_};
    CORMensuraView view_;
};

}  // namespace orm::test
