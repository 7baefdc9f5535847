#include "TPanel.h"

#include <QPalette>
#include <algorithm>

TPanel::TPanel(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
}

QColor TPanel::Color() const {
    return palette().color(QPalette::Window);
}

void TPanel::SetColor(const QColor& color) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
}

void TPanel::DockTop(QWidget* child) {
    if (!child || child->parentWidget() != this)
        return;
    FTopDocked.removeAll(child);
    // Already docked controls sit at their stacked places; the new one goes
    // before the first whose top lies below its own.
    const int top = child->y();
    auto at = std::find_if(FTopDocked.begin(), FTopDocked.end(),
                           [top](const QPointer<QWidget>& w) { return w && w->y() > top; });
    FTopDocked.insert(at, child);
    ArrangeDocked();
}

void TPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangeDocked();
}

void TPanel::ArrangeDocked() {
    int y = 0;
    for (const QPointer<QWidget>& child : std::as_const(FTopDocked)) {
        if (!child || !child->isVisibleTo(this))
            continue;
        child->setGeometry(0, y, width(), child->height());
        y += child->height();
    }
}
