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

class CImgThumbsBrowser;
class CThumbsBuilderThreads;
class CThumbsView;
class SettingsModel;
class SettingsStore;

inline constexpr int kDefaultLeftWidth = 200;

class CBrowseWnd : public QWidget {
    Q_OBJECT
  public:
    // The builder makes the thumbnails; the settings give the start folder, the left width and
    // what the browser needs. `store` (may be null) receives the left width when the window
    // closes. All three outlive the window.
    CBrowseWnd(CThumbsBuilderThreads& builder, SettingsModel& settings, SettingsStore* store,
               QWidget* parent = nullptr);
    ~CBrowseWnd() override;

    CImgThumbsBrowser& Browser() const { return *browser_; }
    CThumbsView* View() const { return view_; }
    QSplitter* Splitter() const { return splitter_; }
    QWidget* FolderTree() const { return left_; }
    int LeftWidth() const;

    // The folder the grid shows; points the browser at it and lists it.
    void ShowFolder(const QString& folder);
    // The folder shown at the start: the start folder of the settings when it exists, else the
    // user's Pictures folder, else the home folder.
    QString StartFolder() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void StoreLeftWidth();

    CThumbsBuilderThreads& builder_;
    SettingsModel& settings_;
    SettingsStore* store_;
    std::unique_ptr<CImgThumbsBrowser> browser_;
    QSplitter* splitter_ = nullptr;
    QWidget* left_ = nullptr;
    CThumbsView* view_ = nullptr;
    bool placed_ = false;
};

}  // namespace orm
