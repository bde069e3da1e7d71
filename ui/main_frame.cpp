#include "ui/main_frame.h"

#include "document/cormensura_doc.h"
#include "engine/progress.h"
#include "frame/dropped_files.h"
#include "frame/frame_layout.h"
#include "frame/save_name.h"
#include "frame/toolbar_sets.h"
#include "imageio/image_file_types.h"
#include "imageio/output_formats.h"
#include "settings/prompt.h"
#include "settings/settings_store.h"
#include "ui/cormensura_view.h"
#include "ui/navigator_wnd.h"
#include "ui/preview_view_actions.h"
#include "ui/save_dialog.h"
#include "ui/settings_commands.h"

#include "files/file_actions.h"
#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/thumbs_builder_threads.h"
#include "ui/basket_browser.h"
#include "ui/batch_progress.h"
#include "ui/resize_dlg_bar.h"
#include "ui/thumbs_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

// The toolbar's own icons live in the static library's resources, which need an explicit start.
static void InitGuiResources() {
    Q_INIT_RESOURCE(gui_resources);
}

namespace orm::gui {
namespace {

// The desktop theme's icon when it can be drawn (a theme of SVG icons without the SVG plugin
// cannot), otherwise the program's own.
QIcon ThemeIcon(const char* themeName, const char* fallback) {
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(themeName));
    if (!themed.isNull() && !themed.pixmap(32, 32).isNull())
        return themed;
    return QIcon(QString::fromLatin1(fallback));
}

}  // namespace

CMainFrame::CMainFrame(SettingsModel& settings, SettingsStore* store, QWidget* parent)
    : QMainWindow(parent), settings_(settings), store_(store) {
    setObjectName(QStringLiteral("mainFrame"));
    InitGuiResources();
    setAcceptDrops(true);
    doc_ = new CORMensuraDoc(settings_, this);
    if (store_) {
        recentFiles_ = store_->RecentFiles();
        store_->Load(frameSettings_);
    }

    CreateActions();
    CreateToolBar();
    CreateStatusBar();
    CreateClientArea();
    CreateBasket();
    CreateSettingsPanel();
    CreateMenus();
    RestoreSplitter();

    connect(doc_, &CORMensuraDoc::documentOpened, this, [this] {
        UpdateTitle();
        UpdatePanelFromDocument();
        UpdateCommandStates();
    });
    connect(doc_, &CORMensuraDoc::viewsUpdate, this, &CMainFrame::UpdateCommandStates);
    connect(doc_, &CORMensuraDoc::warningBeep, this, [] { QApplication::beep(); });
    // The document reports; the frame speaks to the user.
    connect(doc_, &CORMensuraDoc::failed, this,
            [this](const QString& message) { settings_.Prompt().Warning(message); });
    connect(doc_, &CORMensuraDoc::stateChanged, this, [this](DocumentState state) {
        if (state == DocumentState::Loading) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            loadingCursor_ = true;
        } else if (loadingCursor_) {
            QGuiApplication::restoreOverrideCursor();
            loadingCursor_ = false;
        }
    });
    // What the document reports without a question goes to the status bar.
    connect(doc_, &CORMensuraDoc::neighboursSkipped, this, [this](const QStringList& names) {
        statusBar()->showMessage(
            QStringLiteral("Skipped (cannot be opened): %1").arg(names.join(QStringLiteral(", "))),
            10000);
    });
    connect(doc_, &CORMensuraDoc::openedDamaged, this, [this](const QString& damage) {
        statusBar()->showMessage(QStringLiteral("This file is damaged; %1").arg(damage), 10000);
    });

    // The status-bar progress shows the document's running job (queued from its worker).
    connect(doc_, &CORMensuraDoc::progressStarted, this,
            [this] { OnFrameCommand(kCmdShowProgress); });
    connect(doc_, &CORMensuraDoc::progressChanged, this,
            [this](int position) { OnFrameCommand(kCmdProgressChanged, position); });
    connect(doc_, &CORMensuraDoc::progressFinished, this,
            [this] { OnFrameCommand(kCmdHideProgress); });
    connect(doc_, &CORMensuraDoc::saveFinished, this, &CMainFrame::OnSaveFinished);
    // Keys go to the preview first: Left and Right step through the folder from there.
    view_->setFocus();
    UpdateTitle();
    UpdatePanelFromDocument();
    UpdateCommandStates();
}

