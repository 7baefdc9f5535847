// The committed pictures are the drawer's output: drawing them again into an
// empty folder gives the same files, byte for byte, and no other.

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

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

} // namespace

class TestDrawer : public QObject {
    Q_OBJECT
    QTemporaryDir FOutput;
    QString FStored;

private slots:
    void initTestCase() {
        QVERIFY(FOutput.isValid());
        FStored = qEnvironmentVariable("PAINEL_SOURCE_DIR") + QStringLiteral("/resources");
        QProcess drawer;
        drawer.start(QStringLiteral(DRAW_PICTURES_PATH), {FOutput.path()});
        QVERIFY(drawer.waitForFinished(120000));
        QCOMPARE(drawer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(drawer.exitCode(), 0);
    }

    void sameFilesAsStored() {
        const QStringList drawn = DrawnFiles(FOutput.path());
        QVERIFY(drawn.contains(QStringLiteral("pictures/CPU.png")));
        QCOMPARE(DrawnFiles(FStored), drawn);
        for (const QString& file : drawn)
            QVERIFY2(
                ReadAll(FOutput.filePath(file)) == ReadAll(FStored + u'/' + file),
                qPrintable(
                    file +
                    QStringLiteral(
                        " differs from the drawer's output (build the draw_pictures target)")));
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
