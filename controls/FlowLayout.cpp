#include "FlowLayout.h"

#include <QWidget>

bool TFlowLayout::Skipped(const QLayoutItem* item) const {
    // A widget counts as soon as it would be visible with its parent, so the
    // layout is already right before the window is first shown.
    if (QWidget* widget = item->widget()) {
        if (widget->isWindow())
            return true;
        return !widget->isVisibleTo(parentWidget()) && !widget->sizePolicy().retainSizeWhenHidden();
    }
    return item->isEmpty();
}

TFlowLayout::TFlowLayout(QWidget* parent) : QLayout(parent) {
    setContentsMargins(3, 3, 3, 3);
    setSpacing(0);
}

TFlowLayout::~TFlowLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void TFlowLayout::addItem(QLayoutItem* item) {
    FItems.append(item);
}

int TFlowLayout::count() const {
    return static_cast<int>(FItems.size());
}

QLayoutItem* TFlowLayout::itemAt(int index) const {
    return index >= 0 && index < FItems.size() ? FItems.at(index) : nullptr;
}

QLayoutItem* TFlowLayout::takeAt(int index) {
    return index >= 0 && index < FItems.size() ? FItems.takeAt(index) : nullptr;
}

Qt::Orientations TFlowLayout::expandingDirections() const {
    return {};
}

bool TFlowLayout::hasHeightForWidth() const {
    return true;
}

int TFlowLayout::heightForWidth(int width) const {
    return DoLayout(QRect(0, 0, width, 0), false);
}

QSize TFlowLayout::minimumSize() const {
    // Never wider than the padding: a narrow area clips its tiles rather
    // than asking for a horizontal scroll bar.
    const QMargins m = contentsMargins();
    return {m.left() + m.right(), m.top() + m.bottom()};
}

QSize TFlowLayout::sizeHint() const {
    const QMargins m = contentsMargins();
    int width = 0;
    for (const QLayoutItem* item : FItems) {
        if (Skipped(item))
            continue;
        width += item->widget() ? item->widget()->width() : item->sizeHint().width();
    }
    width += m.left() + m.right();
    return {width, heightForWidth(width)};
}

void TFlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    DoLayout(rect, true);
}

void TFlowLayout::SetWrap(bool value) {
    if (FWrap == value)
        return;
    FWrap = value;
    invalidate();
    if (QWidget* owner = parentWidget())
        DoLayout(owner->rect(), true);
}

int TFlowLayout::DoLayout(const QRect& rect, bool apply) const {
    const QMargins m = contentsMargins();
    const int left = rect.x() + m.left();
    const int innerRight = rect.x() + rect.width() - m.right();
    int x = left;
    int y = rect.y() + m.top();
    int rowHeight = 0;
    bool rowHasItem = false;
    for (QLayoutItem* item : FItems) {
        if (Skipped(item))
            continue; // hidden children take no place
        // A control keeps its own size; the layout only moves it.
        const QSize size = item->widget() ? item->widget()->size() : item->sizeHint();
        if (FWrap && rowHasItem && x + size.width() >= innerRight) {
            x = left;
            y += rowHeight;
            rowHeight = 0;
            rowHasItem = false;
        }
        if (apply)
            item->setGeometry(QRect(QPoint(x, y), size));
        x += size.width();
        rowHeight = qMax(rowHeight, size.height());
        rowHasItem = true;
    }
    return y + rowHeight + m.bottom() - rect.y();
}