CMainFrame::~CMainFrame() {
    StoreBatchRowHeight();
    SaveFrameState();
    // The views go before the browsers they show, and the browsers before the thumbnail builder.
    delete browseWindow_;
    browseWindow_ = nullptr;
    delete retiredBrowseWindow_.data();  // closed, but no event loop ran since to delete it
    delete basketView_;
    basketView_ = nullptr;
    basket_.reset();
    thumbnailBuilder_.reset();
    thumbnailCache_.reset();
    // The document (a child) stops its worker when it is destroyed with the frame.
}

// ---- Construction -------------------------------------------------------------------------

QAction* CMainFrame::MakeAction(int command, const QString& text, const QKeySequence& shortcut) {
    auto* action = new QAction(text, this);
    action->setData(command);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    actions_.insert(command, action);
    return action;
}

void CMainFrame::CreateActions() {
    QAction* open =
        MakeAction(kCmdOpen, QStringLiteral("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    open->setIcon(ThemeIcon("document-open", ":/icons/open.png"));
    open->setStatusTip(QStringLiteral("Open an existing image"));
    connect(open, &QAction::triggered, this, &CMainFrame::OnOpen);

    QAction* save = MakeAction(kCmdSave, QStringLiteral("Resize and &Save..."),
                               QKeySequence(Qt::CTRL | Qt::Key_S));
    save->setIcon(ThemeIcon("document-save", ":/icons/save.png"));
    save->setStatusTip(QStringLiteral("Resize the image and save it"));
    connect(save, &QAction::triggered, this, &CMainFrame::OnResizeAndSave);

    // Esc stops a running Resize and Save (the existing file stays as it was).
    cancelSave_ = new QAction(QStringLiteral("Cancel"), this);
    cancelSave_->setObjectName(QStringLiteral("cancelSave"));
    cancelSave_->setShortcut(QKeySequence(Qt::Key_Escape));
    cancelSave_->setShortcutContext(Qt::WindowShortcut);
    cancelSave_->setEnabled(false);
    addAction(cancelSave_);
    connect(cancelSave_, &QAction::triggered, this, [this] { doc_->CancelResizeAndSave(); });

    QAction* next = MakeAction(kCmdNext, QStringLiteral("&Next"), QKeySequence(Qt::Key_Right));
    next->setIcon(ThemeIcon("go-next", ":/icons/next.png"));
    // Right serves the preview; Page Down and Alt+Right also work while a text field has focus
    // (where Right moves the text cursor). The menu names all three.
    next->setShortcuts({QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_PageDown),
                        QKeySequence(Qt::ALT | Qt::Key_Right)});
    next->setStatusTip(QStringLiteral("Open the next image of the folder"));
    connect(next, &QAction::triggered, this, &CMainFrame::OnNext);

    QAction* previous =
        MakeAction(kCmdPrevious, QStringLiteral("&Previous"), QKeySequence(Qt::Key_Left));
    previous->setIcon(ThemeIcon("go-previous", ":/icons/previous.png"));
    previous->setShortcuts({QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_PageUp),
                            QKeySequence(Qt::ALT | Qt::Key_Left)});
    previous->setStatusTip(QStringLiteral("Open the previous image of the folder"));
    connect(previous, &QAction::triggered, this, &CMainFrame::OnPrevious);

    QAction* batch = MakeAction(kCmdBatchMode, QStringLiteral("&Batch Mode"));
    batch->setIcon(ThemeIcon("view-list-details", ":/icons/batch.png"));
    batch->setCheckable(true);
    batch->setStatusTip(QStringLiteral("Switch batch mode on or off"));

    CreateBatchActions();

    QAction* saveSettings = MakeAction(kCmdSaveSettings, QStringLiteral("Save se&ttings..."));
    connect(saveSettings, &QAction::triggered, this, &CMainFrame::OnSaveSettings);
    QAction* loadSettings = MakeAction(kCmdLoadSettings, QStringLiteral("&Load settings..."));
    connect(loadSettings, &QAction::triggered, this, &CMainFrame::OnLoadSettings);

    QAction* paste = MakeAction(kCmdPaste, QStringLiteral("&Paste"), QKeySequence::Paste);
    paste->setStatusTip(QStringLiteral("Open the image files copied in a file manager"));
    connect(paste, &QAction::triggered, this, &CMainFrame::OnPaste);

    // Ctrl+Q, as the desktop's programs quit.
    QAction* exit =
        MakeAction(kCmdExit, QStringLiteral("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QAction* help =
        MakeAction(kCmdHelpTopics, QStringLiteral("&Help Topics"), QKeySequence(Qt::Key_F1));
    connect(help, &QAction::triggered, this, &CMainFrame::OnHelpTopics);
    QAction* about = MakeAction(kCmdAbout, QStringLiteral("&About..."));
    connect(about, &QAction::triggered, this, &CMainFrame::OnAbout);

    for (QAction* a : {open, save, next, previous, paste, exit})
        a->setShortcutContext(Qt::WindowShortcut);
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(Action(kCmdOpen));
    file->addAction(Action(kCmdSave));
    file->addSeparator();
    file->addAction(Action(kCmdSaveSettings));
    file->addAction(Action(kCmdLoadSettings));
    file->addSeparator();
    // The menu lists every key of the two steps ("&Next\tRight, PgDown, Alt+Right").
    for (int command : {kCmdPrevious, kCmdNext}) {
        QAction* a = Action(command);
        QStringList keys;
        for (const QKeySequence& k : a->shortcuts()) keys << k.toString(QKeySequence::NativeText);
        a->setText(a->text().section(QLatin1Char('\t'), 0, 0) + QLatin1Char('\t') +
                   keys.join(QStringLiteral(", ")));
        file->addAction(a);
    }
    recentSeparator_ = file->addSeparator();
    for (int i = 0; i < kRecentFileCount; ++i) {
        QAction* a = MakeAction(kCmdRecentFirst + i, QString());
        connect(a, &QAction::triggered, this, [this, i] {
            if (i < recentFiles_.size())
                OpenDocumentFile(recentFiles_[i]);
        });
        file->addAction(a);
        recentActions_.append(a);
    }
    file->addSeparator();
    file->addAction(Action(kCmdExit));
    recentMenu_ = file;
    connect(file, &QMenu::aboutToShow, this, [this] {
        UpdateCommandStates();
        // Looks at the settings folder, so only when the menu opens.
        Action(kCmdLoadSettings)->setEnabled(CanLoadSettings());
    });
    UpdateRecentMenu();

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addAction(Action(kCmdPaste));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* toolbar = toolbar_->toggleViewAction();
    toolbar->setText(QStringLiteral("&Toolbar"));
    actions_.insert(kCmdToolbar, toolbar);
    view->addAction(toolbar);
    QAction* status = MakeAction(kCmdStatusBar, QStringLiteral("&Status Bar"));
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, statusBar(), &QWidget::setVisible);
    view->addAction(status);
    QAction* panel = dock_->toggleViewAction();
    panel->setText(QStringLiteral("&Resize Settings"));
    panel->setStatusTip(QStringLiteral("Show or hide Resize options"));
    actions_.insert(kCmdResizeSettingsBar, panel);
    view->addAction(panel);
    view->addSeparator();
    view->addAction(Action(kCmdBatchMode));
    view->addSeparator();
    view->addAction(Action(kCmdLargeIcons));
    view->addAction(Action(kCmdSmallIcons));
    view->addSeparator();
    (new PreviewViewActions(view_, this))->Install(view);

    QMenu* batch = menuBar()->addMenu(QStringLiteral("&Batch"));
    batch->addAction(Action(kCmdBatchMode));
    batch->addAction(Action(kCmdBrowse));
    batch->addAction(Action(kCmdRun));
    batch->addAction(Action(kCmdRemove));
    batch->addSeparator();
    batch->addAction(Action(kCmdLoadBatch));
    batch->addAction(Action(kCmdSaveBatch));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(Action(kCmdHelpTopics));
    help->addSeparator();
    help->addAction(Action(kCmdAbout));
}

void CMainFrame::CreateToolBar() {
    toolbar_ = addToolBar(QStringLiteral("Toolbar"));
    toolbar_->setObjectName(QStringLiteral("toolbar"));
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    InstallToolbarSet(SingleImageToolbarSet());
}

void CMainFrame::CreateStatusBar() {
    statusBar()->showMessage(QStringLiteral("Ready"));
    progress_ = new QProgressBar(statusBar());
    progress_->setObjectName(QStringLiteral("statusProgress"));
    progress_->setRange(0, kProgressMaximum);
    progress_->setTextVisible(false);
    progress_->hide();
    statusBar()->installEventFilter(this);
}

void CMainFrame::CreateClientArea() {
    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setObjectName(QStringLiteral("splitter"));
    view_ = new CORMensuraView(splitter_);
    view_->setObjectName(QStringLiteral("preview"));
    view_->SetDocument(doc_);
    batchRow_ = new QWidget(splitter_);
    batchRow_->setObjectName(QStringLiteral("batchRow"));
    batchRow_->hide();  // the batch list's row, shown in batch mode
    splitter_->addWidget(view_);
    splitter_->addWidget(batchRow_);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    setCentralWidget(splitter_);
    navigator_ = new CNavigatorWnd;
    navigator_->SetView(view_);
}

void CMainFrame::CreateSettingsPanel() {
    dock_ = new QDockWidget(QStringLiteral("Resize settings"), this);
    dock_->setObjectName(QStringLiteral("resizeSettingsDock"));
    dock_->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    dock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    auto* panel = new CResizeDlgBar(settings_, dock_);
    panel->SetNavigator(navigator_);
    connect(panel, &CResizeDlgBar::settingsChanged, this, &CMainFrame::OnSettingsChanged);
    connect(panel, &CResizeDlgBar::applyToAllRequested, this, &CMainFrame::OnApplyToAll);
    panel_ = panel;
    panel_->setObjectName(QStringLiteral("resizeSettingsPanel"));
    // The panel is taller than a small screen leaves for it: it scrolls instead of being cut off.
    auto* scroll = new QScrollArea(dock_);
    scroll->setObjectName(QStringLiteral("resizeSettingsScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setWidget(panel_);
    scroll->setMinimumWidth(panel_->sizeHint().width() +
                            scroll->verticalScrollBar()->sizeHint().width());
    dock_->setWidget(scroll);
    addDockWidget(Qt::RightDockWidgetArea, dock_);
}

void CMainFrame::RestoreSplitter() {
    if (!store_)
        return;
    const auto panes = ParsePanes(frameSettings_.panes);
    if (panes && panes->first > 0)
        splitter_->setSizes({panes->first, std::max(0, panes->second)});
}

void CMainFrame::SaveFrameState() {
    if (!store_ || stateSaved_)
        return;
    stateSaved_ = true;
    const QList<int> sizes = splitter_->sizes();
    frameSettings_.panes = FormatPanes(PaneSizes{sizes.value(0), -1, sizes.value(1), -1});
    store_->Save(frameSettings_);
    store_->SetRecentFiles(recentFiles_);
}

// ---- State shown ---------------------------------------------------------------------------

void CMainFrame::UpdateTitle() {
    setWindowTitle(FrameTitle(doc_->HasSource() ? doc_->CurrentPath() : QString()));
}

void CMainFrame::UpdatePanelFromDocument() {
    const QString path = doc_->HasSource() ? doc_->CurrentPath() : QString();
    panel_->UpdateFromDocument(doc_->SourceInfo(), path,
                               path.isEmpty() ? 0 : QFileInfo(path).size());
    navigator_->SetDocument();
}

void CMainFrame::UpdateCommandStates() {
    Action(kCmdSave)->setEnabled(doc_->CanResizeAndSave() && !doc_->SaveRunning());
    cancelSave_->setEnabled(doc_->SaveRunning());
    Action(kCmdNext)->setEnabled(doc_->CanLoadNeighbour());
    Action(kCmdPrevious)->setEnabled(doc_->CanLoadNeighbour());
    UpdateBatchCommandStates();
}

void CMainFrame::UpdateRecentMenu() {
    for (int i = 0; i < recentActions_.size(); ++i) {
        QAction* a = recentActions_[i];
        if (i < recentFiles_.size()) {
            a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(recentFiles_[i]));
            a->setVisible(true);
        } else {
            a->setVisible(false);
        }
    }
    if (recentSeparator_)
        recentSeparator_->setVisible(!recentFiles_.isEmpty());
}

void CMainFrame::AddRecentFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    recentFiles_.removeIf(
        [&](const QString& p) { return p.compare(absolute, Qt::CaseSensitive) == 0; });
    recentFiles_.prepend(absolute);
    while (recentFiles_.size() > kRecentFileCount) recentFiles_.removeLast();
    UpdateRecentMenu();
}

// ---- Progress --------------------------------------------------------------------------------

void CMainFrame::PlaceProgressBar() {
    progress_->setGeometry(ProgressBarGeometry(statusBar()->rect()));
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == statusBar() && event->type() == QEvent::Resize && progress_->isVisible())
        PlaceProgressBar();
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::OnFrameCommand(int command, int position) {
    switch (command) {
        case kCmdShowProgress:
            PlaceProgressBar();
            progress_->setRange(0, kProgressMaximum);
            progress_->setValue(0);
            progress_->show();
            progress_->raise();
            break;
        case kCmdProgressChanged:
            progress_->setValue(std::clamp(position, 0, kProgressMaximum));
            break;
        case kCmdHideProgress:
            progress_->hide();
            break;
        case kCmdPreviewReady:
            doc_->RefreshViews();
            break;
        default:
            break;
    }
}

// ---- Commands ------------------------------------------------------------------------------

bool CMainFrame::OpenDocumentFile(const QString& path) {
    const bool ok = doc_->Open(path);
    if (ok) {
        AddRecentFile(path);
    } else if (recentFiles_.removeAll(QFileInfo(path).absoluteFilePath()) > 0) {
        UpdateRecentMenu();
    }
    UpdateTitle();
    UpdateCommandStates();
    return ok;
}

void CMainFrame::OpenFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    // One file opens as the document; several (or any in batch mode) join the batch list.
    if (paths.size() == 1 && !settings_.BatchMode()) {
        OpenDocumentFile(paths.first());
        return;
    }
    AddFilesToBatch(paths);
    if (!settings_.BatchMode() && !batchList_.empty())
        SetBatchMode(true);
}

