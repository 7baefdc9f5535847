// The committed pictures are the drawer's output: drawing them again into an
// empty folder gives the same files, in the same PNG format and size, with the
// same pixels, and no other files.
//
// "The same pixels" allows for rounding. Qt's raster engine picks its blending
// and conversion routines by the processor's features (SSE2 ... AVX-512), and
// the antialiased edges they produce can round one level apart from one
// processor to another. So two pictures match when every channel of every
// pixel, compared premultiplied by alpha (what is seen; an unpremultiplied
// colour under an almost transparent pixel is noise), is within
// MaxLevelDifference, and at most MaxDifferingShare of the pixels differ at
// all. A change of design moves a mark or changes a colour by far more than
// that, and fails (designChangesAreRejected).
//
// Checking the tolerance against another code path (docs/reliability.md):
// draw the pictures with the processor features hidden from Qt, by setting
// qt_cpu_features after QtCore detected them and before QtGui chose its
// routines (QT_NO_CPU_FEATURE is read but matches no name in Qt 6.4), e.g.
//   gdb -batch -ex 'set breakpoint pending on' -ex 'break qDetectCpuFeatures'
//       -ex run -ex finish
//       -ex 'set {unsigned long long}(long)&qt_cpu_features = 0x8000000000000001'
//       -ex continue --args DrawPictures /tmp/sse2
// then run this test with PAINEL_DRAWN_PICTURES=/tmp/sse2: it compares that
// folder instead of drawing, and prints the figures of every picture.

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace {

// Largest difference, in levels out of 255, of one premultiplied channel.
constexpr int MaxLevelDifference = 2;
// Largest share of the pixels that may differ at all.
constexpr double MaxDifferingShare = 0.05;

QStringList DrawnFiles(const QString& root) {
    QStringList files;
    QDirIterator it(root, {QStringLiteral("*.png"), QStringLiteral("*.ico")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The PNG's IHDR fields (size, bit depth, colour type, compression, filter,
// interlace); empty when the data is no PNG.
QByteArray PngHeader(const QByteArray& png) {
    if (png.size() < 33 || !png.startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8)) ||
        png.mid(12, 4) != "IHDR")
        return {};
    return png.mid(16, 13);
}

struct TComparison {
    QString failure; // empty when the pictures match
    int differingPixels = 0;
    int maxLevel = 0;
    // The same figures for the colours as stored, not premultiplied (only shown).
    int storedDifferingPixels = 0;
    int storedMaxLevel = 0;
};

// Counts the pixels of two images of one size and format that differ, and the
// largest difference of one channel.
void CountDifferences(const QImage& a, const QImage& b, int& pixels, int& maxLevel) {
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (pa[x] == pb[x])
                continue;
            ++pixels;
            for (int shift : {0, 8, 16, 24})
                maxLevel = std::max(maxLevel, std::abs(int((pa[x] >> shift) & 0xFF) -
                                                       int((pb[x] >> shift) & 0xFF)));
        }
    }
}

TComparison CompareImages(const QImage& drawnImage, const QImage& storedImage) {
    TComparison c;
    if (drawnImage.isNull() || storedImage.isNull()) {
        c.failure = QStringLiteral("cannot be decoded");
        return c;
    }
    if (drawnImage.size() != storedImage.size()) {
        c.failure = QStringLiteral("size %1x%2, stored %3x%4")
                        .arg(drawnImage.width())
                        .arg(drawnImage.height())
                        .arg(storedImage.width())
                        .arg(storedImage.height());
        return c;
    }
    CountDifferences(drawnImage.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                     storedImage.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                     c.differingPixels, c.maxLevel);
    CountDifferences(drawnImage.convertToFormat(QImage::Format_ARGB32),
                     storedImage.convertToFormat(QImage::Format_ARGB32), c.storedDifferingPixels,
                     c.storedMaxLevel);
    const qint64 pixels = qint64(drawnImage.width()) * drawnImage.height();
    if (c.maxLevel > MaxLevelDifference)
        c.failure = QStringLiteral("a pixel differs by %1 levels (at most %2 allowed)")
                        .arg(c.maxLevel)
                        .arg(MaxLevelDifference);
    else if (c.differingPixels > MaxDifferingShare * pixels)
        c.failure = QStringLiteral("%1 of %2 pixels differ (at most %3%)")
                        .arg(c.differingPixels)
                        .arg(pixels)
                        .arg(MaxDifferingShare * 100);
    return c;
}

