// The hidden command runner: without a stop request it waits, without a
// time-out, for the command's end; a stop request ends the command in flight
// at once with every process it started, reaps them and removes the result
// file; commands started together run side by side; and nothing it started
// outlives a program killed with SIGKILL.

#include "HiddenProcess.h"
#include "UnitUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

QString Quoted(const QString& path) {
    return QLatin1Char('\'') + path + QLatin1Char('\'');
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Waits up to `ms` for `path` to hold a line; its first line then.
QByteArray WaitForLine(const QString& path, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        const QByteArray text = ReadAll(path);
        if (text.endsWith('\n'))
            return text.trimmed();
        QThread::msleep(5);
    }
    return {};
}

// The processes of group `group` ("pid state" each), zombies included unless
// `liveOnly`.
QStringList GroupMembers(qint64 group, bool liveOnly) {
    QStringList found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        bool number = false;
        pid.toLongLong(&number);
        if (!number)
            continue;
        const QByteArray stat = ReadAll(QStringLiteral("/proc/%1/stat").arg(pid));
        // Fields after the command name (which may hold blanks): state ppid pgrp ...
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 3 || fields.at(2).toLongLong() != group)
            continue;
        if (liveOnly && fields.at(0) == "Z")
            continue;
        found << pid + QLatin1Char(' ') + QString::fromLatin1(fields.at(0));
    }
    return found;
}

// Runs the command in the background of the test; Stop() raises its stop
// request and waits for the runner's return.
class TBackgroundRun {
public:
    TBackgroundRun(const QString& command, const QString& result)
        : FThread([this, command, result] {
              FEnd =
                  platform::RunHiddenAndWait(command.toStdString(), &FStop, result.toStdString());
              FReturned = std::chrono::steady_clock::now();
          }) {}
    ~TBackgroundRun() {
        FStop.Raise();
        if (FThread.joinable())
            FThread.join();
    }
    // Milliseconds from the stop request to the runner's return.
    qint64 Stop() {
        const auto raised = std::chrono::steady_clock::now();
        FStop.Raise();
        FThread.join();
        return std::chrono::duration_cast<std::chrono::milliseconds>(FReturned - raised).count();
    }
    platform::TRunEnd End() const { return FEnd; }

private:
    platform::TStopSignal FStop;
    platform::TRunEnd FEnd = platform::TRunEnd::Ended;
    std::chrono::steady_clock::time_point FReturned;
    std::thread FThread;
};

// The helper process of killedProgram: runs the command on a thread of its own
// (as a monitor thread does) and waits to be killed.
int RunUntilKilled(const char* command) {
    std::thread runner([command] { platform::RunHiddenAndWait(command); });
    runner.join();
    return 0;
}

// How long a stop may take in these tests. The runner itself needs a few
// milliseconds (about 20 here, against the 30 s of the command); the bound
// leaves room for a machine busy with other work.
constexpr qint64 StopBoundMs = 1000;

} // namespace

class TestHiddenProcess : public QObject {
    Q_OBJECT
    QTemporaryDir FDir;

    QString Path(const QString& name) const { return FDir.filePath(name); }

private slots:
    // A command that waits 30 s, in several shapes: every process of it ends
    // at the stop request, none is left (not even unreaped), and the result
    // file it was writing is gone.
    void stopEndsCommandInFlight_data() {
        QTest::addColumn<QString>("shape"); // %1: the result file
        QTest::newRow("foreground sleep") << QStringLiteral("sleep 30 > %1");
        QTest::newRow("pipeline") << QStringLiteral("sleep 30 | cat > %1");
        QTest::newRow("child ignoring TERM, HUP and INT")
            << QStringLiteral("sh -c 'trap \"\" TERM HUP INT; sleep 30' > %1");
        QTest::newRow("background job waited for") << QStringLiteral("sleep 30 > %1 & wait");
    }
    void stopEndsCommandInFlight() {
        QFETCH(QString, shape);
        const QString group = Path(QStringLiteral("group"));
        const QString result = Path(QStringLiteral("result.txt"));
        QFile::remove(group);
        QFile::remove(result);
        // $$ is the shell's process id, which names the command's group.
        const QString command =
            QStringLiteral("echo $$ > %1; ").arg(Quoted(group)) + shape.arg(Quoted(result));
        TBackgroundRun run(command, result);
        const qint64 pgid = WaitForLine(group, 20000).toLongLong();
        QVERIFY2(pgid > 0, "the command did not start");
        QElapsedTimer settle;
        settle.start();
        while (!QFile::exists(result) && settle.elapsed() < 20000)
            QThread::msleep(5);
        QVERIFY(QFile::exists(result));
        QVERIFY(GroupMembers(pgid, true).size() >= 2);

        const qint64 ms = run.Stop();
        qInfo("stop request to return: %lld ms", ms);
        QVERIFY2(ms < StopBoundMs, qPrintable(QStringLiteral("took %1 ms").arg(ms)));
        QCOMPARE(int(run.End()), int(platform::TRunEnd::Stopped));
        QCOMPARE(GroupMembers(pgid, false), QStringList());
        QVERIFY(!QFile::exists(result));
    }

