// The main frame's batch mode: the batch row under the preview, the batch toolbar, running the
// batch through its two dialogs, batch files, the icon size and several files at once.

#include "ui/main_frame.h"

#include "batch/batch_runner.h"
#include "document/cormensura_doc.h"
#include "files/file_actions.h"
#include "frame/toolbar_sets.h"
#include "settings/storage_folder.h"
#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/thumbs_builder_threads.h"
#include "ui/basket_browser.h"
#include "ui/batch_dlg.h"
#include "ui/batch_progress.h"
#include "ui/browse_wnd.h"
#include "ui/cormensura_view.h"
#include "ui/gadget_dlg.h"
#include "ui/resize_dlg_bar.h"
#include "ui/thumbs_view.h"

#include <QAction>
#include <QDockWidget>
#include <QEventLoop>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace orm::gui {
namespace {

constexpr int kDefaultBatchRowHeight = 250;
constexpr int kSmallIconsZoom = 66;
constexpr int kLargeIconsZoom = 100;

QIcon ResourceIcon(const char* themeName, const char* fallback) {
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(themeName));
    if (!themed.isNull() && !themed.pixmap(32, 32).isNull())
        return themed;
    return QIcon(QString::fromLatin1(fallback));
}

}  // namespace

void CMainFrame::CreateBatchActions() {
    QAction* browse = MakeAction(kCmdBrowse, QStringLiteral("Bro&wse"));  // B is Batch Mode's
    browse->setIcon(ResourceIcon("folder-open", ":/icons/browse.png"));
    browse->setCheckable(true);
    browse->setStatusTip(QStringLiteral("Pick images for the batch from a folder"));
    connect(browse, &QAction::triggered, this, [this] { SetBrowseMode(!BrowseModeOn()); });

    QAction* done = MakeAction(kCmdDone, QStringLiteral("Done"));
    done->setIcon(ResourceIcon("dialog-ok", ":/icons/done.png"));
    connect(done, &QAction::triggered, this, [this] { SetBrowseMode(false); });

    QAction* remove =
        MakeAction(kCmdRemove, QStringLiteral("&Remove"), QKeySequence(Qt::Key_Delete));
    remove->setIcon(ResourceIcon("list-remove", ":/icons/remove.png"));
    remove->setStatusTip(QStringLiteral("Remove the selected images from the batch"));
    connect(remove, &QAction::triggered, this, &CMainFrame::OnRemoveFromBatch);

    // Run has a shortcut of its own; Enter runs only in the batch row (CreateBasket), so Enter
    // in a field of the panel confirms the field and nothing else.
    QAction* run = MakeAction(kCmdRun, QStringLiteral("&Run"), QKeySequence(Qt::CTRL | Qt::Key_R));
    run->setIcon(ResourceIcon("media-playback-start", ":/icons/run.png"));
    run->setStatusTip(QStringLiteral("Resize every image of the batch"));
    connect(run, &QAction::triggered, this, &CMainFrame::OnRun);

    QAction* view = MakeAction(kCmdViewOptions, QStringLiteral("View"));
    view->setIcon(ResourceIcon("view-grid", ":/icons/view.png"));
    connect(view, &QAction::triggered, this, &CMainFrame::OnViewOptions);

    QAction* load = MakeAction(kCmdLoadBatch, QStringLiteral("&Load..."));
    connect(load, &QAction::triggered, this, &CMainFrame::OnLoadBatch);
    QAction* save = MakeAction(kCmdSaveBatch, QStringLiteral("&Save..."));
    connect(save, &QAction::triggered, this, &CMainFrame::OnSaveBatch);

    QAction* large = MakeAction(kCmdLargeIcons, QStringLiteral("&Large Icons"));
    large->setCheckable(true);
    connect(large, &QAction::triggered, this, [this] { SetIconsZoom(kLargeIconsZoom); });
    QAction* small = MakeAction(kCmdSmallIcons, QStringLiteral("&Small Icons"));
    small->setCheckable(true);
    connect(small, &QAction::triggered, this, [this] { SetIconsZoom(kSmallIconsZoom); });

    QAction* batch = Action(kCmdBatchMode);
    connect(batch, &QAction::triggered, this, [this] { SetBatchMode(!settings_.BatchMode()); });
}

