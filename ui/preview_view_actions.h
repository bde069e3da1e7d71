#pragma once
// The zoom and comparison commands of the preview: Fit (Ctrl+0), 50 %, 100 % (Ctrl+1), 200 %
// (Ctrl+2), Zoom In and Out, the Compare toggle and the split view's second algorithm, in the
// View menu and on a toolbar of their own beside the main one. The checked zoom follows the view
// (Ctrl+wheel changes it there).

#include <QObject>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;

namespace orm {
class CORMensuraView;
struct PreviewZoom;
}  // namespace orm

namespace orm::gui {

class PreviewViewActions : public QObject {
    Q_OBJECT
  public:
    // Makes the commands for view; owned by window, whose shortcuts they are.
    PreviewViewActions(CORMensuraView* view, QMainWindow* window);

    // Adds the commands to a menu and puts their toolbar into the window.
    void Install(QMenu* viewMenu);

    QAction* Fit() const { return fit_; }
    QAction* Percent(int percent) const;
    QAction* ZoomIn() const { return zoomIn_; }
    QAction* ZoomOut() const { return zoomOut_; }
    QAction* Compare() const { return compare_; }
    // "Off" (no data) and one per algorithm (data: its index).
    QList<QAction*> SplitActions() const { return splits_; }

  private:
    void ShowZoom(const orm::PreviewZoom& zoom);

    CORMensuraView* view_;
    QMainWindow* window_;
    QActionGroup* group_;
    QAction* fit_;
    QList<QAction*> percents_;
    QAction* zoomIn_;
    QAction* zoomOut_;
    QAction* compare_;
    QActionGroup* splitGroup_;
    QList<QAction*> splits_;
    QMenu* splitMenu_;
};

}  // namespace orm::gui
