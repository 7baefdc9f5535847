// The probe against a misbehaving `ping`, a result directory that goes away
// or holds a planted link, and an unusual environment (checked in a child
// process each, since the result directory is chosen once per process).

#include "HardeningSupport.h"
#include "PlatformPaths.h"
#include "TestSupport.h"
#include "UnitMonitorThread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace {

class TProbe : public TMonitorThread {
public:
    using TMonitorThread::LastPing;
    using TMonitorThread::Ping;
    using TMonitorThread::PingFailCount;
    using TMonitorThread::PingResultFile;
    using TMonitorThread::SetScalarQuery;
    using TMonitorThread::TMonitorThread;
};

std::unique_ptr<TProbe> MakeProbe(const QString& address) {
    auto t = std::make_unique<TProbe>(true, nullptr, 1, QStringLiteral("1"), address,
                                      QStringLiteral("Frios"), QStringLiteral("1"), 10,
                                      QThread::LowPriority);
    t->SetFreeOnTerminate(false);
    t->SetScalarQuery([](const QString&, const QVariantList&) { return QVariant(true); });
    return t;
}

// Child mode: one scale at 127.0.0.1 monitored by its thread until it has
// probed, then stopped; prints what the parent checks.
int RunChild(int argc, char** argv) {
    QApplication app(argc, argv);
    auto t = MakeProbe(QStringLiteral("127.0.0.1"));
    const QString file = t->PingResultFile();
    t->Start();
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(file) && clock.elapsed() < 10000)
        QTest::qWait(20);
    QTest::qWait(200); // let the probe read its answer
    t->Terminate();
    t->WaitFor();
    std::printf("status=%s\nfile=%s\nleft=%d\nwine=%s\n",
                qPrintable(t->PingInfo.scale_comm_status_str), qPrintable(file),
                QFileInfo::exists(file) ? 1 : 0,
                platform::NativePathOf("C:\\Vadmo\\x.mdb").c_str());
    return 0;
}

} // namespace

class TestHardeningProbe : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FRoot;
    QString FRunDir;
    std::unique_ptr<TFakePing> FPing;

