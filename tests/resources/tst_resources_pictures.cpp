// The pictures the program carries: names, sizes, stored format and content.

#include "Resources.h"

#include <QFile>
#include <QIcon>
#include <QPixmap>
#include <QtEndian>
#include <QtTest>
#include <stdexcept>

namespace {

struct TPngHeader {
    quint32 width = 0, height = 0;
    int bitDepth = -1, colourType = -1, interlace = -1;
};

// Reads the IHDR chunk of the stored PNG data; fails the test on a bad header.
TPngHeader StoredPngHeader(const QString& resourcePath) {
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.read(33);
    if (data.size() < 33 || !data.startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8)) ||
        data.mid(12, 4) != "IHDR")
        return {};
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    TPngHeader h;
    h.width = qFromBigEndian<quint32>(bytes + 16);
    h.height = qFromBigEndian<quint32>(bytes + 20);
    h.bitDepth = bytes[24];
    h.colourType = bytes[25];
    h.interlace = bytes[28];
    return h;
}

struct TMean {
    double red = 0, green = 0, blue = 0;
};

TMean AlphaWeightedMean(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    double weight = 0;
    TMean m;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const double a = qAlpha(p) / 255.0;
            weight += a;
            m.red += a * qRed(p);
            m.green += a * qGreen(p);
            m.blue += a * qBlue(p);
        }
    if (weight > 0)
        m = {m.red / weight, m.green / weight, m.blue / weight};
    return m;
}

int CountPixels(const QImage& picture, const std::function<bool(QRgb)>& test) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

bool NearWhite(QRgb p) {
    return qAlpha(p) == 255 && qRed(p) >= 230 && qGreen(p) >= 230 && qBlue(p) >= 230;
}

