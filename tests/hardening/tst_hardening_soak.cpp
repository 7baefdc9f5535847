// A long run in a short time: 300 scales whose ping answers, stays silent or
// answers slowly, many refreshes with filter clicks between and around them,
// then the close. Run under AddressSanitizer/LeakSanitizer it must end with
// no error and no leak. PAINEL_SOAK_REFRESHES and PAINEL_SOAK_SCALES change
// its size (50 refreshes of 300 scales by default).
//
// Then 300 scales checked against a database that another process rewrites
// in place, page by page, all the time: no thread may end for it.
// PAINEL_SOAK_WRITE_SECONDS changes its length (20 s by default).

#include "Components.h"
#include "HardeningSupport.h"
#include "MdbReaderEngine.h"
#include "TPanel.h"
#include "TestSupport.h"
#include "ToolButton.h"
#include "UnitDMMain.h"
#include "UnitMain.h"
#include "UnitMonitorThread.h"
#include "UnitWait.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <memory>

class TestHardeningSoak : public QObject {
    Q_OBJECT

private slots:
    void soak() {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString database = testsupport::UseWinePrefix(root.path());
        const QString runDir = testsupport::UsePrivateRuntimeDir(root.path());
        TFakePing ping;

        const int refreshes = qEnvironmentVariableIntValue("PAINEL_SOAK_REFRESHES") > 0
                                  ? qEnvironmentVariableIntValue("PAINEL_SOAK_REFRESHES")
                                  : 50;
        const int count = qEnvironmentVariableIntValue("PAINEL_SOAK_SCALES") > 0
                              ? qEnvironmentVariableIntValue("PAINEL_SOAK_SCALES")
                              : 300;
        std::vector<THardScale> scales;
        for (int i = 0; i < count; ++i) {
            const std::string address =
                "10.50." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
            scales.push_back(
                {std::int64_t(i + 1), address, std::int64_t(i % 3 + 1), i % 7 != 0, i % 4 != 0});
            static const char* const modes[] = {"",       "silent", "slow 0.3", "garbage",
                                                "silent", "",       "slow 1"};
            ping.SetMode(QString::fromStdString(address), QString::fromLatin1(modes[i % 7]));
        }
        QDir().mkpath(QFileInfo(database).path());
        mdbw::WriteMdb(database.toStdString(),
                       {HardScaleTable(scales),
                        HardSectTable({{1, "Frios"}, {2, "A\xc3\xa7ougue"}, {3, "Padaria"}})});

        TBoxCloser boxes;
        auto form = std::make_unique<TfrmMain>();
        form->FormCreate();
        QCOMPARE(form->MonitorThreadList->size(), count);
        frmWait = new TfrmWait;
        QCheckBox* boxesToClick[] = {form->chkOffline, form->chkOnline, form->chkOutdated,
                                     form->chkInactive};
        QRandomGenerator random(20261210);
        QElapsedTimer clock;
        clock.start();
        for (int round = 0; round < refreshes; ++round) {
            // Clicks land while the threads post their changes, right before
            // the refresh and queued to run right after it.
            for (int k = 0; k < 3; ++k) {
                QCheckBox* box = boxesToClick[random.bounded(4)];
                QTimer::singleShot(random.bounded(50), box, [box] { box->click(); });
            }
            QTest::qWait(random.bounded(50, 300));
            boxesToClick[random.bounded(4)]->click();
            QTimer::singleShot(0, form->chkOnline, [&] { form->chkOnline->click(); });
            form->btnAtualizar->click();
            QCOMPARE(form->MonitorThreadList->size(), count);
        }
        const qint64 ran = clock.elapsed();
        QTest::qWait(200);
        clock.restart();
        form->close();
        qInfo("%d refreshes of %d scales in %lld ms; close in %lld ms", refreshes, count, ran,
              clock.elapsed());
        QVERIFY2(boxes.Texts.isEmpty(), qPrintable(boxes.Texts.join("|")));
        QVERIFY(!form->MonitorThreadList);
        QCOMPARE(QDir(runDir).entryList({QStringLiteral("p*.txt")}, QDir::Files), QStringList());
        form.reset();
        delete frmWait;
        frmWait = nullptr;
    }