void CMainFrame::CreateBasket() {
    thumbnailCache_ = std::make_unique<ThumbnailCache>();
    thumbnailCache_->Open();  // saved when the frame lets it go, after the builder
    thumbnailBuilder_ = std::make_unique<CThumbsBuilderThreads>(*thumbnailCache_);
    basket_ = std::make_unique<CBasketBrowser>(*thumbnailBuilder_, settings_, batchList_);
    basketFileActions_ = std::make_unique<CFileActions>();
    basket_->SetFileActions(basketFileActions_.get());
    auto* layout = new QVBoxLayout(batchRow_);
    layout->setContentsMargins(0, 0, 0, 0);
    basketView_ = new CThumbsView(batchRow_);
    basketView_->setObjectName(QStringLiteral("basket"));
    layout->addWidget(basketView_);
    basketView_->SetBrowser(basket_.get());
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), basketView_);
        enter->setContext(Qt::WidgetWithChildrenShortcut);
        connect(enter, &QShortcut::activated, this, &CMainFrame::OnRun);
    }
    connect(basket_.get(), &CBasketBrowser::filesOffered, this,
            [this](const QStringList& paths) { AddFilesToBatch(paths); });
    connect(basket_.get(), &CBasketBrowser::removeRequested, this, &CMainFrame::OnRemoveFromBatch);
    connect(basket_.get(), &CBasketBrowser::entryActivated, this, &CMainFrame::ActivateBatchEntry);
    connect(basket_.get(), &CThumbsBrowser::selectionChanged, this,
            &CMainFrame::UpdateCommandStates);
    connect(this, &CMainFrame::batchListChanged, basket_.get(), &CBasketBrowser::ReloadList);
    connect(this, &CMainFrame::iconsZoomChanged, basket_.get(), [this] { basket_->ZoomChanged(); });
    // The browse window: the folder tree and the thumbnails of a folder over the preview.
    browseFactory_ = [this](CMainFrame*) -> QWidget* {
        auto* window = new CBrowseWnd(*thumbnailBuilder_, settings_, store_);
        window->setObjectName(QStringLiteral("browseWindow"));
        window->ShowFolder(window->StartFolder());
        connect(this, &CMainFrame::iconsZoomChanged, window,
                [window] { window->Browser().ZoomChanged(); });
        // A double-click (or Enter) on pictures of the folder puts them in the batch.
        connect(&window->Browser(), &CThumbsBrowser::itemsActivated, this,
                [this](const QStringList& paths) { AddFilesToBatch(paths); });
        return window;
    };
}

void CMainFrame::ActivateBatchEntry(int index) {
    if (index < 0 || index >= batchList_.count())
        return;
    OpenEntry(batchList_.at(index));
}

void CMainFrame::OpenEntry(const BatchEntry& entry) {
    // The browse window covers the preview: the entry's settings are taken at once, its image is
    // decoded only when the preview shows again.
    if (BrowseModeOn()) {
        pendingEntry_ = entry;
        if (entry.width > 0 && entry.height > 0)
            settings_.EditResize(
                [&](ResizeSettings& s) { static_cast<ResizeTarget&>(s) = entry.Target(); });
        return;
    }
    pendingEntry_.reset();
    if (!doc_->Open(entry.path))
        return;
    // The document keeps the entry's own settings, just copied; an entry without a size yet
    // leaves the current settings as they are.
    if (entry.width > 0 && entry.height > 0)
        settings_.EditResize(
            [&](ResizeSettings& s) { static_cast<ResizeTarget&>(s) = entry.Target(); });
    UpdateTitle();
    UpdateCommandStates();
}

void CMainFrame::InstallToolbarSet(const ToolbarSet& set) {
    toolbar_->clear();
    const QStringList labels = LabelsOf(set);
    int label = 0;
    for (int id : set.commands) {
        if (id == 0) {
            toolbar_->addSeparator();
            continue;
        }
        QAction* action = Action(id);
        // The button shows the action's icon text: the label of the set.
        action->setIconText(labels.value(label).trimmed());
        action->setToolTip(action->text()
                               .section(QLatin1Char('\t'), 0, 0)
                               .remove(QLatin1Char('&'))
                               .remove(QStringLiteral("...")));
        toolbar_->addAction(action);
        if (QWidget* button = toolbar_->widgetForAction(action))
            button->setMinimumSize(40, 39);
        ++label;
    }
}

// ---- Modes ------------------------------------------------------------------------------------

void CMainFrame::SetBatchMode(bool on) {
    if (on == settings_.BatchMode())
        return;
    if (!on) {
        StoreBatchRowHeight();
        SetBrowseMode(false);
        settings_.SetBatchMode(false);
        batchRow_->hide();
        InstallToolbarSet(SingleImageToolbarSet());
    } else {
        settings_.SetBatchMode(true);
        batchRow_->show();
        RestoreBatchRow();
        InstallToolbarSet(BatchToolbarSet());
    }
    UpdateTitle();
    UpdateCommandStates();
}

void CMainFrame::StoreBatchRowHeight() {
    if (!store_ || !settings_.BatchMode() || !batchRow_->isVisible())
        return;
    frameSettings_.batchRowHeight = splitter_->sizes().value(0);
    store_->Save(frameSettings_);
}

