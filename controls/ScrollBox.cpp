#include "ScrollBox.h"

#include <QCoreApplication>
#include <QEvent>
#include <QScrollBar>

TScrollBox::TScrollBox(QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

bool TScrollBox::event(QEvent* event) {
    if (event->type() == QEvent::LayoutRequest)
        UpdateScrollBar();
    return QScrollArea::event(event);
}

bool TScrollBox::eventFilter(QObject* watched, QEvent* event) {
    // The content asks for a new layout when its children are shown, hidden,
    // added or removed; its height for the area's width may have changed.
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
    return QScrollArea::eventFilter(watched, event);
}

void TScrollBox::resizeEvent(QResizeEvent* event) {
    UpdateScrollBar();
    QScrollArea::resizeEvent(event);
}

void TScrollBox::UpdateScrollBar() {
    QWidget* content = widget();
    if (!content)
        return;
    // The viewport's size without any scroll bar.
    QSize full = maximumViewportSize();
    if (verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
        full.rwidth() += verticalScrollBar()->sizeHint().width();
    const int height = content->hasHeightForWidth() ? content->heightForWidth(full.width())
                                                    : content->minimumSizeHint().height();
    const Qt::ScrollBarPolicy policy =
        height > full.height() ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (verticalScrollBarPolicy() != policy)
        setVerticalScrollBarPolicy(policy);
}
