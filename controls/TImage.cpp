#include "TImage.h"

#include <QPainter>

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::SetPicture(const QImage& picture) {
    FPicture = picture;
    update();
}

void TImage::SetProportional(bool value) {
    FProportional = value;
    update();
}

void TImage::SetCenter(bool value) {
    FCenter = value;
    update();
}

QRect TImage::PictureRect() const {
    if (FPicture.isNull())
        return {};
    QSize size = FPicture.size();
    if (FProportional && (size.width() > width() || size.height() > height()))
        size = size.scaled(this->size(), Qt::KeepAspectRatio);
    QPoint origin(0, 0);
    if (FCenter)
        origin = QPoint((width() - size.width()) / 2, (height() - size.height()) / 2);
    return {origin, size};
}

void TImage::paintEvent(QPaintEvent*) {
    if (FPicture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect target = PictureRect();
    if (target.size() == FPicture.size())
        painter.drawImage(target.topLeft(), FPicture);
    else
        painter.drawImage(target, FPicture);
}
