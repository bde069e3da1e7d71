// The browser's input: mouse (selection, band, drags, the rename click), keys and the view's
// timer.

#include "browser/thumbs_browser.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStyleHints>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace orm {

namespace {

constexpr int kNameScrollStep = 5;

bool IsMultiSelectKey(Qt::KeyboardModifiers m, Qt::KeyboardModifier which) {
    return (m & which) != 0;
}

}  // namespace

// ---- Mouse ----------------------------------------------------------------------------------

void CThumbsBrowser::OnLButtonDown(QPoint client, Qt::KeyboardModifiers modifiers) {
    renameCandidate_ = -1;
    const int index = ItemAtClient(client);
    const bool ctrl = IsMultiSelectKey(modifiers, Qt::ControlModifier);
    const bool shift = IsMultiSelectKey(modifiers, Qt::ShiftModifier);
    if (index >= 0 && !ctrl && !shift && SelectedCount() == 1 && Item(index).selected &&
        OwnsFiles() &&
        NameRect(ItemRect(index), painter_.NameLineHeight()).contains(ToContent(client))) {
        // A press on the name of the only selected item renames it, unless it turns out to be the
        // first half of a double-click or the start of a drag.
        renameCandidate_ = index;
        pressPoint_ = client;
        dragArmed_ = true;
        return;
    }
    bool changed = false;
    if (ctrl) {
        pendingCtrlClick_ = true;
    } else if (shift) {
        if (index >= 0) {
            int anchor = 0;
            for (int i = 0; i < Count(); ++i)
                if (Item(i).selected) {
                    anchor = i;
                    break;
                }
            SelectRange(anchor, index);
            changed = true;
        }
    } else if (index >= 0 && !Item(index).selected) {
        ClearSelection();
        SetSelected(index, true);
        changed = true;
    }
    if (index >= 0) {
        pressPoint_ = client;
        dragArmed_ = true;
    } else {
        if (SelectedCount() > 0) {
            ClearSelection();
            changed = true;
        }
        bandActive_ = true;
        bandAnchor_ = ToContent(client);
        bandPointer_ = client;
    }
    if (changed)
        OnSelectionChanged();
}

void CThumbsBrowser::OnMouseMove(QPoint client, Qt::MouseButtons buttons) {
    if (!(buttons & Qt::LeftButton)) {
        dragArmed_ = false;
        if (bandActive_)
            EndBand();
        return;
    }
    if (dragArmed_) {
        const QPoint d = client - pressPoint_;
        if (d.x() < -2 || d.x() > 1 || d.y() < -2 || d.y() > 1) {
            dragArmed_ = false;
            renameCandidate_ = -1;
            StartDrag();
        }
        return;
    }
    if (bandActive_)
        UpdateBand(client);
}

void CThumbsBrowser::OnLButtonUp(QPoint client, Qt::KeyboardModifiers modifiers) {
    dragArmed_ = false;
    if (bandActive_) {
        EndBand();
        return;
    }
    if (renameCandidate_ >= 0) {
        // Renaming starts once a double-click can no longer follow.
        const int index = renameCandidate_;
        const QString path = Item(index).path;
        int interval = 400;
        if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            interval = app->styleHints()->mouseDoubleClickInterval();
        QTimer::singleShot(
            renameDelayMs_ >= 0 ? renameDelayMs_ : interval, this, [this, index, path] {
                if (renameCandidate_ == index && index < Count() && Item(index).path == path) {
                    renameCandidate_ = -1;
                    BeginRename(index);
                }
            });
        return;
    }
    const int index = ItemAtClient(client);
    if (pendingCtrlClick_) {
        pendingCtrlClick_ = false;
        if (index >= 0) {
            SetSelected(index, !Item(index).selected);
            OnSelectionChanged();
        }
    } else if (!IsMultiSelectKey(modifiers, Qt::ShiftModifier) && index >= 0) {
        if (SelectedCount() != 1 || !Item(index).selected) {
            for (int i = 0; i < Count(); ++i) SetSelected(i, i == index);
            OnSelectionChanged();
        }
    }
}

void CThumbsBrowser::OnLButtonDblClk(QPoint client) {
    renameCandidate_ = -1;
    if (ItemAtClient(client) >= 0)
        DoubleClick();
}

QRect CThumbsBrowser::BandRect() const {
    if (!bandActive_)
        return {};
    return QRect(bandAnchor_, ToContent(bandPointer_)).normalized();
}

void CThumbsBrowser::UpdateBand(QPoint client) {
    const QRect before = BandRect();
    bandPointer_ = client;
    if (host_) {
        const int line = std::max(1, CellSize().height() / 4);
        const QPoint scroll = host_->ScrollPosition();
        if (client.y() > host_->ClientSize().height())
            host_->ScrollTo({scroll.x(), scroll.y() + line});
        else if (client.y() < 0 && scroll.y() > 0)
            host_->ScrollTo({scroll.x(), std::max(0, scroll.y() - line)});
    }
    const QRect band = BandRect();
    const ThumbsLayout layout = Layout();
    bool changed = false;
    for (int i = 0; i < Count(); ++i) {
        const bool inside = layout.ItemRect(i).intersects(band);
        if ((Item(i).selected != 0) != inside) {
            SetSelected(i, inside);
            changed = true;
        }
    }
    if (host_) {
        host_->InvalidateContent(before.adjusted(-1, -1, 2, 2));
        host_->InvalidateContent(band.adjusted(-1, -1, 2, 2));
    }
    if (changed)
        OnSelectionChanged();
}