void CMainFrame::OpenHandedFiles(const QStringList& paths) {
    // A batch run or a question in progress: the batch list stays as it is until it closes.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(300, this, [this, paths] { OpenHandedFiles(paths); });
        return;
    }
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    OpenFiles(paths);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedImageFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QStringList files = DroppedImageFiles(event->mimeData());
    if (files.isEmpty())
        return;
    // The files stay where they are: the drop only names them. They are opened once the drag
    // has ended, so a message about a file does not hold the file manager's drag.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    QMetaObject::invokeMethod(
        this, [this, files] { OpenFiles(files); }, Qt::QueuedConnection);
}

void CMainFrame::OnPaste() {
    const QStringList files = DroppedImageFiles(QGuiApplication::clipboard()->mimeData());
    if (files.isEmpty())
        statusBar()->showMessage(QStringLiteral("The clipboard holds no image files."), 5000);
    else
        OpenFiles(files);
}

void CMainFrame::OnOpen() {
    // The open image's folder, else the last one an image was opened from.
    const QString last = !doc_->CurrentPath().isEmpty() ? doc_->CurrentPath()
                         : recentFiles_.isEmpty()       ? QString()
                                                        : recentFiles_.first();
    const QString folder = last.isEmpty() ? QString() : QFileInfo(last).absolutePath();
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open"), folder, OpenDialogFilter());
    if (!path.isEmpty())
        OpenDocumentFile(path);
}

