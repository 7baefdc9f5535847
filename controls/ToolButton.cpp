#include "ToolButton.h"

#include <QStyleOptionToolButton>
#include <QStylePainter>

TToolButton::TToolButton(QWidget* parent) : QToolButton(parent) {
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
}

void TToolButton::SetSpacing(int value) {
    FSpacing = value;
    update();
}

QRect TToolButton::PictureRect() const {
    const QSize picture = iconSize();
    const int block = picture.height() + FSpacing + fontMetrics().height();
    return {(width() - picture.width()) / 2, (height() - block) / 2, picture.width(),
            picture.height()};
}

QRect TToolButton::CaptionRect() const {
    const QRect picture = PictureRect();
    return {0, picture.bottom() + 1 + FSpacing, width(), fontMetrics().height()};
}

void TToolButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    // The style draws the bevel only; picture and caption are placed here.
    option.text.clear();
    option.icon = QIcon();
    painter.drawComplexControl(QStyle::CC_ToolButton, option);

    QPoint shift;
    if (option.state & (QStyle::State_Sunken | QStyle::State_On))
        shift = {style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                 style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this)};
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    const QRect picture = PictureRect().translated(shift);
    painter.drawPixmap(picture.topLeft(), icon().pixmap(iconSize(), devicePixelRatio(), mode));
    painter.drawItemText(CaptionRect().translated(shift), Qt::AlignHCenter | Qt::AlignTop,
                         palette(), isEnabled(), text(), QPalette::ButtonText);
}
