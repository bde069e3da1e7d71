#include "ui/thumbs_view.h"

#include "browser/thumbs_browser.h"
#include "settings/settings_model.h"
#include "ui/jfif_dlg.h"

#include <QDrag>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QToolTip>

namespace orm {

bool IsListKey(int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers mods = modifiers & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (mods == Qt::ControlModifier)
        return key == Qt::Key_A || key == Qt::Key_C || key == Qt::Key_X || key == Qt::Key_V;
    if (mods != Qt::NoModifier)
        return false;
    switch (key) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Delete:
        case Qt::Key_F2:
        case Qt::Key_F5:
            return true;
        default:
            return false;
    }
}

namespace {

constexpr int kTimerMs = 100;

void AddEntries(QMenu& menu, const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries) {
        if (e.IsSeparator()) {
            menu.addSeparator();
        } else if (!e.entries.empty()) {
            QMenu* sub = menu.addMenu(e.text);
            AddEntries(*sub, e.entries);
        } else {
            QAction* action = menu.addAction(e.text);
            action->setData(e.id);
            action->setEnabled(e.enabled);
            if (e.checked) {
                action->setCheckable(true);
                action->setChecked(true);
            }
        }
    }
}

}  // namespace

CThumbsView::CThumbsView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    // Every pixel is painted (background first), so Qt need not erase; Qt's backing store holds
    // the off-screen picture and puts it on the screen in one transfer.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(false);
    horizontalScrollBar()->setSingleStep(20);
    timer_.start(kTimerMs, this);
}

CThumbsView::~CThumbsView() {
    if (browser_)
        browser_->SetHost(nullptr);
}

void CThumbsView::SetBrowser(CThumbsBrowser* browser) {
    if (browser_ == browser)
        return;
    EndRename(false);
    if (browser_)
        browser_->SetHost(nullptr);
    browser_ = browser;
    if (browser_) {
        ContentSizeChanged();
        browser_->SetHost(this);
    }
    viewport()->update();
}

// ---- IThumbsHost ----------------------------------------------------------------------------

QSize CThumbsView::ClientSize() const {
    return viewport()->size();
}

QPoint CThumbsView::ScrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CThumbsView::ScrollTo(QPoint p) {
    horizontalScrollBar()->setValue(p.x());
    verticalScrollBar()->setValue(p.y());
}

void CThumbsView::ContentSizeChanged() {
    if (!browser_)
        return;
    const QSize total = browser_->ScrollSize();
    const QSize client = viewport()->size();
    const QSize cell = browser_->CellSize();
    horizontalScrollBar()->setRange(0, std::max(0, total.width() - client.width()));
    horizontalScrollBar()->setPageStep(std::max(1, client.width()));
    horizontalScrollBar()->setSingleStep(std::max(1, cell.width() / 4));
    verticalScrollBar()->setRange(0, std::max(0, total.height() - client.height()));
    verticalScrollBar()->setPageStep(std::max(1, client.height()));
    verticalScrollBar()->setSingleStep(std::max(1, cell.height() / 4));
}

void CThumbsView::InvalidateAll() {
    viewport()->update();
}

void CThumbsView::InvalidateContent(const QRect& rect) {
    const QRect client = rect.translated(-ScrollPosition()).intersected(viewport()->rect());
    if (!client.isEmpty())
        viewport()->update(client);
}

void CThumbsView::UpdateNow() {
    if (viewport()->isVisible())
        viewport()->repaint();
}