QString CMainFrame::AskSavePath() {
    const QString current = doc_->CurrentPath();
    const ResizeSettings& s = settings_.Resize();
    CSaveAsDialog dialog(this, current.isEmpty() ? QString() : QFileInfo(current).absolutePath(),
                         SuggestedSavePath(current, s.width, s.height, frameSettings_.saveFolder),
                         s.jpegQuality);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    // MAIN/JPEGQUALITY, used by this save and kept.
    // One JPEG quality for the window's saves and the batch (MAIN/ and BATCH/JPEGQUALITY).
    settings_.EditResize([&](ResizeSettings& r) { r.jpegQuality = dialog.Quality(); });
    BatchSettings batch = settings_.Batch();
    batch.jpegQuality = dialog.Quality();
    settings_.SetBatch(batch);
    return dialog.selectedFiles().first();
}

void CMainFrame::OnResizeAndSave() {
    if (!doc_->CanResizeAndSave())
        return;
    const QString path = AskSavePath();
    if (path.isEmpty())
        return;
    if (!OutputFormatForPath(path)) {
        // The writers know only these types; say so rather than return without a word.
        settings_.Prompt().Warning(
            QStringLiteral("Can't save file %1.\nUse one of the extensions %2.")
                .arg(path, WrittenExtensionList()));
        return;
    }
    if (!doc_->StartResizeAndSave(path))
        return;
    // The work runs on a worker: the window answers, the status bar shows the progress.
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    statusBar()->showMessage(QStringLiteral("Resizing and saving %1 ... (Esc cancels)").arg(path));
    UpdateCommandStates();
}

