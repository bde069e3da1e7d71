#include "ui/browse_wnd.h"

#include "browser/thumbs_browser.h"
#include "files/file_actions.h"
#include "files/folder_monitor.h"
#include "imageio/native_path.h"
#include "settings/settings_model.h"
#include "settings/settings_store.h"
#include "ui/shell_tree.h"
#include "ui/thumbs_view.h"

#include <QDir>
#include <QHBoxLayout>
#include <QSplitter>
#include <QStandardPaths>

namespace orm {

CBrowseWnd::CBrowseWnd(CThumbsBuilderThreads& builder, SettingsModel& settings,
                       SettingsStore* store, QWidget* parent)
    : QWidget(parent), builder_(builder), settings_(settings), store_(store) {
    fileActions_ = std::make_unique<CFileActions>();
    monitor_ = std::make_unique<CFolderMonitor>();
    browser_ = std::make_unique<CImgThumbsBrowser>(builder_, settings_);
    browser_->SetFolderWatch(monitor_.get());
    browser_->SetFileActions(fileActions_.get());
    // The monitor points the browser at a folder: at once when a folder is picked, and again
    // when the folder changes on disk.
    connect(monitor_.get(), &CFolderMonitor::readFolderRequested, this,
            [this](const QString& folder) {
                browser_->SetLocation(folder);
                browser_->ReadFolder();
            });
    connect(monitor_.get(), &CFolderMonitor::refreshRequested, this,
            [this] { browser_->QuietRefresh(); });
    connect(monitor_.get(), &CFolderMonitor::folderVanished, this,
            [this] { browser_->ReadFolder(); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setChildrenCollapsible(false);
    layout->addWidget(splitter_);

    tree_ = new gui::CShellTree(splitter_);
    tree_->setMinimumWidth(40);
    tree_->SetFolderMonitor(monitor_.get());
    tree_->SetThumbnailCache(&builder_.cache());
    tree_->SetPrompt(&settings_.Prompt());
    connect(tree_, &gui::CShellTree::folderSelected, this, &CBrowseWnd::ShowFolder);
    view_ = new CThumbsView(splitter_);
    splitter_->addWidget(tree_);
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
    if (store_)
        tree_->SaveSelection(*store_);
    tree_->SetFolderMonitor(nullptr);
    view_->SetBrowser(nullptr);
    browser_.reset();
    monitor_.reset();
}

int CBrowseWnd::LeftWidth() const {
    return splitter_->sizes().value(0, kDefaultLeftWidth);
}

void CBrowseWnd::StoreLeftWidth() {
    if (!placed_)
        return;  // never shown: the splitter holds no width of the user's
    BrowserSettings browser = settings_.Browser();
    browser.leftWidth = LeftWidth();
    settings_.SetBrowser(browser);
    if (store_) {
        store_->Save(settings_.Browser());
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

QString CBrowseWnd::StartFolder() {
    if (store_)
        return tree_->SelectStartFolder(*store_, settings_.Browser().defaultFolder);
    const QString configured = settings_.Browser().defaultFolder;
    if (!configured.isEmpty() && IsFolder(configured))
        return configured;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && IsFolder(pictures))
        return pictures;
    return QDir::homePath();
}

void CBrowseWnd::ShowFolder(const QString& folder) {
    if (tree_->SelectedPath() != folder)
        tree_->SelectPath(folder);
    monitor_->SetFolder(folder);
}

}  // namespace orm
