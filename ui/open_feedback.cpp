#include "ui/open_feedback.h"

#include "document/cormensura_doc.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>

#include <memory>

namespace orm::gui {

namespace {

bool IsInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
    }
}

}  // namespace

COpenInputGuard::COpenInputGuard(std::function<void()> cancel, QObject* parent)
    : QObject(parent), cancel_(std::move(cancel)) {
    QCoreApplication::instance()->installEventFilter(this);
}

COpenInputGuard::~COpenInputGuard() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool COpenInputGuard::eventFilter(QObject*, QEvent* event) {
    if (!IsInput(event->type()))
        return false;
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && cancel_)
        cancel_();
    return true;
}

void ShowOpenFeedback(CORMensuraDoc& doc, QStatusBar& statusBar) {
    // Shared by the handlers below; lives as long as the document's connections.
    auto guard = std::make_shared<std::unique_ptr<COpenInputGuard>>();
    auto cursor = std::make_shared<bool>(false);
    // A decoder tells nothing of its progress: a busy bar shows that work goes on.
    auto* busy = new QProgressBar(&statusBar);
    busy->setObjectName(QStringLiteral("openBusy"));
    busy->setRange(0, 0);
    busy->setMaximumWidth(160);
    busy->setTextVisible(false);
    statusBar.addPermanentWidget(busy);
    busy->hide();
    QObject::connect(
        &doc, &CORMensuraDoc::stateChanged, &statusBar,
        [&doc, &statusBar, guard, cursor, busy](DocumentState state) {
            busy->setVisible(state == DocumentState::Loading);
            if (state == DocumentState::Loading) {
                QGuiApplication::setOverrideCursor(Qt::WaitCursor);
                *cursor = true;
                // Shown only when the decode lets the window paint: a large image.
                statusBar.showMessage(QStringLiteral("Opening the image... (Esc cancels)"));
                *guard = std::make_unique<COpenInputGuard>([&doc] { doc.CancelOpen(); });
                return;
            }
            guard->reset();
            if (*cursor) {
                QGuiApplication::restoreOverrideCursor();
                *cursor = false;
            }
            if (statusBar.currentMessage().startsWith(QStringLiteral("Opening the image")))
                statusBar.clearMessage();
        });
    QObject::connect(&doc, &CORMensuraDoc::openCancelled, &statusBar,
                     [&statusBar] { statusBar.showMessage(QStringLiteral("Cancelled"), 5000); });
}

}  // namespace orm::gui
