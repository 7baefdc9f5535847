// Draws every picture of the program and writes them under a resources folder:
//   pictures/<NAME>.png   the named pictures and the layout pictures
//   icon/app_<size>.png   the application icon in each size
//   icon/PainelPesagram.ico  the same sizes in one Windows icon file
// Usage: DrawPictures [resources folder]   (default: the source tree's resources/)
// The output is the same, byte for byte, at every run.

#include "Pictures.h"
#include "PngFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <exception>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    try {
        const QStringList args = app.arguments();
        if (args.size() > 2) {
            err << "usage: DrawPictures [resources folder]\n";
            return 2;
        }
        const QDir root(args.size() == 2 ? args[1] : QStringLiteral(PAINEL_RESOURCES_DIR));
        for (const char* sub : {"pictures", "icon"}) {
            if (!root.mkpath(QString::fromLatin1(sub)))
                throw std::runtime_error("cannot create " + root.filePath(sub).toStdString());
        }

        auto write = [&](const QString& relative, const QByteArray& data) {
            WriteFileData(root.filePath(relative), data);
            out << relative << '\n';
        };
        auto picture = [&](const QString& name, const QImage& image, TPngColour colour) {
            write(QStringLiteral("pictures/%1.png").arg(name), EncodePng(image, colour));
        };

        picture(QStringLiteral("CPU"), DrawCpu(), TPngColour::Rgba);
        for (const TBadgeDesign& badge : BadgeDesigns())
            picture(badge.name, DrawBadge(badge), TPngColour::Rgba);
        picture(QStringLiteral("CLOCK"), DrawClock(), TPngColour::GreyAlpha);
        picture(QStringLiteral("BTN_SAIR"), DrawExitButton(), TPngColour::Rgba);
        picture(QStringLiteral("BTN_ATUALIZAR"), DrawRefreshButton(), TPngColour::Rgba);

        QList<QByteArray> iconImages;
        for (int size : {16, 32, 48, 64, 128, 256}) {
            iconImages.append(EncodePng(DrawAppIcon(size), TPngColour::Rgba));
            write(QStringLiteral("icon/app_%1.png").arg(size), iconImages.last());
        }
        write(QStringLiteral("icon/PainelPesagram.ico"), EncodeIco(iconImages));
    } catch (const std::exception& e) {
        err << "DrawPictures: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