TComparison ComparePng(const QByteArray& drawn, const QByteArray& stored) {
    const QByteArray header = PngHeader(drawn);
    if (header.isEmpty() || header != PngHeader(stored)) {
        TComparison c;
        c.failure = QStringLiteral("PNG size or format differs");
        return c;
    }
    return CompareImages(QImage::fromData(drawn, "PNG"), QImage::fromData(stored, "PNG"));
}

// The PNG images of an icon file in the order of its directory, each with the
// directory entry that describes it; empty when the file is malformed.
QList<QPair<QByteArray, QByteArray>> IcoImages(const QByteArray& ico) {
    QList<QPair<QByteArray, QByteArray>> images;
    if (ico.size() < 6)
        return {};
    const auto* b = reinterpret_cast<const uchar*>(ico.constData());
    if (qFromLittleEndian<quint16>(b) != 0 || qFromLittleEndian<quint16>(b + 2) != 1)
        return {};
    const int count = qFromLittleEndian<quint16>(b + 4);
    if (ico.size() < 6 + 16 * count)
        return {};
    for (int i = 0; i < count; ++i) {
        const uchar* entry = b + 6 + 16 * i;
        const quint32 length = qFromLittleEndian<quint32>(entry + 8);
        const quint32 offset = qFromLittleEndian<quint32>(entry + 12);
        if (qint64(offset) + length > ico.size())
            return {};
        // The entry without its length and offset, which follow the PNG sizes.
        images.append({ico.mid(6 + 16 * i, 8), ico.mid(offset, length)});
    }
    return images;
}

TComparison CompareFile(const QString& name, const QByteArray& drawn, const QByteArray& stored) {
    if (!name.endsWith(QLatin1String(".ico")))
        return ComparePng(drawn, stored);
    TComparison total;
    const auto a = IcoImages(drawn), b = IcoImages(stored);
    if (a.isEmpty() || a.size() != b.size()) {
        total.failure = QStringLiteral("icon directory differs");
        return total;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].first != b[i].first) {
            total.failure = QStringLiteral("icon entry %1 differs").arg(i);
            return total;
        }
        const TComparison c = ComparePng(a[i].second, b[i].second);
        total.differingPixels += c.differingPixels;
        total.maxLevel = std::max(total.maxLevel, c.maxLevel);
        total.storedDifferingPixels += c.storedDifferingPixels;
        total.storedMaxLevel = std::max(total.storedMaxLevel, c.storedMaxLevel);
        if (!c.failure.isEmpty()) {
            total.failure = QStringLiteral("icon entry %1: %2").arg(i).arg(c.failure);
            return total;
        }
    }
    return total;
}

QImage Stored(const QString& file) {
    return QImage(qEnvironmentVariable("PAINEL_SOURCE_DIR") + QStringLiteral("/resources/") + file);
}

} // namespace

// A change of design made to a picture (a name of its own: Qt's type
// registry wants a normalized type name).
using TPictureChange = std::function<QImage(const QImage&)>;
Q_DECLARE_METATYPE(TPictureChange)