int CThumbsView::ExecMenu(const BrowserMenu& description, QPoint globalPos) {
    QMenu menu(this);
    AddEntries(menu, description.entries);
    const QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

void CThumbsView::BeginRename(int index, const QRect& label, const QString& name) {
    EndRename(false);
    renameIndex_ = index;
    renameEdit_ = new QLineEdit(viewport());
    renameEdit_->setFrame(true);
    QFont font = this->font();
    font.setPointSize(8);
    renameEdit_->setFont(font);
    const int height = std::max(label.height(), renameEdit_->sizeHint().height());
    renameEdit_->setGeometry(QRect(label.topLeft() - ScrollPosition(), QSize(label.width(), height))
                                 .adjusted(-4, -2, 4, 0));
    renameEdit_->setText(name);
    renameEdit_->selectAll();
    renameEdit_->installEventFilter(this);
    renameEdit_->show();
    renameEdit_->setFocus();
}

void CThumbsView::EndRename(bool commit) {
    if (!renameEdit_)
        return;
    QLineEdit* edit = renameEdit_;
    const int index = renameIndex_;
    renameEdit_ = nullptr;
    renameIndex_ = -1;
    edit->removeEventFilter(this);
    const QString text = edit->text();
    edit->hide();
    edit->deleteLater();
    setFocus();
    if (commit && browser_)
        browser_->CommitRename(index, text);
}

bool CThumbsView::eventFilter(QObject* watched, QEvent* event) {
    if (renameEdit_ && watched == renameEdit_) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                EndRename(true);
                return true;
            }
            if (key == Qt::Key_Escape) {
                EndRename(false);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            EndRename(true);
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void CThumbsView::ShowImageInfo(const QString& path) {
    if (!orm::ShowImageInfo(this, path) && browser_)
        browser_->Settings().Prompt().Warning(QStringLiteral("Can't read the image\n%1").arg(path));
}

Qt::DropAction CThumbsView::ExecDrag(QMimeData* data, Qt::DropActions allowed,
                                     const QImage& picture) {
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    if (!picture.isNull()) {
        // The thumbnail at most 96 pixels on its longer side, the pointer at its centre.
        const QPixmap pixmap = QPixmap::fromImage(
            picture.width() > 96 || picture.height() > 96
                ? picture.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                : picture);
        drag->setPixmap(pixmap);
        drag->setHotSpot(QPoint(pixmap.width() / 2, pixmap.height() / 2));
    }
    return drag->exec(allowed, Qt::CopyAction);
}

// ---- Events ---------------------------------------------------------------------------------

void CThumbsView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QColor background =
        browser_ ? browser_->Settings().Colours().background : palette().color(QPalette::Base);
    painter.fillRect(event->rect(), background);
    if (!browser_)
        return;
    if (browser_->Count() == 0 && !browser_->LocationProblem().isEmpty()) {
        painter.setPen(browser_->Settings().Colours().text);
        painter.drawText(
            viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
            QStringLiteral("This folder can't be read: %1").arg(browser_->LocationProblem()));
        return;
    }
    const QPoint scroll = ScrollPosition();
    painter.translate(-scroll);
    browser_->Draw(painter, event->rect().translated(scroll), QRect(scroll, viewport()->size()));
}

void CThumbsView::wheelEvent(QWheelEvent* event) {
    // A one-row strip has no vertical scrolling: the wheel moves it sideways, a cell a notch.
    const QPoint delta = event->angleDelta();
    if (browser_ && browser_->Mode() == LayoutMode::SingleRow && delta.x() == 0 && delta.y() != 0) {
        QScrollBar* bar = horizontalScrollBar();
        bar->setValue(bar->value() - delta.y() * browser_->CellSize().width() / 120);
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

bool CThumbsView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = browser_ ? browser_->ToolTipAt(help->pos()) : QString();
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, viewport());
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CThumbsView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    ContentSizeChanged();
    viewport()->update();
}

void CThumbsView::scrollContentsBy(int, int) {
    if (renameEdit_)
        EndRename(true);
    viewport()->update();
}

void CThumbsView::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (!browser_)
        return;
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        browser_->OnLButtonDown(p, event->modifiers());
    else if (event->button() == Qt::RightButton)
        browser_->ContextMenu(p, event->globalPosition().toPoint());
}

void CThumbsView::mouseMoveEvent(QMouseEvent* event) {
    if (browser_)
        browser_->OnMouseMove(event->position().toPoint(), event->buttons());
}

void CThumbsView::mouseReleaseEvent(QMouseEvent* event) {
    if (browser_ && event->button() == Qt::LeftButton)
        browser_->OnLButtonUp(event->position().toPoint(), event->modifiers());
}

void CThumbsView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (browser_ && event->button() == Qt::LeftButton)
        browser_->OnLButtonDblClk(event->position().toPoint());
}

bool CThumbsView::event(QEvent* event) {
    // The keys the list acts on are its own while it has the focus: the window's shortcuts for
    // the same keys (Next and Previous on the arrows and pages, Paste, Remove) wait.
    if (event->type() == QEvent::ShortcutOverride && browser_) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsListKey(key->key(), key->modifiers())) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void CThumbsView::keyPressEvent(QKeyEvent* event) {
    if (browser_ && browser_->OnKeyDown(event->key(), event->modifiers()))
        return;
    QAbstractScrollArea::keyPressEvent(event);
}

void CThumbsView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId()) {
        if (browser_)
            browser_->OnTimer();
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}

void CThumbsView::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void CThumbsView::dragMoveEvent(QDragMoveEvent* event) {
    const Qt::DropAction action = browser_ && event->mimeData()
                                      ? browser_->DragOver(*event->mimeData(), event->modifiers())
                                      : Qt::IgnoreAction;
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void CThumbsView::dropEvent(QDropEvent* event) {
    if (!browser_ || !event->mimeData()) {
        event->ignore();
        return;
    }
    const Qt::DropAction action = browser_->DragOver(*event->mimeData(), event->modifiers());
    if (browser_->OnDrop(*event->mimeData(), event->modifiers())) {
        event->setDropAction(action);
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace orm
