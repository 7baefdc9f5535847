#include "Resources.h"

#include <QFile>
#include <stdexcept>

namespace {

// Picture names are plain words (letters, digits, underscores); anything else,
// such as a path, names no picture.
bool IsPictureName(const QString& name) {
    if (name.isEmpty())
        return false;
    for (QChar c : name) {
        if (!(c == u'_' || (c.unicode() < 128 && c.isLetterOrNumber())))
            return false;
    }
    return true;
}

} // namespace

QImage LoadResourcePicture(const QString& name) {
    QFile file(QStringLiteral(":/pictures/") + name + QStringLiteral(".png"));
    if (!IsPictureName(name) || !file.open(QIODevice::ReadOnly))
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