void CMainFrame::RestoreBatchRow() {
    const int total = splitter_->height();
    const int stored = frameSettings_.batchRowHeight;
    const int upper = stored < 0 ? total - kDefaultBatchRowHeight : std::min(stored, total);
    splitter_->setSizes({std::max(0, upper), std::max(0, total - upper)});
}

bool CMainFrame::BrowseModeOn() const {
    return browseWindow_ != nullptr;
}

void CMainFrame::SetBrowseMode(bool on) {
    if (on == BrowseModeOn() || (on && (!settings_.BatchMode() || !browseFactory_)))
        return;
    if (on) {
        browseWindow_ = browseFactory_(this);
        // The browse window takes the preview's place; the panel makes room for it.
        view_->hide();
        splitter_->insertWidget(0, browseWindow_);
        browseWindow_->show();
        panelWasShown_ = dock_->isVisible();
        dock_->hide();
        // The preview's zoom and comparison have nothing to act on while it is covered.
        if (auto* zoom = findChild<QToolBar*>(QStringLiteral("zoomToolbar")))
            zoom->setEnabled(false);
        InstallToolbarSet(BrowseToolbarSet());
    } else {
        browseWindow_->hide();
        // Deleted once the command that closes it has returned (it may come from inside it).
        retiredBrowseWindow_ = browseWindow_;
        browseWindow_->deleteLater();
        browseWindow_ = nullptr;
        view_->show();
        if (auto* zoom = findChild<QToolBar*>(QStringLiteral("zoomToolbar")))
            zoom->setEnabled(true);
        InstallToolbarSet(settings_.BatchMode() ? BatchToolbarSet() : SingleImageToolbarSet());
        if (panelWasShown_)
            dock_->show();
        panelWasShown_ = false;
        if (pendingEntry_)
            OpenEntry(*pendingEntry_);
    }
    UpdateTitle();
    UpdateCommandStates();
}

// ---- Batch list ---------------------------------------------------------------------------------

void CMainFrame::AddFilesToBatch(const QStringList& paths) {
    const ResizeSettings& s = settings_.Resize();
    batchList_.AddFiles(paths, s, s.applyToAll != 0, settings_.Prompt());
    emit batchListChanged();
    UpdateCommandStates();
}

void CMainFrame::OpenCommandLineFiles(const QStringList& paths) {
    if (paths.size() < 2)
        return;
    const ResizeSettings& s = settings_.Resize();
    batchList_.ReplaceWithPaths(paths, s, s.applyToAll != 0);
    emit batchListChanged();
    if (!settings_.BatchMode() && !batchList_.empty())
        SetBatchMode(true);
    UpdateCommandStates();
    // The batch row takes the keys: Enter runs the batch the program was started with.
    if (basketView_ && !batchList_.empty())
        basketView_->setFocus();
}

void CMainFrame::OnRemoveFromBatch() {
    if (batchList_.RemoveSelected() > 0)
        emit batchListChanged();
    UpdateCommandStates();
}

void CMainFrame::OnApplyToAll() {
    if (!settings_.BatchMode())
        return;
    batchList_.ApplyToAll(settings_.Resize());
    emit batchListChanged();
}

void CMainFrame::ApplySettingsToSelectedEntries() {
    if (!settings_.BatchMode() || batchList_.SelectedCount() == 0)
        return;
    batchList_.ApplyToSelected(settings_.Resize());
    emit batchListChanged();
}

bool CMainFrame::CanRun() const {
    return settings_.BatchMode() && !BrowseModeOn() && !batchList_.empty() && !batchRunning_;
}

bool CMainFrame::ConfirmReplacingOriginals(BatchRunOptions& options) {
    const int count = OutputsReplacingTheirInputs(batchList_.entries(), options);
    if (count == 0)
        return true;
    enum { kReplace, kNewNames, kCancel };
    const int answer = settings_.Prompt().AskChoice(
        ReplaceOriginalsQuestion(count),
        {QStringLiteral("Replace them"), QStringLiteral("Save with new names"),
         QStringLiteral("Cancel")},
        kNewNames);
    if (answer == kNewNames)
        options.settings.newName = 1;  // this run only
    return answer == kReplace || answer == kNewNames;
}

