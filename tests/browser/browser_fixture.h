#pragma once
// What the browser tests share: a view stand-in that records what the browser asks of it, and a
// fixture with a temporary folder, a thumbnail cache, a builder and the settings.

#include "browser/thumbs_browser.h"
#include "settings/settings_model.h"
#include "thumbnail_test_support.h"

#include <QMimeData>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace orm::test {

// Records the browser's requests; scrolls and sizes like a view of `client` pixels.
class RecordingHost : public IThumbsHost {
  public:
    QSize client{700, 400};
    QPoint scroll;
    QSize content;
    int allInvalidations = 0;
    std::vector<QRect> invalidated;
    std::function<int(const BrowserMenu&)> chooseFromMenu;
    std::vector<BrowserMenu> menus;
    struct Rename {
        int index;
        QRect label;
        QString name;
    };
    std::optional<Rename> rename;
    QStringList infoShown;
    const CThumbsBrowser* browser = nullptr;

    QSize ClientSize() const override { return client; }
    QPoint ScrollPosition() const override { return scroll; }
    void ScrollTo(QPoint p) override {
        const QSize total = browser ? browser->ScrollSize() : content;
        scroll = QPoint(std::clamp(p.x(), 0, std::max(0, total.width() - client.width())),
                        std::clamp(p.y(), 0, std::max(0, total.height() - client.height())));
    }
    void ContentSizeChanged() override {
        if (browser)
            content = browser->ScrollSize();
    }
    void InvalidateAll() override { ++allInvalidations; }
    void InvalidateContent(const QRect& rect) override { invalidated.push_back(rect); }
    void UpdateNow() override {}
    int ExecMenu(const BrowserMenu& menu, QPoint) override {
        menus.push_back(menu);
        return chooseFromMenu ? chooseFromMenu(menu) : 0;
    }
    void BeginRename(int index, const QRect& label, const QString& name) override {
        rename = Rename{index, label, name};
    }
    void ShowImageInfo(const QString& path) override { infoShown.append(path); }
    // A drag: what `dropOn` does with the data (nothing dropped when unset).
    std::function<Qt::DropAction(const QMimeData&)> dropOn;
    int drags = 0;
    QImage dragPicture;
    Qt::DropActions dragAllowed;
    Qt::DropAction ExecDrag(QMimeData* data, Qt::DropActions allowed,
                            const QImage& picture) override {
        ++drags;
        dragAllowed = allowed;
        dragPicture = picture;
        const std::unique_ptr<QMimeData> owned(data);
        return dropOn ? dropOn(*owned) : Qt::IgnoreAction;
    }
};

// Holds the builder inside its first notification, so the queue stands still (test::Listen).
class HoldFirst {
  public:
    void Update(const QString&) {
        std::unique_lock lock(mutex_);
        ++count_;
        changed_.notify_all();
        if (count_ == 1)
            changed_.wait(lock, [&] { return released_; });
    }
    bool WaitFirst() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return count_ >= 1; });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
    bool released_ = false;
};

class BrowserFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A builder with one worker per stage and short looks at files being written.
    void MakeBuilder(int workers = 1);
    // A browser of the folder, shown in `host`.
    std::unique_ptr<CImgThumbsBrowser> MakeBrowser();

    QString Folder() const { return dir.filePath(QStringLiteral("pictures")); }
    QString PathOf(const QString& name) const { return Folder() + QLatin1Char('/') + name; }
    // A file of `bytes` bytes (no image inside; enough for listing and sorting).
    QString WriteBytes(const QString& name, int bytes);
    // A small PNG image.
    QString WritePng(const QString& name, int width = 16, int height = 12);

    QTemporaryDir dir;
    SettingsModel settings;
    std::unique_ptr<ThumbnailCache> cache;
    std::unique_ptr<CThumbsBuilderThreads> builder;
    RecordingHost host;
};

// The names of the browser's items in display order.
QStringList Names(const CThumbsBrowser& browser);
// The indices of the selected items.
std::vector<int> Selected(const CThumbsBrowser& browser);

}  // namespace orm::test
