#pragma once
// The browse window: the folder tree in the left column, the thumbnail grid in the right, in a
// two-column splitter. It creates and owns the browser of the grid; picking a folder in the tree
// points the browser at it. The left column is as wide as it was when the window closed last
// (SPLITTER/LEFTWIDTH; 200 pixels the first time). Closing the window stops the thumbnail work
// still pending for its folder.

#include <QPointer>
#include <QWidget>

#include <memory>

class QSplitter;

namespace orm {

class CFileActions;
class CFolderMonitor;
class CImgThumbsBrowser;
class CThumbsBuilderThreads;
class CThumbsView;
class SettingsModel;
class SettingsStore;
namespace gui {
class CShellTree;
}

inline constexpr int kDefaultLeftWidth = 200;

class CBrowseWnd : public QWidget {
    Q_OBJECT
  public:
    // The builder makes the thumbnails; the settings give the start folder, the left width and
    // what the browser needs. `store` (may be null) holds the tree's folder and receives it and
    // the left width when the window closes. All three outlive the window.
    CBrowseWnd(CThumbsBuilderThreads& builder, SettingsModel& settings, SettingsStore* store,
               QWidget* parent = nullptr);
    ~CBrowseWnd() override;

    CImgThumbsBrowser& Browser() const { return *browser_; }
    CThumbsView* View() const { return view_; }
    QSplitter* Splitter() const { return splitter_; }
    gui::CShellTree* FolderTree() const { return tree_; }
    CFolderMonitor& Monitor() const { return *monitor_; }
    int LeftWidth() const;

    // The folder the grid shows: selected in the tree, watched, and listed. Picking a folder in
    // the tree does the same.
    void ShowFolder(const QString& folder);
    // The folder to show at the start, selected in the tree: the tree's folder of the last run,
    // else the start folder of the settings, else the user's Pictures folder, else the home
    // folder.
    QString StartFolder();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void StoreLeftWidth();

    CThumbsBuilderThreads& builder_;
    SettingsModel& settings_;
    SettingsStore* store_;
    std::unique_ptr<CFileActions> fileActions_;
    std::unique_ptr<CFolderMonitor> monitor_;
    std::unique_ptr<CImgThumbsBrowser> browser_;
    QSplitter* splitter_ = nullptr;
    gui::CShellTree* tree_ = nullptr;
    CThumbsView* view_ = nullptr;
    bool placed_ = false;
};

}  // namespace orm