void CMainFrame::OnRun() {
    if (!CanRun())
        return;
    BatchSettings batch = settings_.Batch();
    if (!RunBatchSettingsDialog(batch, settings_.Prompt(), this))
        return;
    settings_.SetBatch(batch);
    // The batch's quality is the one the Save dialog shows too.
    settings_.EditResize([&](ResizeSettings& r) { r.jpegQuality = batch.jpegQuality; });
    BatchRunOptions options;
    options.settings = batch;
    options.noEnlarge = settings_.Resize().noEnlarge != 0;
    if (!ConfirmReplacingOriginals(options))
        return;
    CBatchProgress progress(batchList_.entries(), options, settings_.Prompt(), this);
    batchRunning_ = true;
    runningProgress_ = &progress;
    UpdateCommandStates();
    ShowWhileWindowWaits(progress);
    runningProgress_ = nullptr;
    batchRunning_ = false;
    UpdateCommandStates();
    const BatchRunSummary& done = progress.Summary();
    statusBar()->showMessage(RunSummaryText(done), 8000);
    if (progress.QuitRequested())
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CMainFrame::ShowWhileWindowWaits(QDialog& dialog) {
    // As a modal dialog would, the window's menus, bars, lists and preview take no input while
    // the dialog is up; unlike one, the window's close button still reaches closeEvent, which
    // asks before stopping the run.
    QList<QWidget*> parts;
    for (QToolBar* bar : findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) parts << bar;
    parts << menuBar() << centralWidget() << dock_;
    QList<QPointer<QWidget>> disabled;
    for (QWidget* part : parts)
        if (part && part->isEnabled()) {
            part->setEnabled(false);
            disabled << part;
        }
    dialog.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.show();
    dialog.activateWindow();
    if (dialog.isVisible())
        loop.exec(QEventLoop::DialogExec);
    for (const QPointer<QWidget>& part : disabled)
        if (part)
            part->setEnabled(true);
}

void CMainFrame::OnLoadBatch() {
    CGadgetDlg dialog(settings_.Prompt(), QStringLiteral("Load batch"),
                      QString::fromLatin1(kBatchesSubfolder), QStringLiteral("mnb"),
                      /*mustExist=*/true, {}, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const BatchFileResult result = batchList_.Load(dialog.path());
    if (!result.ok()) {
        settings_.Prompt().Warning(result.message);
        return;
    }
    emit batchListChanged();
    if (!settings_.BatchMode() && !batchList_.empty())
        SetBatchMode(true);
    UpdateCommandStates();
    // The batch row takes the keys: Enter runs the batch the program was started with.
    if (basketView_ && !batchList_.empty())
        basketView_->setFocus();
}

void CMainFrame::OnSaveBatch() {
    if (!settings_.BatchMode() || batchList_.empty())
        return;
    CGadgetDlg dialog(settings_.Prompt(), QStringLiteral("Save batch"),
                      QString::fromLatin1(kBatchesSubfolder), QStringLiteral("mnb"),
                      /*mustExist=*/false, {}, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const BatchFileResult result = batchList_.Save(dialog.path());
    if (!result.ok())
        settings_.Prompt().Warning(result.message);
}

void CMainFrame::OnViewOptions() {
    QMenu menu(this);
    menu.addAction(Action(kCmdLargeIcons));
    menu.addAction(Action(kCmdSmallIcons));
    UpdateCommandStates();
    menu.exec(QCursor::pos());
}

void CMainFrame::SetIconsZoom(int zoom) {
    BrowserSettings browser = settings_.Browser();
    if ((zoom == kSmallIconsZoom) == (browser.iconsZoom == kSmallIconsZoom))
        return;  // "Small Icons" at 66 (or "Large Icons" at 100) does nothing
    const int oldCellHeight = basket_->CellSize().height();
    browser.iconsZoom = zoom;
    settings_.SetBrowser(browser);
    emit iconsZoomChanged(zoom);
    // The batch row grows or shrinks with its cells, so one row of them still fits it exactly.
    if (batchRow_->isVisible()) {
        const QList<int> sizes = splitter_->sizes();  // the preview above, the row below
        const int delta =
            std::min(basket_->CellSize().height() - oldCellHeight, std::max(0, sizes.value(0) - 1));
        splitter_->setSizes({sizes.value(0) - delta, sizes.value(1) + delta});
    }
    UpdateCommandStates();
}

void CMainFrame::UpdateBatchCommandStates() {
    const bool batch = settings_.BatchMode();
    Action(kCmdBatchMode)->setEnabled(!batchRunning_);
    Action(kCmdBatchMode)->setChecked(batch);
    Action(kCmdBrowse)->setEnabled(batch && browseFactory_ != nullptr);
    Action(kCmdBrowse)->setChecked(BrowseModeOn());
    Action(kCmdRun)->setEnabled(CanRun());
    Action(kCmdSaveBatch)->setEnabled(batch && !batchList_.empty());
    Action(kCmdRemove)->setEnabled(batch && batchList_.SelectedCount() > 0);
    const bool small = settings_.Browser().iconsZoom == kSmallIconsZoom;
    Action(kCmdSmallIcons)->setChecked(small);
    Action(kCmdLargeIcons)->setChecked(!small);
    // While browsing the browse window takes the room of the panel.
    Action(kCmdResizeSettingsBar)->setEnabled(!BrowseModeOn());
}

}  // namespace orm::gui