void CMainFrame::OnSaveFinished(bool written, const QString& path, bool cancelled) {
    QGuiApplication::restoreOverrideCursor();
    if (written) {
        frameSettings_.saveFolder = QFileInfo(path).absolutePath();
        statusBar()->showMessage(QStringLiteral("Saved %1").arg(path), 5000);
    } else if (cancelled) {
        statusBar()->showMessage(QStringLiteral("Cancelled: %1 was not written").arg(path), 5000);
    } else {
        statusBar()->clearMessage();
    }
    UpdateCommandStates();
}

void CMainFrame::OnNext() {
    if (doc_->CanLoadNeighbour() && doc_->LoadNeighbour(StepDirection::Next))
        AddRecentFile(doc_->CurrentPath());
    UpdateTitle();
    UpdateCommandStates();
}

void CMainFrame::OnPrevious() {
    if (doc_->CanLoadNeighbour() && doc_->LoadNeighbour(StepDirection::Previous))
        AddRecentFile(doc_->CurrentPath());
    UpdateTitle();
    UpdateCommandStates();
}

void CMainFrame::OnSaveSettings() {
    RunSaveSettingsCommand(settings_.Resize(), settings_.Prompt(), this);
}

void CMainFrame::OnLoadSettings() {
    ResizeSettings loaded = settings_.Resize();
    if (!RunLoadSettingsCommand(loaded, settings_.Prompt(), this))
        return;
    settings_.SetResize(loaded);  // the panel and the views follow the model
    UpdateCommandStates();
}

