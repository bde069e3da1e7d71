#include "ui/preview_view_actions.h"

#include "document/preview_zoom.h"
#include "engine/algorithm.h"
#include "ui/cormensura_view.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace orm::gui {
namespace {

QKeySequence PercentShortcut(int percent) {
    switch (percent) {
        case 100:
            return QKeySequence(Qt::CTRL | Qt::Key_1);
        case 200:
            return QKeySequence(Qt::CTRL | Qt::Key_2);
        default:
            return {};
    }
}

}  // namespace

PreviewViewActions::PreviewViewActions(CORMensuraView* view, QMainWindow* window)
    : QObject(window), view_(view), window_(window) {
    setObjectName(QStringLiteral("previewViewActions"));
    group_ = new QActionGroup(this);
    group_->setExclusive(true);
    const auto make = [&](const QString& name, const QString& text, const QKeySequence& key) {
        auto* a = new QAction(text, window_);
        a->setObjectName(name);
        if (!key.isEmpty())
            a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        window_->addAction(a);  // the shortcuts work with the toolbar hidden
        return a;
    };

    fit_ =
        make(QStringLiteral("zoomFit"), QStringLiteral("&Fit"), QKeySequence(Qt::CTRL | Qt::Key_0));
    fit_->setStatusTip(QStringLiteral("Show the whole output in the window"));
    fit_->setCheckable(true);
    group_->addAction(fit_);
    connect(fit_, &QAction::triggered, this, [this] { view_->SetZoom(PreviewZoom{true, 100}); });
    for (int p : kZoomPercents) {
        QAction* a = make(QStringLiteral("zoom%1").arg(p), QStringLiteral("&%1%").arg(p),
                          PercentShortcut(p));
        a->setStatusTip(p == 100 ? QStringLiteral("One screen pixel per output pixel")
                                 : QStringLiteral("Show the output at %1%").arg(p));
        a->setCheckable(true);
        a->setData(p);
        group_->addAction(a);
        connect(a, &QAction::triggered, this, [this, p] { view_->SetZoom(PreviewZoom{false, p}); });
        percents_.append(a);
    }
    zoomIn_ = make(QStringLiteral("zoomIn"), QStringLiteral("Zoom &In"), QKeySequence::ZoomIn);
    connect(zoomIn_, &QAction::triggered, this,
            [this] { view_->ZoomIn(view_->viewport()->rect().center()); });
    zoomOut_ = make(QStringLiteral("zoomOut"), QStringLiteral("Zoom &Out"), QKeySequence::ZoomOut);
    connect(zoomOut_, &QAction::triggered, this,
            [this] { view_->ZoomOut(view_->viewport()->rect().center()); });

    compare_ = make(QStringLiteral("compare"), QStringLiteral("&Compare with Source"), {});
    compare_->setCheckable(true);
    compare_->setIconText(QStringLiteral("Compare"));
    compare_->setToolTip(
        QStringLiteral("Show the source at the output size (nearest neighbour) instead of the "
                       "resized preview; or hold Space in the preview"));
    compare_->setStatusTip(compare_->toolTip());
    connect(compare_, &QAction::toggled, view_, &CORMensuraView::SetCompareToggled);

    // The split view: off, or one of the algorithms left of the divider.
    splitMenu_ = new QMenu(QStringLiteral("&Split View"), window_);
    splitMenu_->setObjectName(QStringLiteral("splitMenu"));
    splitGroup_ = new QActionGroup(this);
    splitGroup_->setExclusive(true);
    QAction* off = splitMenu_->addAction(QStringLiteral("&Off"));
    off->setObjectName(QStringLiteral("splitOff"));
    off->setCheckable(true);
    off->setChecked(true);
    splitGroup_->addAction(off);
    splits_.append(off);
    splitMenu_->addSeparator();
    for (int i = 0; i < engine::kAlgorithmCount; ++i) {
        const auto algorithm = *engine::AlgorithmFromIndex(i);
        QAction* a = splitMenu_->addAction(QString::fromLatin1(engine::AlgorithmName(algorithm)));
        a->setObjectName(QStringLiteral("split%1").arg(i));
        a->setCheckable(true);
        a->setData(i);
        splitGroup_->addAction(a);
        splits_.append(a);
    }
    connect(splitGroup_, &QActionGroup::triggered, this, [this](QAction* a) {
        view_->SetSplitAlgorithm(a->data().isValid() ? engine::AlgorithmFromIndex(a->data().toInt())
                                                     : std::nullopt);
    });
    connect(view_, &CORMensuraView::splitChanged, this,
            [this](std::optional<engine::ResizeAlgorithm> algorithm) {
                for (QAction* a : splits_)
                    a->setChecked(algorithm
                                      ? a->data().isValid() &&
                                            a->data().toInt() == engine::AlgorithmIndex(*algorithm)
                                      : !a->data().isValid());
            });

    connect(view_, &CORMensuraView::zoomChanged, this, &PreviewViewActions::ShowZoom);
    ShowZoom(view_->Zoom());
}

QAction* PreviewViewActions::Percent(int percent) const {
    for (QAction* a : percents_)
        if (a->data().toInt() == percent)
            return a;
    return nullptr;
}

void PreviewViewActions::ShowZoom(const PreviewZoom& zoom) {
    if (zoom.fit)
        fit_->setChecked(true);
    else if (QAction* a = Percent(zoom.percent))
        a->setChecked(true);
}

void PreviewViewActions::Install(QMenu* viewMenu) {
    QMenu* zoom = viewMenu->addMenu(QStringLiteral("&Zoom"));
    zoom->addAction(fit_);
    for (QAction* a : percents_) zoom->addAction(a);
    zoom->addSeparator();
    zoom->addAction(zoomIn_);
    zoom->addAction(zoomOut_);
    viewMenu->addAction(compare_);
    viewMenu->addMenu(splitMenu_);

    QToolBar* bar = window_->addToolBar(QStringLiteral("Zoom"));
    bar->setObjectName(QStringLiteral("zoomToolbar"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addAction(fit_);
    for (QAction* a : percents_) bar->addAction(a);
    bar->addSeparator();
    bar->addAction(compare_);
    auto* split = new QToolButton(bar);
    split->setObjectName(QStringLiteral("splitButton"));
    split->setText(QStringLiteral("Split"));
    split->setToolTip(QStringLiteral("Compare with another algorithm left of a divider"));
    split->setMenu(splitMenu_);
    split->setPopupMode(QToolButton::InstantPopup);
    bar->addWidget(split);
}

}  // namespace orm::gui