void VerifyCornersTransparent(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const int r = argb.width() - 1, b = argb.height() - 1;
    for (QPoint corner : {QPoint(0, 0), QPoint(r, 0), QPoint(0, b), QPoint(r, b)})
        QVERIFY2(qAlpha(argb.pixel(corner)) == 0,
                 qPrintable(QStringLiteral("corner (%1,%2) is not transparent")
                                .arg(corner.x())
                                .arg(corner.y())));
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void namedPictures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("CPU") << "CPU" << QSize(614, 515);
        // The four flags share one size.
        for (const char* flag : {"GREEN_CHK", "YELLOW_CHK", "RED_CHK", "BLACK_CHK"})
            QTest::newRow(flag) << QString::fromLatin1(flag) << QSize(41, 40);
    }

    void namedPictures() {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QImage image = LoadResourcePicture(name);
        QCOMPARE(image.size(), size);
        QVERIFY(image.hasAlphaChannel());

        const TPngHeader h = StoredPngHeader(QStringLiteral(":/pictures/%1.png").arg(name));
        QCOMPARE(QSize(int(h.width), int(h.height)), size);
        QCOMPARE(h.bitDepth, 8);
        QCOMPARE(h.colourType, 6); // red, green, blue, alpha
        QCOMPARE(h.interlace, 0);
    }

    void loadingDecodesAnew() {
        QImage first = LoadResourcePicture(QStringLiteral("RED_CHK"));
        first.fill(Qt::black);
        const QImage second = LoadResourcePicture(QStringLiteral("RED_CHK"));
        QVERIFY(second != first);
        QVERIFY(qRed(second.pixel(20, 20)) > 100);
    }

    void badgeColours_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("average");
        QTest::newRow("GREEN_CHK") << "GREEN_CHK" << QColor(110, 165, 39);
        QTest::newRow("YELLOW_CHK") << "YELLOW_CHK" << QColor(222, 189, 5);
        QTest::newRow("RED_CHK") << "RED_CHK" << QColor(194, 30, 36);
        QTest::newRow("BLACK_CHK") << "BLACK_CHK" << QColor(8, 8, 8);
    }

    void badgeColours() {
        QFETCH(QString, name);
        QFETCH(QColor, average);
        const QImage badge = LoadResourcePicture(name);
        const TMean m = AlphaWeightedMean(badge);
        const QString got = QStringLiteral("mean (%1, %2, %3)")
                                .arg(m.red, 0, 'f', 1)
                                .arg(m.green, 0, 'f', 1)
                                .arg(m.blue, 0, 'f', 1);
        QVERIFY2(std::abs(m.red - average.red()) <= 4, qPrintable(got));
        QVERIFY2(std::abs(m.green - average.green()) <= 4, qPrintable(got));
        QVERIFY2(std::abs(m.blue - average.blue()) <= 4, qPrintable(got));

        VerifyCornersTransparent(badge);
        // Round: the middle of each edge is covered, the disc's centre opaque.
        const QImage argb = badge.convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(qAlpha(argb.pixel(20, 20)), 255);
        QVERIFY(qAlpha(argb.pixel(20, 1)) > 128);
        QVERIFY(qAlpha(argb.pixel(20, 38)) > 128);
        // The white mark is there.
        QVERIFY(CountPixels(badge, NearWhite) >= 8);
    }

    void cpuPicture() {
        const QImage cpu =
            LoadResourcePicture(QStringLiteral("CPU")).convertToFormat(QImage::Format_ARGB32);
        const QRgb field = qRgb(0, 162, 232);
        QCOMPARE(CountPixels(cpu, [](QRgb p) { return qAlpha(p) != 255; }), 0);

        // The top 40 % is the plain field, where the tile's text lines go;
        // so is the bottom-right corner under the tile's flag (flag box at
        // 157,127 of the 184 x 154 tile picture).
        const QRect textArea(0, 0, cpu.width(), cpu.height() * 2 / 5);
        const QRect flagArea(157 * 614 / 184, 127 * 515 / 154, 614, 515);
        QRect drawing;
        for (int y = 0; y < cpu.height(); ++y)
            for (int x = 0; x < cpu.width(); ++x) {
                if (cpu.pixel(x, y) == field)
                    continue;
                QVERIFY2(!textArea.contains(x, y) && !flagArea.contains(x, y),
                         qPrintable(QStringLiteral("drawn pixel at (%1,%2)").arg(x).arg(y)));
                drawing |= QRect(x, y, 1, 1);
            }
        // The drawing stands in the lower middle.
        QVERIFY(!drawing.isEmpty());
        QVERIFY(std::abs(drawing.center().x() - cpu.width() / 2) <= 20);
        QVERIFY(drawing.width() >= cpu.width() / 2);
        QVERIFY(drawing.top() >= cpu.height() * 2 / 5);

        // Its lines stay solid white when shrunk to the tile's 184 x 154.
        const QImage tile = cpu.scaled(184, 154, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QVERIFY(CountPixels(tile, NearWhite) >= 300);
    }

    void layoutPictures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("colourType");
        QTest::newRow("CLOCK") << "CLOCK" << QSize(261, 297) << 4; // grey and alpha
        QTest::newRow("BTN_SAIR") << "BTN_SAIR" << QSize(48, 48) << 6;
        QTest::newRow("BTN_ATUALIZAR") << "BTN_ATUALIZAR" << QSize(48, 48) << 6;
    }

    void layoutPictures() {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(int, colourType);
        const QImage image = LoadResourcePicture(name);
        QCOMPARE(image.size(), size);
        VerifyCornersTransparent(image);
        const TPngHeader h = StoredPngHeader(QStringLiteral(":/pictures/%1.png").arg(name));
        QCOMPARE(h.bitDepth, 8);
        QCOMPARE(h.colourType, colourType);
        QCOMPARE(h.interlace, 0);
    }

    void clockIsBlackOutline() {
        const QImage clock = LoadResourcePicture(QStringLiteral("CLOCK"));
        QCOMPARE(CountPixels(clock,
                             [](QRgb p) { return qRed(p) != qGreen(p) || qGreen(p) != qBlue(p); }),
                 0);
        const int black =
            CountPixels(clock, [](QRgb p) { return qAlpha(p) == 255 && qGray(p) < 40; });
        QVERIFY(black >= clock.width() * clock.height() / 10);
    }

    void buttonPictures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("red");
        QTest::newRow("BTN_SAIR") << "BTN_SAIR" << true;
        QTest::newRow("BTN_ATUALIZAR") << "BTN_ATUALIZAR" << false;
    }

    void buttonPictures() {
        QFETCH(QString, name);
        QFETCH(bool, red);
        const QImage button = LoadResourcePicture(name);
        const TMean m = AlphaWeightedMean(button);
        if (red)
            QVERIFY(m.red > 1.5 * m.blue && m.red > 1.5 * m.green);
        else
            QVERIFY(m.blue > 1.5 * m.red && m.blue > 1.2 * m.green);
        QVERIFY(CountPixels(button, NearWhite) >= 40); // the white symbol
    }

    void applicationIcon() {
        const QIcon icon = ApplicationIcon();
        const QList<QSize> available = icon.availableSizes();
        for (int size : {16, 32, 48, 64, 128, 256}) {
            QVERIFY2(available.contains(QSize(size, size)), qPrintable(QString::number(size)));
            const QImage image = icon.pixmap(QSize(size, size)).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            const QRgb centre = image.pixel(size / 2, size / 2 + size / 8);
            QVERIFY(qAlpha(centre) == 255 && qBlue(centre) > qRed(centre));
            VerifyCornersTransparent(image);
        }
    }

    void unknownNameThrows_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("unknown") << "NO_SUCH_PICTURE";
        QTest::newRow("empty") << "";
        QTest::newRow("path to another resource") << "../icon/app_16";
        QTest::newRow("with extension") << "CPU.png";
    }

    void unknownNameThrows() {
        QFETCH(QString, name);
        try {
            LoadResourcePicture(name);
            QFAIL("no exception");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1Char('"') + name + u'"'),
                     e.what());
        }
    }
};

QTEST_MAIN(TestPictures)
#include "tst_resources_pictures.moc"