void CMainFrame::OnSettingsChanged() {
    // An edit in the panel (the model has it, and the document follows it): the selected batch
    // entries take it too.
    ApplySettingsToSelectedEntries();
    UpdateCommandStates();
}

void CMainFrame::OnHelpTopics() {
    const QString help = HelpFilePath(QCoreApplication::applicationFilePath());
    if (!QFileInfo::exists(help)) {
        settings_.Prompt().Warning(QStringLiteral("Can't open the help file %1.").arg(help));
        return;
    }
    if (urlOpener_(QUrl::fromLocalFile(help)))
        return;
    // No browser to hand the page to (no URL launcher installed): show it in a window of our own.
    if (!helpWindow_) {
        helpWindow_ = new QTextBrowser(this);
        helpWindow_->setWindowFlag(Qt::Window);
        helpWindow_->setObjectName(QStringLiteral("helpWindow"));
        helpWindow_->setWindowTitle(QStringLiteral("ORVEN Mensura Help"));
        helpWindow_->setOpenExternalLinks(true);
        helpWindow_->resize(720, 640);
        // A window of its own closes with the keys people expect of one.
        for (const QKeySequence& keys :
             {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
            auto* close = new QShortcut(keys, helpWindow_);
            connect(close, &QShortcut::activated, helpWindow_, &QWidget::close);
        }
    }
    helpWindow_->setSource(QUrl::fromLocalFile(help));
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
}

void CMainFrame::OnAbout() {
    QDialog box(this);
    box.setWindowTitle(QStringLiteral("About ORVEN Mensura"));
    auto* layout = new QVBoxLayout(&box);
    auto* text = new QLabel(AboutVersionText(QCoreApplication::applicationVersion()), &box);
    text->setObjectName(QStringLiteral("aboutVersion"));
    layout->addWidget(text);
    layout->addWidget(
        new QLabel(QStringLiteral("Image resizer for Linux, by ORVEN Imaging."), &box));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);
    box.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A save in progress is not dropped unasked: Wait keeps the window (and the save) going;
    // Stop and quit cancels it, and the file it would replace stays as it was.
    if (doc_->SaveRunning() &&
        settings_.Prompt().AskChoice(QStringLiteral("A save is running."),
                                     {QStringLiteral("Wait"), QStringLiteral("Stop and quit")},
                                     0) != 1) {
        event->ignore();
        return;
    }
    // A running batch is not dropped unasked either; stopping it waits for the file in hand, so
    // no file is left half written.
    if (runningProgress_ && !runningProgress_->AskToStopAndQuit()) {
        event->ignore();
        return;
    }
    StoreBatchRowHeight();
    SaveFrameState();
    QMainWindow::closeEvent(event);
}

}  // namespace orm::gui
