#pragma once
// The main window in single-image mode: toolbar, menus, the resize settings panel docked at the
// side, the status bar with its progress bar, and a two-row splitter whose upper row holds the
// preview (the lower row holds the batch list in batch mode).

#include "settings/settings_model.h"

#include <QDesktopServices>
#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <QTextBrowser>
#include <QUrl>

#include <functional>

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
class SettingsStore;
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
    // Files named on the command line beyond the first: kept for the batch list.
    void SetCommandLineBatch(const QStringList& files) { commandLineBatch_ = files; }
    const QStringList& CommandLineBatch() const { return commandLineBatch_; }

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
    void OnSaveFinished(bool written, const QString& path);

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
    std::function<bool(const QUrl&)> urlOpener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
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
    QStringList commandLineBatch_;
    bool stateSaved_ = false;
};

}  // namespace orm::gui
