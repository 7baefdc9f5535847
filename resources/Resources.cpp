#include "Resources.h"

#include <QFile>
#include <stdexcept>

QImage LoadResourcePicture(const QString& name) {
    QFile file(QStringLiteral(":/pictures/") + name + QStringLiteral(".png"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("Picture \"" + name.toStdString() + "\" not found in resources");
    QImage image;
    if (!image.loadFromData(file.readAll(), "PNG"))
        throw std::runtime_error("Picture \"" + name.toStdString() + "\" cannot be decoded");
    return image;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icon/app_%1.png").arg(size), QSize(size, size));
    return icon;
}