class TestDrawer : public QObject {
    Q_OBJECT
    QTemporaryDir FOutput;
    QString FDrawn, FStored;

private slots:
    void initTestCase() {
        FStored = qEnvironmentVariable("PAINEL_SOURCE_DIR") + QStringLiteral("/resources");
        FDrawn = qEnvironmentVariable("PAINEL_DRAWN_PICTURES");
        if (!FDrawn.isEmpty())
            return;
        QVERIFY(FOutput.isValid());
        FDrawn = FOutput.path();
        QProcess drawer;
        drawer.start(QStringLiteral(DRAW_PICTURES_PATH), {FDrawn});
        QVERIFY(drawer.waitForFinished(120000));
        QCOMPARE(drawer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(drawer.exitCode(), 0);
    }

    void sameFilesAsStored() {
        const QStringList drawn = DrawnFiles(FDrawn);
        QVERIFY(drawn.contains(QStringLiteral("pictures/CPU.png")));
        QCOMPARE(DrawnFiles(FStored), drawn);
        for (const QString& file : drawn) {
            const QByteArray a = ReadAll(FDrawn + u'/' + file), b = ReadAll(FStored + u'/' + file);
            const TComparison c = CompareFile(file, a, b);
            qInfo("%s: %s; %d pixels differ, by at most %d levels (as stored, unpremultiplied: "
                  "%d, by at most %d)",
                  qPrintable(file), a == b ? "same bytes" : "other bytes", c.differingPixels,
                  c.maxLevel, c.storedDifferingPixels, c.storedMaxLevel);
            QVERIFY2(c.failure.isEmpty(),
                     qPrintable(file + QStringLiteral(" differs from the drawer's output: ") +
                                c.failure + QStringLiteral(" (build the draw_pictures target)")));
        }
    }

    // What rounding on another processor does is accepted; what a designer
    // does is not.
    void designChangesAreRejected_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<TPictureChange>("change");
        QTest::addColumn<bool>("accepted");

        const auto roundingNoise = [](const QImage& in) {
            // One level on every 40th pixel, as a processor that rounds the
            // other way at the edges would give.
            QImage out = in.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            for (int i = 0; i < out.width() * out.height(); i += 40) {
                auto* p = reinterpret_cast<QRgb*>(out.scanLine(i / out.width())) + i % out.width();
                const int g = qGreen(*p);
                if (qAlpha(*p) > 0)
                    *p = qRgba(qRed(*p), g < qAlpha(*p) ? g + 1 : g - 1, qBlue(*p), qAlpha(*p));
            }
            return out;
        };
        const auto shifted = [](const QImage& in) {
            QImage out(in.size(), QImage::Format_ARGB32_Premultiplied);
            out.fill(Qt::transparent);
            QPainter(&out).drawImage(1, 0, in);
            return out;
        };
        const auto recoloured = [](const QImage& in) {
            // The mark a little bluer: 12 levels, hard to see side by side.
            QImage out = in.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < out.height(); ++y) {
                auto* p = reinterpret_cast<QRgb*>(out.scanLine(y));
                for (int x = 0; x < out.width(); ++x)
                    p[x] = qRgba(qRed(p[x]), qGreen(p[x]), std::min(255, qBlue(p[x]) + 12),
                                 qAlpha(p[x]));
            }
            return out;
        };
        const auto faintWash = [](const QImage& in) {
            // Every opaque pixel two levels darker: within the level bound,
            // but everywhere.
            QImage out = in.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < out.height(); ++y) {
                auto* p = reinterpret_cast<QRgb*>(out.scanLine(y));
                for (int x = 0; x < out.width(); ++x)
                    if (qAlpha(p[x]) == 255)
                        p[x] = qRgb(std::max(0, qRed(p[x]) - 2), std::max(0, qGreen(p[x]) - 2),
                                    std::max(0, qBlue(p[x]) - 2));
            }
            return out;
        };
        const auto dot = [](const QImage& in) {
            QImage out = in.convertToFormat(QImage::Format_ARGB32);
            out.setPixel(out.width() / 2, out.height() / 2, qRgba(255, 0, 255, 255));
            return out;
        };
        const auto cropped = [](const QImage& in) {
            return in.copy(0, 0, in.width() - 1, in.height());
        };

        for (const char* file : {"pictures/GREEN_CHK.png", "icon/app_32.png", "icon/app_256.png"}) {
            const QString f = QString::fromLatin1(file);
            QTest::addRow("%s unchanged", file)
                << f << std::function([](const QImage& i) { return i; }) << true;
            QTest::addRow("%s rounding noise", file) << f << std::function(roundingNoise) << true;
            QTest::addRow("%s shifted one pixel", file) << f << std::function(shifted) << false;
            QTest::addRow("%s colour changed", file) << f << std::function(recoloured) << false;
            QTest::addRow("%s darker everywhere", file) << f << std::function(faintWash) << false;
            QTest::addRow("%s one stray dot", file) << f << std::function(dot) << false;
            QTest::addRow("%s one column less", file) << f << std::function(cropped) << false;
        }
    }

    void designChangesAreRejected() {
        QFETCH(QString, file);
        QFETCH(TPictureChange, change);
        QFETCH(bool, accepted);
        const QImage stored = Stored(file);
        QVERIFY(!stored.isNull());
        const QImage changed = change(stored);
        const TComparison c = CompareImages(changed, stored);
        QVERIFY2(c.failure.isEmpty() == accepted,
                 qPrintable(QStringLiteral("%1 pixels differ, by at most %2 levels: %3")
                                .arg(c.differingPixels)
                                .arg(c.maxLevel)
                                .arg(c.failure)));
    }

    void changedPngFormatIsRejected() {
        const QByteArray stored = ReadAll(FStored + QStringLiteral("/pictures/CLOCK.png"));
        QVERIFY(!stored.isEmpty());
        // The same pixels written as RGBA instead of grey and alpha.
        QByteArray rgba;
        QBuffer buffer(&rgba);
        QVERIFY(QImage::fromData(stored, "PNG")
                    .convertToFormat(QImage::Format_ARGB32)
                    .save(&buffer, "PNG"));
        QCOMPARE(
            CompareImages(QImage::fromData(rgba, "PNG"), QImage::fromData(stored, "PNG")).failure,
            QString());
        QVERIFY(!ComparePng(rgba, stored).failure.isEmpty());
    }

    void iconEntriesAreComparedOneByOne() {
        const QByteArray ico = ReadAll(FStored + QStringLiteral("/icon/PainelPesagram.ico"));
        QVERIFY(CompareFile(QStringLiteral("x.ico"), ico, ico).failure.isEmpty());
        const auto images = IcoImages(ico);
        QCOMPARE(images.size(), 6);
        // The 48 px image shifted one pixel, written back in its place.
        QImage shifted(48, 48, QImage::Format_ARGB32);
        shifted.fill(Qt::transparent);
        QPainter(&shifted).drawImage(1, 0, QImage::fromData(images[2].second, "PNG"));
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(shifted.save(&buffer, "PNG"));
        QByteArray changed = ico.left(6 + 16 * images.size());
        quint32 offset = changed.size();
        for (qsizetype i = 0; i < images.size(); ++i) {
            const QByteArray& data = i == 2 ? png : images[i].second;
            qToLittleEndian<quint32>(quint32(data.size()), changed.data() + 6 + 16 * i + 8);
            qToLittleEndian<quint32>(offset, changed.data() + 6 + 16 * i + 12);
            offset += data.size();
        }
        for (qsizetype i = 0; i < images.size(); ++i)
            changed += i == 2 ? png : images[i].second;
        const QString failure = CompareFile(QStringLiteral("x.ico"), changed, ico).failure;
        QVERIFY2(failure.startsWith(QLatin1String("icon entry 2:")), qPrintable(failure));
        QVERIFY(!CompareFile(QStringLiteral("x.ico"), ico.left(ico.size() - 10), ico)
                     .failure.isEmpty());
    }

    void iconFileHoldsEverySize() {
        const QByteArray ico = ReadAll(FStored + QStringLiteral("/icon/PainelPesagram.ico"));
        QVERIFY(ico.size() > 6);
        const auto* b = reinterpret_cast<const uchar*>(ico.constData());
        QCOMPARE(qFromLittleEndian<quint16>(b), quint16(0));
        QCOMPARE(qFromLittleEndian<quint16>(b + 2), quint16(1));
        const int count = qFromLittleEndian<quint16>(b + 4);
        QCOMPARE(count, 6);
        QList<int> sizes;
        for (int i = 0; i < count; ++i) {
            const uchar* entry = b + 6 + 16 * i;
            const int width = entry[0] ? entry[0] : 256, height = entry[1] ? entry[1] : 256;
            const quint32 length = qFromLittleEndian<quint32>(entry + 8);
            const quint32 offset = qFromLittleEndian<quint32>(entry + 12);
            QVERIFY(qint64(offset) + length <= ico.size());
            const QImage image = QImage::fromData(ico.mid(offset, length), "PNG");
            QCOMPARE(image.size(), QSize(width, height));
            sizes << width;
        }
        QCOMPARE(sizes, QList<int>({16, 32, 48, 64, 128, 256}));
    }
};

QTEST_GUILESS_MAIN(TestDrawer)
#include "tst_resources_drawer.moc"