    // Without a stop request the runner waits for the command's end, however
    // long it takes, and leaves its result alone; the same with a stop signal
    // that is never raised.
    void commandEndingByItself() {
        const QString result = Path(QStringLiteral("done.txt"));
        const QString command = QStringLiteral("sleep 0.3; echo done > %1").arg(Quoted(result));
        QElapsedTimer t;
        t.start();
        QVERIFY(ExecuteAndWait(QStringLiteral("  ") + command + QStringLiteral(" \t")));
        QVERIFY(t.elapsed() >= 300);
        QCOMPARE(ReadAll(result), QByteArray("done\n"));

        QFile::remove(result);
        platform::TStopSignal stop;
        t.restart();
        QCOMPARE(
            int(platform::RunHiddenAndWait(command.toStdString(), &stop, result.toStdString())),
            int(platform::TRunEnd::Ended));
        QVERIFY(t.elapsed() >= 300);
        QCOMPARE(ReadAll(result), QByteArray("done\n"));
        QVERIFY(ExecuteAndWait(command, &stop, result));
    }

    // Many commands started together, more than the processors, each waiting
    // a second: they run side by side (a command that waits holds up the
    // start of no other for longer than a moment) and all end normally.
    // Twice, so that every place taken was given back.
    void commandsStartedTogether() {
        const int runs = 4 * static_cast<int>(std::max(2u, std::thread::hardware_concurrency()));
        for (int round = 0; round < 2; ++round) {
            QElapsedTimer t;
            t.start();
            std::vector<std::thread> threads;
            std::atomic<int> ended{0};
            for (int i = 0; i < runs; ++i) {
                const QString result = Path(QStringLiteral("together-%1-%2").arg(round).arg(i));
                threads.emplace_back([&ended, result] {
                    const QString command =
                        QStringLiteral("sleep 1; echo done > %1").arg(Quoted(result));
                    if (platform::RunHiddenAndWait(command.toStdString()) ==
                        platform::TRunEnd::Ended)
                        ++ended;
                });
            }
            for (std::thread& thread : threads)
                thread.join();
            // One after the other they would take `runs` seconds.
            QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
            QCOMPARE(ended.load(), runs);
            for (int i = 0; i < runs; ++i)
                QCOMPARE(ReadAll(Path(QStringLiteral("together-%1-%2").arg(round).arg(i))),
                         QByteArray("done\n"));
        }
    }

    // A stop raised before the run: nothing is started, and the result file
    // (left by an earlier run) goes.
    void stopBeforeRun() {
        const QString marker = Path(QStringLiteral("ran"));
        const QString result = Path(QStringLiteral("before.txt"));
        QFile f(result);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        platform::TStopSignal stop;
        stop.Raise();
        QVERIFY(!ExecuteAndWait(QStringLiteral("touch %1").arg(Quoted(marker)), &stop, result));
        QThread::msleep(100);
        QVERIFY(!QFile::exists(marker));
        QVERIFY(!QFile::exists(result));
    }

    // Stop requests that meet the start of the command at every moment: each
    // run returns at once, none waits for the 30 s.
    void stopRacingTheStart() {
        for (int i = 0; i < 40; ++i) {
            const QString result = Path(QStringLiteral("race.txt"));
            TBackgroundRun run(QStringLiteral("sleep 30 > %1").arg(Quoted(result)), result);
            std::this_thread::sleep_for(std::chrono::microseconds(250 * (i % 8)));
            const qint64 ms = run.Stop();
            QVERIFY2(ms < StopBoundMs,
                     qPrintable(QStringLiteral("run %1 took %2 ms").arg(i).arg(ms)));
            QCOMPARE(int(run.End()), int(platform::TRunEnd::Stopped));
            QVERIFY(!QFile::exists(result));
        }
    }

    // A program killed with SIGKILL while its command runs: the command and
    // everything it started end within a second.
    void killedProgram() {
        const QString group = Path(QStringLiteral("killed-group"));
        QFile::remove(group);
        // Started with posix_spawn rather than QProcess, whose own way of
        // forking ThreadSanitizer does not follow.
        std::string self = QCoreApplication::applicationFilePath().toStdString();
        std::string option = "--run-until-killed";
        std::string command =
            QStringLiteral("echo $$ > %1; sleep 30 | cat").arg(Quoted(group)).toStdString();
        char* argv[] = {self.data(), option.data(), command.data(), nullptr};
        pid_t helper = 0;
        QCOMPARE(posix_spawn(&helper, self.c_str(), nullptr, nullptr, argv, environ), 0);
        const qint64 pgid = WaitForLine(group, 20000).toLongLong();
        if (pgid <= 0)
            kill(helper, SIGKILL);
        QVERIFY2(pgid > 0, "the helper's command did not start");
        // The shell, `sleep` and `cat` (and the job's own shell, if any).
        QTRY_VERIFY_WITH_TIMEOUT(GroupMembers(pgid, true).size() >= 3, 20000);
        kill(helper, SIGKILL);
        int status = 0;
        QCOMPARE(waitpid(helper, &status, 0), helper);
        QVERIFY(WIFSIGNALED(status));
        QElapsedTimer t;
        t.start();
        while (!GroupMembers(pgid, true).isEmpty() && t.elapsed() < 1000)
            QThread::msleep(10);
        QCOMPARE(GroupMembers(pgid, true), QStringList());
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--run-until-killed") == 0)
        return RunUntilKilled(argv[2]);
    QCoreApplication app(argc, argv);
    TestHiddenProcess test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_util_hiddenprocess.moc"
