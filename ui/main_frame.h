#pragma once
// The main window in single-image mode: toolbar, menus, the resize settings panel docked at the
// side, the status bar with its progress bar, and a two-row splitter whose upper row holds the
// preview (the lower row holds the batch list in batch mode).

#include "batch/batch_list.h"
#include "frame/toolbar_sets.h"
#include "settings/settings_model.h"
#include "settings/settings_store.h"

#include <QDesktopServices>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTextBrowser>
#include <QUrl>

#include <functional>
#include <memory>

class QAction;
class QDockWidget;
class QMenu;
class QProgressBar;
class QSplitter;
class QToolBar;

namespace orm {
class CORMensuraDoc;
class CORMensuraView;
class CNavigatorWnd;
class CResizeDlgBar;
class CBatchProgress;
class CBasketBrowser;
class CFileActions;
class CThumbsBuilderThreads;
class CThumbsView;
class ThumbnailCache;
class SettingsStore;
struct BatchRunOptions;
}  // namespace orm

namespace orm::gui {

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    // settings: the program's settings owner; store: where the splitter and the recent-file list
    // are kept (neither owned; the store may be null).
    CMainFrame(SettingsModel& settings, SettingsStore* store, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Opens an image as the document (the command line, Open, the recent files).
    bool OpenDocumentFile(const QString& path);
    // Image files dropped on the window, pasted or named by a file manager: one opens as the
    // document; of several, until the batch list takes them, the first.
    void OpenFiles(const QStringList& paths);
    // Files that another start of the program handed over: as if dropped on the window, which
    // comes to the front. While a dialog is open they wait for it to close.
    void OpenHandedFiles(const QStringList& paths);

    // ---- Batch mode ----------------------------------------------------------------------------
    // Batch mode on or off: the batch row under the preview, the batch toolbar, the panel.
    void SetBatchMode(bool on);
    // Browse mode (only in batch mode): the browse window in the preview's place.
    void SetBrowseMode(bool on);
    bool BrowseModeOn() const;
    // How the browse window is made (the browser installs it); without one Browse is disabled.
    void SetBrowseWindowFactory(std::function<QWidget*(CMainFrame*)> factory) {
        browseFactory_ = std::move(factory);
    }
    QWidget* BrowseWindow() const { return browseWindow_; }
    // Two or more files named at start: they become the batch list and batch mode comes on.
    void OpenCommandLineFiles(const QStringList& paths);
    // Files dropped or pasted in batch mode: added to the batch list (duplicates asked about).
    void AddFilesToBatch(const QStringList& paths);
    BatchList& BatchEntries() { return batchList_; }
    const BatchList& BatchEntries() const { return batchList_; }
    // The row under the preview that holds the batch list's view.
    QWidget* BatchRow() const { return batchRow_; }
    CBasketBrowser* Basket() const { return basket_.get(); }
    CThumbsView* BasketView() const { return basketView_; }
    // An entry of the batch list opens in the preview with its own settings.
    void ActivateBatchEntry(int index);
    // 100 (large) or 66 (small); the other value of the pair does nothing when already set.
    void SetIconsZoom(int zoom);
    bool CanRun() const;
    // A command of a running job (progress with its position, preview ready).
    void OnFrameCommand(int command, int position = 0);

    // Enabling and checking of every command, from the current state.
    void UpdateCommandStates();

    CORMensuraDoc* Document() const { return doc_; }
    SettingsModel& Settings() const { return settings_; }
    CORMensuraView* View() const { return view_; }
    CNavigatorWnd* Navigator() const { return navigator_; }
    CResizeDlgBar* SettingsPanel() const { return panel_; }
    QDockWidget* SettingsDock() const { return dock_; }
    QProgressBar* ProgressBar() const { return progress_; }
    QToolBar* ToolBar() const { return toolbar_; }
    QSplitter* Splitter() const { return splitter_; }
    QAction* Action(int command) const { return actions_.value(command); }
    const QStringList& RecentFiles() const { return recentFiles_; }
    // The folder Resize and Save wrote to last (the save dialog suggests it); empty before any.
    const QString& LastSaveFolder() const { return frameSettings_.saveFolder; }

    // How the help page is handed to the desktop's browser (tests replace it); false when no
    // browser took it.
    void SetUrlOpener(std::function<bool(const QUrl&)> opener) { urlOpener_ = std::move(opener); }
    QTextBrowser* HelpWindow() const { return helpWindow_; }

    // Writes the splitter's pane sizes and the recent-file list into the store.
    void SaveFrameState();

  public slots:
    void OnOpen();
    void OnResizeAndSave();
    void OnNext();
    void OnPrevious();
    void OnSaveSettings();
    void OnLoadSettings();
    void OnPaste();
    void OnHelpTopics();
    void OnAbout();
    // The settings panel changed the resize settings.
    void OnSettingsChanged();
    // A Resize and Save ended (written, cancelled or failed).
    void OnSaveFinished(bool written, const QString& path, bool cancelled);
    void OnRun();
    // Shows the dialog and waits for it to finish, the window taking no input meanwhile.
    void ShowWhileWindowWaits(QDialog& dialog);
    // Outputs that would replace their own inputs are asked about once per run: replace them,
    // save with new names (options changed) or cancel (false).
    bool ConfirmReplacingOriginals(BatchRunOptions& options);
    void OnLoadBatch();
    void OnSaveBatch();
    void OnViewOptions();
    void OnRemoveFromBatch();
    // "Apply to &All" of the panel in batch mode.
    void OnApplyToAll();

  signals:
    // The batch list's entries or their settings changed (its view refreshes).
    void batchListChanged();
    void iconsZoomChanged(int zoom);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QAction* MakeAction(int command, const QString& text, const QKeySequence& shortcut = {});
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateBatchActions();
    void CreateBasket();
    void InstallToolbarSet(const ToolbarSet& set);
    void UpdateBatchCommandStates();
    void StoreBatchRowHeight();
    void RestoreBatchRow();
    // Settings edits in batch mode go to the selected entries as well.
    void ApplySettingsToSelectedEntries();
    void CreateStatusBar();
    void CreateClientArea();
    void CreateSettingsPanel();
    void RestoreSplitter();
    void UpdatePanelFromDocument();
    void UpdateTitle();
    void UpdateRecentMenu();
    void AddRecentFile(const QString& path);
    void PlaceProgressBar();
    QString AskSavePath();

    SettingsModel& settings_;
    SettingsStore* store_;
    CORMensuraDoc* doc_ = nullptr;
    QAction* cancelSave_ = nullptr;
    QTextBrowser* helpWindow_ = nullptr;
    std::function<bool(const QUrl&)> urlOpener_ = [](const QUrl& url) {
        return QDesktopServices::openUrl(url);
    };
    QSplitter* splitter_ = nullptr;
    CORMensuraView* view_ = nullptr;
    QWidget* batchRow_ = nullptr;
    CNavigatorWnd* navigator_ = nullptr;
    CResizeDlgBar* panel_ = nullptr;
    QDockWidget* dock_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QList<QAction*> recentActions_;
    QAction* recentSeparator_ = nullptr;
    QHash<int, QAction*> actions_;
    QStringList recentFiles_;
    bool loadingCursor_ = false;   // the wait cursor of an image being opened
    FrameSettings frameSettings_;  // the window's own stored values
    BatchList batchList_;
    std::function<QWidget*(CMainFrame*)> browseFactory_;
    QWidget* browseWindow_ = nullptr;
    QPointer<QWidget> retiredBrowseWindow_;
    bool panelWasShown_ = false;
    bool batchRunning_ = false;
    CBatchProgress* runningProgress_ = nullptr;
    // The thumbnails of the basket and the browse window (made once, for the window's life).
    std::unique_ptr<ThumbnailCache> thumbnailCache_;
    std::unique_ptr<CThumbsBuilderThreads> thumbnailBuilder_;
    std::unique_ptr<CFileActions> basketFileActions_;  // "&Copy" of the basket's files
    std::unique_ptr<CBasketBrowser> basket_;
    CThumbsView* basketView_ = nullptr;
    bool stateSaved_ = false;
};

}  // namespace orm::gui
