// The single-instance lock (POSIX stand-in for the named mutex) between real
// processes, its private directory, and the raise channel of the running
// panel.

#include "RaiseListener.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>
#include <cstdio>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// Child mode: takes the lock, prints its last-error value, and with "hold"
// keeps it until its standard input closes.
int ProbeLock(bool hold) {
    try {
        platform::TAppMutex mutex(platform::AppMutexName);
        std::printf("%d\n", mutex.LastError());
        std::fflush(stdout);
        if (hold) {
            char buf[16];
            while (std::fread(buf, 1, sizeof buf, stdin) > 0) {
            }
        }
    } catch (const std::exception& e) {
        std::printf("refused %s\n", e.what());
        return 2;
    }
    return 0;
}

mode_t ModeOf(const QString& path) {
    struct stat st {};
    if (lstat(path.toLocal8Bit().constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

} // namespace

class TestAppSingleInstance : public QObject {
    Q_OBJECT
    QTemporaryDir FRunA, FRunB;

    // The last-error value a fresh process reads with XDG_RUNTIME_DIR = dir.
    int ChildLastError(const QString& dir) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--probe-lock")});
        if (!child.waitForFinished(10000))
            return -1000;
        bool ok = false;
        const int value = child.readAllStandardOutput().trimmed().toInt(&ok);
        return ok ? value : -2000;
    }

private slots:
    void initTestCase() {
        QVERIFY(FRunA.isValid() && FRunB.isValid());
        QFile::setPermissions(FRunA.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(FRunB.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", FRunA.path().toLocal8Bit());
    }

    void lockBetweenProcesses_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<bool>("blocked");
        QTest::newRow("nobody holds it") << "free" << false;
        QTest::newRow("held by this process") << "held" << true;
        QTest::newRow("released by closing") << "released" << false;
        QTest::newRow("held under another runtime dir") << "other-dir" << false;
        QTest::newRow("holder killed") << "killed" << false;
        QTest::newRow("held by another process") << "other-process" << true;
    }
    void lockBetweenProcesses() {
        QFETCH(QString, situation);
        QFETCH(bool, blocked);
        QString probeDir = FRunA.path();
        std::unique_ptr<platform::TAppMutex> mine;
        QProcess holder;
        if (situation == "held" || situation == "other-dir") {
            mine = std::make_unique<platform::TAppMutex>(platform::AppMutexName);
            QCOMPARE(mine->LastError(), 0);
            // A second marker inside this very process is refused as well.
            platform::TAppMutex again(platform::AppMutexName);
            QVERIFY(again.LastError() != 0);
            if (situation == "other-dir")
                probeDir = FRunB.path();
        } else if (situation == "released") {
            platform::TAppMutex once(platform::AppMutexName);
            QCOMPARE(once.LastError(), 0);
        } else if (situation == "killed" || situation == "other-process") {
            holder.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--probe-lock"), QStringLiteral("hold")});
            QVERIFY(holder.waitForReadyRead(10000));
            QCOMPARE(holder.readAllStandardOutput().trimmed(), QByteArray("0"));
            if (situation == "killed") {
                holder.kill(); // SIGKILL: no clean-up of its own
                QVERIFY(holder.waitForFinished(10000));
            }
        }
        const int err = ChildLastError(probeDir);
        QVERIFY2(err >= 0, qPrintable(QString::number(err)));
        QCOMPARE(err != 0, blocked);
        if (holder.state() != QProcess::NotRunning) {
            holder.closeWriteChannel();
            QVERIFY(holder.waitForFinished(10000));
        }
    }

    // Without a private $XDG_RUNTIME_DIR the lock lives in a folder of this
    // user that nobody else can enter; a folder planted by someone else, or a
    // link, is refused rather than used.
    void userFolder_data() {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<bool>("refused");
        QTest::newRow("missing") << "" << false;
        QTest::newRow("ours, too open") << "open-dir" << false;
        QTest::newRow("symbolic link") << "symlink" << true;
        QTest::newRow("a file") << "file" << true;
    }
    void userFolder() {
        QFETCH(QString, planted);
        QFETCH(bool, refused);
        QTemporaryDir base;
        const QString folder = base.path() + "/painel-pesagram-" + QString::number(geteuid());
        QTemporaryDir elsewhere;
        if (planted == "open-dir") {
            QVERIFY(QDir().mkdir(folder));
            QVERIFY(chmod(folder.toLocal8Bit().constData(), 0777) == 0);
        } else if (planted == "symlink") {
            QVERIFY(QFile::link(elsewhere.path(), folder));
        } else if (planted == "file") {
            QFile f(folder);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        bool threw = false;
        try {
            QCOMPARE(QString::fromStdString(platform::UserFolderUnder(base.path().toStdString())),
                     folder);
        } catch (const std::system_error&) {
            threw = true;
        }
        QCOMPARE(threw, refused);
        if (!refused)
            QCOMPARE(ModeOf(folder) & 0777, mode_t(0700));
    }

    void runtimeDirectoryChoice_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("used");
        QTest::newRow("private") << 0700 << true;
        QTest::newRow("readable by others") << 0755 << false;
    }
    void runtimeDirectoryChoice() {
        QFETCH(int, mode);
        QFETCH(bool, used);
        QTemporaryDir dir;
        QVERIFY(chmod(dir.path().toLocal8Bit().constData(), mode_t(mode)) == 0);
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
        const QString chosen = QString::fromStdString(platform::InstanceDirectory());
        qputenv("XDG_RUNTIME_DIR", saved);
        QCOMPARE(chosen == dir.path(), used);
        if (!used)
            QCOMPARE(ModeOf(chosen) & 0777, mode_t(0700));
    }

    // The running panel raises its main window only when it is on screen and
    // the request names its title.
    void raiseRequest_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("raised");
        const QByteArray ok = "raise Pesagram - Painel de Monitoramento";
        QTest::newRow("on screen") << "shown" << ok << true;
        QTest::newRow("title in other case") << "shown" << QByteArray(ok).toUpper() << true;
        QTest::newRow("in the tray") << "tray" << ok << false;
        QTest::newRow("minimized") << "minimized" << ok << false;
        QTest::newRow("other title") << "shown" << QByteArray("raise Outro") << false;
        QTest::newRow("not a request") << "shown" << QByteArray("garbage") << false;
    }
    void raiseRequest() {
        QFETCH(QString, state);
        QFETCH(QByteArray, line);
        QFETCH(bool, raised);
        QWidget main;
        main.setWindowTitle(QStringLiteral("Pesagram - Painel de Monitoramento"));
        main.show();
        if (state == "tray") {
            main.hide();
            main.setWindowState(Qt::WindowMinimized);
        } else if (state == "minimized") {
            main.showMinimized();
        }
        QCOMPARE(TRaiseListener::HandleRequest(&main, line), raised);
    }

    // Through the channel: a second start's request reaches the listener,
    // which also replaces a socket file left behind by a killed panel.
    void raiseThroughChannel() {
        const QString channel = QString::fromStdString(platform::RaiseChannelName());
        QVERIFY(channel.startsWith(FRunA.path() + "/"));
        {
            QFile stale(channel);
            QVERIFY(stale.open(QIODevice::WriteOnly));
        }
        QWidget main, other;
        main.setWindowTitle(QStringLiteral("Pesagram - Painel de Monitoramento"));
        main.setGeometry(0, 0, 300, 200);
        other.setGeometry(50, 50, 300, 200);
        main.show();
        other.show();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);

        TRaiseListener listener(&main);
        QVERIFY(listener.Listen(channel));
        platform::TWindowHandle handle =
            platform::FindTopLevelWindow("Pesagram - Painel de Monitoramento");
        QVERIFY(handle != nullptr);
        platform::SetForegroundWindow(handle);
        platform::ReleaseWindowHandle(handle);
        QTRY_COMPARE(QApplication::activeWindow(), &main);
    }

    void noRunningPanelNoWindow() {
        QTemporaryDir empty;
        QFile::setPermissions(empty.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", empty.path().toLocal8Bit());
        platform::TWindowHandle handle = platform::FindTopLevelWindow("x");
        qputenv("XDG_RUNTIME_DIR", saved);
        QVERIFY(handle == nullptr);
    }
};

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--probe-lock")
        return ProbeLock(argc >= 3 && std::string(argv[2]) == "hold");
    QApplication app(argc, argv);
    TestAppSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app_single_instance.moc"