void CThumbsBrowser::EndBand() {
    const QRect band = BandRect();
    bandActive_ = false;
    if (host_)
        host_->InvalidateContent(band.adjusted(-1, -1, 2, 2));
}

// ---- Keys -----------------------------------------------------------------------------------

bool CThumbsBrowser::OnKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if (const std::optional<bool> used = OnCommandKey(key, modifiers & Qt::ControlModifier))
        return *used;
    if (Count() == 0)
        return false;
    return MoveSelectionByKey(key, modifiers & Qt::ShiftModifier);
}

std::optional<bool> CThumbsBrowser::OnCommandKey(int key, bool ctrl) {
    if (ctrl) {
        switch (key) {
            case Qt::Key_A:
                return OnCommand(cmd::kSelectAll);
            case Qt::Key_C:
                return CommandEnabled(cmd::kCopy) && OnCommand(cmd::kCopy);
            case Qt::Key_X:
                return CommandEnabled(cmd::kCut) && OnCommand(cmd::kCut);
            case Qt::Key_V:
                return CommandEnabled(cmd::kPaste) && OnCommand(cmd::kPaste);
            default:
                break;
        }
    }
    switch (key) {
        case Qt::Key_Delete:
            return CommandEnabled(cmd::kDelete) && OnCommand(cmd::kDelete);
        case Qt::Key_F2:
            return CommandEnabled(cmd::kRename) && OnCommand(cmd::kRename);
        case Qt::Key_F5:
            return OnCommand(cmd::kRefresh);
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (SelectedCount() == 0)
                return false;
            DoubleClick();
            return true;
        default:
            return std::nullopt;
    }
}

bool CThumbsBrowser::MoveSelectionByKey(int key, bool shift) {
    const ThumbsLayout layout = Layout();
    const int n = layout.Columns();
    const int page = n * layout.RowsPerPage();
    const int last = Count() - 1;
    int lo = -1;
    int hi = -1;
    for (int i = 0; i < Count(); ++i)
        if (Item(i).selected) {
            if (lo < 0)
                lo = i;
            hi = i;
        }
    const bool none = lo < 0;
    int target = 0;
    bool forward = true;
    switch (key) {
        case Qt::Key_Right:
            target = none ? 0 : std::min(last, hi + 1);
            break;
        case Qt::Key_Down:
            target = none ? 0 : std::min(last, hi + n);
            break;
        case Qt::Key_PageDown:
            target = none ? 0 : std::min(last, hi + page);
            break;
        case Qt::Key_End:
            target = last;
            break;
        case Qt::Key_Left:
            target = none ? 0 : std::max(0, lo - 1);
            forward = false;
            break;
        case Qt::Key_Up:
            target = none ? 0 : std::max(0, lo - n);
            forward = false;
            break;
        case Qt::Key_PageUp:
            target = none ? 0 : std::max(0, lo - page);
            forward = false;
            break;
        case Qt::Key_Home:
            target = 0;
            forward = false;
            break;
        default:
            return false;
    }
    if (!shift) {
        for (int i = 0; i < Count(); ++i) SetSelected(i, i == target);
    } else if (forward) {
        const int from = none ? (key == Qt::Key_End ? last : target) : lo;
        SelectRange(from, target);
    } else {
        SelectRange(target, none ? target : hi);
    }
    ScrollIntoView(target);
    OnSelectionChanged();
    return true;
}

// ---- Timer ----------------------------------------------------------------------------------

void CThumbsBrowser::OnTimer() {
    StepNames();
    if (bandActive_ && host_ &&
        (bandPointer_.y() < 0 || bandPointer_.y() > host_->ClientSize().height()))
        UpdateBand(bandPointer_);
}

void CThumbsBrowser::StepNames() {
    if (!host_ || Count() == 0)
        return;
    const QRect visible(host_->ScrollPosition(), host_->ClientSize());
    const auto [first, last] = Layout().ItemsIn(visible);
    std::vector<int> cached;
    {
        auto access = builder_.cache().Lock();
        for (int i = first; i <= last; ++i)
            if (Item(i).selected && access->Find(Item(i).path))
                cached.push_back(i);
    }
    for (int i : cached) {
        NameScroll& scroll = Item(i).nameScroll;
        if (!scroll.scrolls) {
            scroll.offset = 0;
            continue;
        }
        scroll.offset += kNameScrollStep;
        if (scroll.offset > scroll.textWidth)
            scroll.offset = -scroll.rect.width();
        host_->InvalidateContent(scroll.rect);
    }
}

}  // namespace orm