private slots:
    void initTestCase() {
        QVERIFY(FRoot.isValid());
        FRunDir = testsupport::UsePrivateRuntimeDir(FRoot.path());
        FPing = std::make_unique<TFakePing>();
    }

    // One probe against a ping that misbehaves: the state it leaves, and
    // whether the probe counted (stamped) or was dropped to be run again.
    void misbehavingPing_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<int>("responseTime");
        QTest::addColumn<bool>("stamped");
        const QString online = QStringLiteral("Comunicando");
        const QString offline = QStringLiteral("Sem comunicação");
        QTest::newRow("ping missing from PATH") << "nopath" << offline << 0 << true;
        QTest::newRow("10 MB, reply line at the end (beyond what is read)")
            << "big 10485760" << offline << 0 << true;
        QTest::newRow("reply line, then 10 MB") << "bigreply 10485760" << online << 1 << true;
        QTest::newRow("binary garbage") << "garbage" << offline << 0 << true;
        QTest::newRow("negative time") << "time -5" << online << 65531 << true;
        QTest::newRow("time of 70000 ms") << "time 70000" << online << 70000 - 65536 << true;
        // A time no 32-bit number can hold fails the probe, which reports
        // nothing: the state stays, and the next pass probes again.
        QTest::newRow("huge time") << "time 99999999999"
                                   << "stale" << 77 << false;
        QTest::newRow("huge fraction") << "time 99999999999.5"
                                       << "stale" << 77 << false;
    }
    void misbehavingPing() {
        QFETCH(QString, mode);
        QFETCH(QString, statusText);
        QFETCH(int, responseTime);
        QFETCH(bool, stamped);
        static int n = 0;
        const QString address = QStringLiteral("10.77.0.%1").arg(++n);
        QByteArray path = qgetenv("PATH");
        if (mode == "nopath")
            qputenv("PATH", FRoot.filePath(QStringLiteral("empty")).toUtf8());
        else
            FPing->SetMode(address, mode);
        auto t = MakeProbe(address);
        t->PingInfo.response_time = 77;
        t->PingInfo.scale_comm_status_str = QStringLiteral("stale");
        const QDateTime before = t->LastPing();
        t->Ping();
        qputenv("PATH", path);
        QCOMPARE(t->PingInfo.scale_comm_status_str, statusText);
        QCOMPARE(int(t->PingInfo.response_time), responseTime);
        QCOMPARE(t->LastPing() != before, stamped);
        // The result file is read only up to its first 64 KB; it stays until
        // the thread ends.
        QVERIFY(QFileInfo(t->PingResultFile()).isFile());
        QFile::remove(t->PingResultFile());
    }

    // The result directory vanishes (or a file takes its place): the shell
    // cannot redirect, ping is not even run, and the probe drops the attempt
    // without harm; once the directory is back the next probe counts.
    void resultDirectoryGone() {
        auto t = MakeProbe(QStringLiteral("10.77.1.1"));
        const QString moved = FRunDir + QStringLiteral(".away");
        QVERIFY(QDir().rename(FRunDir, moved));
        QFile blocker(FRunDir);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        FPing->ClearCalls();
        t->Ping();
        QCOMPARE(FPing->Calls().size(), 0);
        QCOMPARE(t->PingInfo.sent, 0u);
        QVERIFY(blocker.remove());
        QVERIFY(QDir().rename(moved, FRunDir));
        t->Ping();
        QCOMPARE(t->PingInfo.scale_comm_status_str, QStringLiteral("Comunicando"));
        QFile::remove(t->PingResultFile());
    }

    // A link planted under the result file's name must not lead the probe's
    // output into the file it points to.
    void plantedLinkIsNotFollowed() {
        auto t = MakeProbe(QStringLiteral("10.77.2.1"));
        const QString victim = FRoot.filePath(QStringLiteral("victim"));
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write("precious\n");
        v.close();
        QVERIFY(QFile::link(victim, t->PingResultFile()));
        t->Ping();
        QFile check(victim);
        QVERIFY(check.open(QIODevice::ReadOnly));
        const QByteArray content = check.readAll();
        QCOMPARE(content, QByteArray("precious\n"));
        QFile::remove(t->PingResultFile());
    }

    // Where the result file goes in an unusual environment, that the probe
    // works there, that the thread removes its file and the process the
    // directory it made.
    void environment_data() {
        QTest::addColumn<QStringList>("unset");
        QTest::addColumn<QString>("tmpdir");  // "" keeps it; relative to the temporary root
        QTest::addColumn<QString>("runtime"); // "" unsets it; "private", "open"
        QTest::addColumn<bool>("inRuntime");  // the file lands in XDG_RUNTIME_DIR
        QTest::newRow("no HOME") << QStringList{"HOME", "WINEPREFIX"} << QString() << "private"
                                 << true;
        QTest::newRow("no XDG_RUNTIME_DIR")
            << QStringList{"XDG_RUNTIME_DIR"} << "tmp" << QString() << false;
        QTest::newRow("TMPDIR with blanks and a quote")
            << QStringList{"XDG_RUNTIME_DIR"} << "tmp dir with 'blanks' $(x)" << QString() << false;
        QTest::newRow("XDG_RUNTIME_DIR writable by all") << QStringList() << "tmp"
                                                         << "open" << false;
        QTest::newRow("no HOME, no XDG_RUNTIME_DIR, no TMPDIR")
            << QStringList{"HOME", "WINEPREFIX", "XDG_RUNTIME_DIR", "TMPDIR"} << QString()
            << QString() << false;
    }
    void environment() {
        QFETCH(QStringList, unset);
        QFETCH(QString, tmpdir);
        QFETCH(QString, runtime);
        QFETCH(bool, inRuntime);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        QTemporaryDir root;
        if (!tmpdir.isEmpty()) {
            QVERIFY(QDir().mkpath(root.filePath(tmpdir)));
            env.insert("TMPDIR", root.filePath(tmpdir));
        }
        const QString runDir = root.filePath(QStringLiteral("run"));
        if (!runtime.isEmpty()) {
            QVERIFY(QDir().mkpath(runDir));
            chmod(runDir.toLocal8Bit().constData(), runtime == "open" ? 0777 : 0700);
            env.insert("XDG_RUNTIME_DIR", runDir);
        }
        for (const QString& name : unset)
            env.remove(name);
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"--child"});
        QVERIFY(child.waitForFinished(30000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 qPrintable(out + child.readAllStandardError()));
        QHash<QString, QString> field;
        for (const QString& line : out.split('\n', Qt::SkipEmptyParts))
            field.insert(line.section('=', 0, 0), line.section('=', 1));
        QCOMPARE(field["status"], QStringLiteral("Comunicando"));
        QCOMPARE(field["left"], QStringLiteral("0"));
        const QString dir = QFileInfo(field["file"]).path();
        if (inRuntime) {
            QCOMPARE(dir, runDir);
        } else {
            QVERIFY2(QFileInfo(dir).fileName().startsWith("painel-pesagram-"), qPrintable(dir));
            if (!tmpdir.isEmpty())
                QCOMPARE(QFileInfo(dir).path(), root.filePath(tmpdir));
            QVERIFY2(!QFileInfo::exists(dir), qPrintable(dir)); // removed at exit
        }
        QVERIFY2(field["wine"].endsWith("/.wine/drive_c/Vadmo/x.mdb") || env.contains("WINEPREFIX"),
                 qPrintable(field["wine"]));
        QVERIFY(field["wine"].startsWith('/'));
    }
};

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return RunChild(argc, argv);
    QApplication app(argc, argv);
    TestHardeningProbe test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hardening_probe.moc"
