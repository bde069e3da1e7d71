#include "browser_fixture.h"

#include "thumbnail_test_support.h"

#include <QDir>
#include <QFile>

namespace orm::test {

void BrowserFixture::SetUp() {
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir().mkpath(Folder()));
    cache = std::make_unique<ThumbnailCache>(dir.filePath(QStringLiteral("cache")));
    cache->Open(dir.filePath(QStringLiteral("ORIMGBRW_SMRMB")));
    MakeBuilder();
}

void BrowserFixture::TearDown() {
    builder.reset();
    cache.reset();
}

void BrowserFixture::MakeBuilder(int workers) {
    builder.reset();
    ThumbsBuilderOptions options;
    options.stage1Workers = workers;
    options.stage2Workers = workers;
    options.settle.interval = std::chrono::milliseconds(20);
    builder = std::make_unique<CThumbsBuilderThreads>(*cache, options);
}

std::unique_ptr<CImgThumbsBrowser> BrowserFixture::MakeBrowser() {
    auto browser = std::make_unique<CImgThumbsBrowser>(*builder, settings);
    host.browser = browser.get();
    browser->SetLocation(Folder());
    browser->SetHost(&host);
    return browser;
}

QString BrowserFixture::WriteBytes(const QString& name, int bytes) {
    QFile file(PathOf(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    file.write(QByteArray(bytes, 'x'));
    return file.fileName();
}

QString BrowserFixture::WritePng(const QString& name, int width, int height) {
    WriteImage(PathOf(name), TestPattern(width, height));
    return PathOf(name);
}

QStringList Names(const CThumbsBrowser& browser) {
    QStringList names;
    for (int i = 0; i < browser.Count(); ++i) names.append(browser.Item(i).FileName());
    return names;
}

std::vector<int> Selected(const CThumbsBrowser& browser) {
    std::vector<int> selected;
    for (int i = 0; i < browser.Count(); ++i)
        if (browser.Item(i).selected)
            selected.push_back(i);
    return selected;
}

}  // namespace orm::test
