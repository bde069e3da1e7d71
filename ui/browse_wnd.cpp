#include "ui/browse_wnd.h"

#include "browser/thumbs_browser.h"
#include "imageio/native_path.h"
#include "settings/settings_model.h"
#include "settings/settings_store.h"
#include "ui/thumbs_view.h"

#include <QDir>
#include <QHBoxLayout>
#include <QSplitter>
#include <QStandardPaths>

namespace orm {

CBrowseWnd::CBrowseWnd(CThumbsBuilderThreads& builder, SettingsModel& settings,
                       SettingsStore* store, QWidget* parent)
    : QWidget(parent), builder_(builder), settings_(settings), store_(store) {
    browser_ = std::make_unique<CImgThumbsBrowser>(builder_, settings_);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setChildrenCollapsible(false);
    layout->addWidget(splitter_);

    left_ = new QWidget(splitter_);
    left_->setMinimumWidth(40);
    view_ = new CThumbsView(splitter_);
    splitter_->addWidget(left_);
    splitter_->addWidget(view_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    const int stored = settings_.Browser().leftWidth;
    const int width = stored < 0 ? kDefaultLeftWidth : stored;
    splitter_->setSizes({width, std::max(1, this->width() - width)});

    view_->SetBrowser(browser_.get());
}

CBrowseWnd::~CBrowseWnd() {
    // The thumbnails still to be made are for this window only.
    builder_.SetList({});
    StoreLeftWidth();
    view_->SetBrowser(nullptr);
    browser_.reset();
}

int CBrowseWnd::LeftWidth() const {
    return splitter_->sizes().value(0, kDefaultLeftWidth);
}

void CBrowseWnd::StoreLeftWidth() {
    if (!placed_)
        return;  // never shown: the splitter holds no width of the user's
    settings_.Browser().leftWidth = LeftWidth();
    if (store_) {
        store_->WriteInt("SPLITTER", "LEFTWIDTH", settings_.Browser().leftWidth);
        store_->Sync();
    }
}

void CBrowseWnd::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_)
        return;
    placed_ = true;
    const int stored = settings_.Browser().leftWidth;
    const int width = stored < 0 ? kDefaultLeftWidth : stored;
    splitter_->setSizes(
        {width, std::max(1, splitter_->width() - width - splitter_->handleWidth())});
}

QString CBrowseWnd::StartFolder() const {
    const QString configured = settings_.Browser().defaultFolder;
    if (!configured.isEmpty() && IsFolder(configured))
        return configured;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && IsFolder(pictures))
        return pictures;
    return QDir::homePath();
}

void CBrowseWnd::ShowFolder(const QString& folder) {
    browser_->SetLocation(folder);
    browser_->ReadFolder();
}

}  // namespace orm