    // The management software writes the database while the panel reads it.
    // Another process rewrites the file in place, page by page (4096 bytes)
    // with small sleeps, every 200 ms, alternating two versions whose tables
    // stand on different pages: a reading that meets a write finds pages of
    // both. Every thread must still be running when the panel closes.
    void rewrittenWhileRead() {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString database = testsupport::UseWinePrefix(root.path());
        testsupport::UsePrivateRuntimeDir(root.path());
        TFakePing ping; // every scale answers

        const int seconds = qEnvironmentVariableIntValue("PAINEL_SOAK_WRITE_SECONDS") > 0
                                ? qEnvironmentVariableIntValue("PAINEL_SOAK_WRITE_SECONDS")
                                : 20;
        // A rewrite every 200 ms; the sanitizer build, several times slower
        // at reading, gives the reader the same share of quiet time with a
        // longer one (PAINEL_SOAK_WRITE_INTERVAL_MS).
        const int interval = qEnvironmentVariableIntValue("PAINEL_SOAK_WRITE_INTERVAL_MS") > 0
                                 ? qEnvironmentVariableIntValue("PAINEL_SOAK_WRITE_INTERVAL_MS")
                                 : 200;
        const int count = qEnvironmentVariableIntValue("PAINEL_SOAK_SCALES") > 0
                              ? qEnvironmentVariableIntValue("PAINEL_SOAK_SCALES")
                              : 300;
        std::vector<THardScale> first, second;
        for (int i = 0; i < count; ++i) {
            const std::string address =
                "10.60." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
            first.push_back(
                {std::int64_t(i + 1), address, std::int64_t(i % 3 + 1), i % 7 != 0, i % 4 != 0});
            second.push_back(
                {std::int64_t(i + 1), address, std::int64_t(i % 3 + 1), i % 5 != 0, i % 2 != 0});
        }
        const std::vector<std::pair<int, std::string>> sectors = {
            {1, "Frios"}, {2, "A\xc3\xa7ougue"}, {3, "Padaria"}};
        const QString a = root.filePath(QStringLiteral("a.mdb"));
        const QString b = root.filePath(QStringLiteral("b.mdb"));
        mdbw::WriteMdb(a.toStdString(), {HardScaleTable(first), HardSectTable(sectors)});
        mdbw::WriteMdb(b.toStdString(), {HardSectTable(sectors), HardScaleTable(second)});
        QCOMPARE(QFileInfo(a).size(), QFileInfo(b).size());
        QDir().mkpath(QFileInfo(database).path());
        QVERIFY(QFile::copy(a, database));

        TBoxCloser boxes;
        auto form = std::make_unique<TfrmMain>();
        form->FormCreate();
        QCOMPARE(form->MonitorThreadList->size(), count);
        frmWait = new TfrmWait;
        auto* engine = dynamic_cast<TMdbReaderEngine*>(DMMain->FDCMain->Engine());
        QVERIFY2(engine, "the built-in reader reads the database");

        // This program itself, started again as the writer (see main).
        const QString writes = root.filePath(QStringLiteral("writes.log"));
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--rewrite"), a, b, database, writes, QString::number(seconds),
                      QString::number(interval)});
        QVERIFY(writer.waitForStarted());

        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < seconds * 1000)
            QTest::qWait(100);
        QVERIFY(writer.waitForFinished(30000));
        QCOMPARE(writer.exitCode(), 0);

        int endedEarly = 0;
        for (TMonitorThread* thread : *form->MonitorThreadList)
            endedEarly += thread->Finished() ? 1 : 0;
        QFile log(writes);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> took = log.readAll().split('\n');
        qint64 writeMs = 0;
        int rewrites = 0;
        for (const QByteArray& ms : took) {
            if (!ms.isEmpty()) {
                writeMs += ms.toLongLong();
                ++rewrites;
            }
        }
        qInfo("%d scales, %d s: %d rewrites of %lld pages (%lld ms each on average); "
              "%d statements, %d read again, %d file versions read; %d threads ended early",
              count, seconds, rewrites, QFileInfo(a).size() / 4096,
              rewrites ? writeMs / rewrites : 0, engine->Statements(), engine->Retries(),
              engine->FileReads(), endedEarly);
        const int retries = engine->Retries();
        form->close();
        QVERIFY2(boxes.Texts.isEmpty(), qPrintable(boxes.Texts.join("|")));
        form.reset();
        delete frmWait;
        frmWait = nullptr;

        // The soak shows something only when readings did meet writes.
        QVERIFY2(rewrites >= seconds * 1000 / interval / 5, "the writer did not keep writing");
        QVERIFY2(retries > 0, "no reading met a write");
        QCOMPARE(endedEarly, 0);
    }
};

namespace {

// The writer of rewrittenWhileRead: for `seconds`, rewrites `database` in
// place with the pages of `second` and `first` in turn, one 4096-byte page at
// a time with a 2 ms sleep after each; a rewrite starts `interval` ms after
// the one before it began (at once when that one took longer). Appends how long each
// rewrite took, in milliseconds, as a line to `log`.
int Rewrite(const char* first, const char* second, const char* database, const char* log,
            int seconds, int interval) {
    QFile a(QString::fromLocal8Bit(first)), b(QString::fromLocal8Bit(second));
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
        return 2;
    const QByteArray versions[] = {b.readAll(), a.readAll()};
    QFile target(QString::fromLocal8Bit(database));
    QFile times(QString::fromLocal8Bit(log));
    if (!target.open(QIODevice::ReadWrite | QIODevice::Unbuffered) ||
        !times.open(QIODevice::Append | QIODevice::Unbuffered))
        return 2;
    const qint64 page = 4096;
    QElapsedTimer clock;
    clock.start();
    for (int n = 0; clock.elapsed() < seconds * 1000LL; ++n) {
        const QByteArray& version = versions[n % 2];
        QElapsedTimer took;
        took.start();
        for (qint64 at = 0; at < version.size(); at += page) {
            if (!target.seek(at) || target.write(version.constData() + at, page) != page)
                return 3;
            QThread::msleep(2);
        }
        const qint64 ms = took.elapsed();
        times.write(QByteArray::number(ms) + '\n');
        if (ms < interval)
            QThread::msleep(static_cast<unsigned long>(interval - ms));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 8 && std::strcmp(argv[1], "--rewrite") == 0)
        return Rewrite(argv[2], argv[3], argv[4], argv[5], std::atoi(argv[6]), std::atoi(argv[7]));
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestHardeningSoak test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_hardening_soak.moc"
