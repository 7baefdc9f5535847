// The thread facility (stop, pacing wait, blocking GUI-thread call, wait for
// the end) and the monitor loop: schedules under a settable clock, the first
// fill, the end of the body and the failure of the activity check.

#include "MonitorTestSupport.h"
#include "Resources.h"
#include "UnitDMMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <limits>
#include <stdexcept>
#include <vector>
#ifdef __linux__
#include <cerrno>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// How long a monitor may take to show its first result: long enough for a
// busy machine; the wait ends as soon as the result shows.
constexpr int StartTimeout = 30000;

// A thread whose body is a function.
class TBodyThread : public TThread {
public:
    explicit TBodyThread(std::function<void(TBodyThread&)> body)
        : TThread(true), FBody(std::move(body)) {}
    ~TBodyThread() override {
        Terminate();
        WaitFor();
    }
    using TThread::Sleep;

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(TBodyThread&)> FBody;
};

// Answers of the activity check's two queries, and the queries asked.
struct TScalarAnswers {
    std::mutex Lock;
    QVariant Used = true;
    QVariant Updated = true;
    QStringList Asked;
    bool OnGuiThread = true;

    TMonitorThread::TScalarQuery Function() {
        return [this](const QString& sql, const QVariantList& params) {
            std::lock_guard<std::mutex> guard(Lock);
            OnGuiThread = OnGuiThread && TThread::IsGuiThread();
            Asked << sql + QLatin1Char('|') + params.value(0).toString();
            return sql.contains(QStringLiteral("SC_Used")) ? Used : Updated;
        };
    }
    int Count() {
        std::lock_guard<std::mutex> guard(Lock);
        return int(Asked.size());
    }
};

// A monitor of `stored` driven pass by pass on this thread, under a clock
// that starts now and that the test sets, with the database answered by the
// test (the activity check then runs at once, this thread being the caller).
struct TDrivenMonitor {
    explicit TDrivenMonitor(const QString& stored) : Thread(MakeMonitor(stored)) {
        Thread->SetClock(Clock.Function());
        Thread->SetScalarQuery(Db.Function());
    }
    TFakeClock Clock{QDateTime::currentDateTime()};
    const QDateTime T0 = Clock.Now();
    TScalarAnswers Db;
    std::unique_ptr<TTestMonitor> Thread;
};

} // namespace

class TestMonitorThread : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakePing> FPing;

private slots:
    void initTestCase() { FPing = std::make_unique<TFakePing>(QStringLiteral("canned")); }

    // ----------------------------------------------------------- facility

    void synchronizeCarriesResultsAndFailures() {
        std::atomic<bool> ranOnGui{false};
        std::atomic<int> result{0};
        QString failure;
        TBodyThread t([&](TBodyThread&) {
            int value = 0;
            TThread::Synchronize([&] {
                ranOnGui = TThread::IsGuiThread();
                value = 42;
            });
            result = value;
            try {
                TThread::Synchronize([] { throw std::runtime_error("boom"); });
            } catch (const std::runtime_error& e) {
                failure = QString::fromUtf8(e.what());
            }
        });
        t.SetFreeOnTerminate(false);
        t.Start();
        QTRY_VERIFY(t.Finished());
        t.WaitFor();
        QVERIFY(ranOnGui);
        QCOMPARE(int(result), 42);
        QCOMPARE(failure, QStringLiteral("boom"));

        // On the GUI thread the call runs at once, and failures come straight
        // back.
        bool ran = false;
        TThread::Synchronize([&] { ran = true; });
        QVERIFY(ran);
        QVERIFY_THROWS_EXCEPTION(std::logic_error,
                                 TThread::Synchronize([] { throw std::logic_error("x"); }));
    }

    void sleepAndStop() {
        QElapsedTimer timer;
        std::atomic<qint64> zeroSleep{-1};
        TBodyThread t([&](TBodyThread& self) {
            // The shortest of several: on a busy machine any one of them may
            // lose the processor for a while.
            qint64 shortest = std::numeric_limits<qint64>::max();
            for (int i = 0; i < 10; ++i) {
                QElapsedTimer z;
                z.start();
                self.Sleep(0);
                shortest = std::min(shortest, z.elapsed());
            }
            zeroSleep = shortest;
            self.Sleep(600000);
        });
        t.SetFreeOnTerminate(false);
        t.Start();
        QTRY_VERIFY(zeroSleep >= 0);
        QVERIFY(zeroSleep < 50);
        QVERIFY(!t.Finished());
        timer.start();
        t.Terminate();
        t.WaitFor();
        QVERIFY(timer.elapsed() < 2000);
        QVERIFY(t.Terminated() && t.Finished());
    }

    // A wake-up ends the wait in progress, or the next one, and asks for no
    // stop.
    void wakeUpEndsTheWaitOnly() {
        std::atomic<int> returns{0};
        std::atomic<bool> go{false};
        TBodyThread t([&](TBodyThread& self) {
            while (!go)
                QThread::msleep(1);
            while (!self.Terminated()) {
                self.Sleep(600000);
                ++returns;
            }
        });
        t.SetFreeOnTerminate(false);
        t.WakeUp(); // before the body waits: ends its first wait
        t.Start();
        go = true;
        QTRY_COMPARE(int(returns), 1);
        QTest::qWait(100);
        QCOMPARE(int(returns), 1);
        t.WakeUp();
        QTRY_COMPARE(int(returns), 2);
        QVERIFY(!t.Terminated() && !t.Finished());
        t.Terminate();
        t.WaitFor();
        QCOMPARE(int(returns), 3);
    }

    // While the GUI thread waits, it serves the blocking calls and nothing
    // else.
    void waitForServesSynchronizeOnly() {
        std::atomic<bool> served{false};
        TBodyThread t([&](TBodyThread& self) {
            TThread::Synchronize([&] { served = true; });
            while (!self.Terminated())
                self.Sleep(100);
        });
        t.SetFreeOnTerminate(false);
        bool otherEventRan = false;
        QTimer::singleShot(0, this, [&] { otherEventRan = true; });
        t.Start();
        QTest::qSleep(50); // the body is now blocked in its call
        t.Terminate();
        t.WaitFor();
        QVERIFY(served);
        QVERIFY(t.Finished());
        QVERIFY(!otherEventRan);
        QTRY_VERIFY(otherEventRan);
    }

    // A burst of blocking calls does not hold the event loop: other events
    // get their turn between parts of it.
    void synchronizeBurstYieldsToEvents() {
        const int n = 16;
        std::mutex lock;
        QStringList order;
        std::vector<std::unique_ptr<TBodyThread>> threads;
        for (int i = 0; i < n; ++i) {
            threads.push_back(std::make_unique<TBodyThread>([&](TBodyThread&) {
                TThread::Synchronize([&] {
                    QTest::qSleep(3);
                    std::lock_guard<std::mutex> guard(lock);
                    order << QStringLiteral("call");
                });
            }));
            threads.back()->SetFreeOnTerminate(false);
            threads.back()->Start();
        }
        QTest::qSleep(200); // every call is pending now
        QTimer::singleShot(0, this, [&] {
            std::lock_guard<std::mutex> guard(lock);
            order << QStringLiteral("event");
        });
        QTRY_COMPARE(order.size(), n + 1);
        const qsizetype at = order.indexOf(QStringLiteral("event"));
        QVERIFY2(at > 0 && at < n, qPrintable(QString::number(at)));
        for (auto& t : threads)
            t->WaitFor();
    }

    void waitForNeverStartedOrEnded() {
        TBodyThread never([](TBodyThread&) {});
        never.SetFreeOnTerminate(false);
        QVERIFY(never.Suspended());
        never.Terminate();
        never.WaitFor(); // returns at once

        TBodyThread ended([](TBodyThread&) {});
        ended.SetFreeOnTerminate(false);
        ended.Start();
        ended.WaitFor();
        ended.WaitFor();
        QVERIFY(ended.Finished() && !ended.Suspended());
    }

    void freeOnTerminate() {
        auto* t = new TBodyThread([](TBodyThread&) {});
        QPointer<TBodyThread> alive(t);
        QVERIFY(t->FreeOnTerminate());
        t->Start();
        QTRY_VERIFY(alive.isNull());
    }

#ifdef __linux__
    // Qt leaves ordinary threads' priorities alone on Linux: a low priority
    // is the thread's nice value and the batch policy, which the commands it
    // starts inherit.
    void lowPriorityLowersTheThread_data() {
        QTest::addColumn<int>("priority");
        QTest::addColumn<int>("steps");
        QTest::newRow("normal") << int(QThread::NormalPriority) << 0;
        QTest::newRow("inherit") << int(QThread::InheritPriority) << 0;
        QTest::newRow("low") << int(QThread::LowPriority) << 5;
        QTest::newRow("lowest") << int(QThread::LowestPriority) << 10;
    }

    void lowPriorityLowersTheThread() {
        QFETCH(int, priority);
        QFETCH(int, steps);
        auto niceOf = [](pid_t task) {
            errno = 0;
            const int value = getpriority(PRIO_PROCESS, static_cast<id_t>(task));
            return errno == 0 ? value : -100;
        };
        std::atomic<int> threadNice{-100};
        std::atomic<int> childNice{-100};
        std::atomic<int> threadPolicy{-1};
        std::atomic<int> childPolicy{-1};
        TBodyThread t([&](TBodyThread&) {
            threadNice = niceOf(gettid());
            threadPolicy = sched_getscheduler(0);
            const pid_t child = fork();
            // Nice value (0..39 once shifted) and policy (0..5) in one exit code.
            if (child == 0)
                _exit(sched_getscheduler(0) * 40 + getpriority(PRIO_PROCESS, 0) + 20);
            int status = 0;
            if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
                childNice = WEXITSTATUS(status) % 40 - 20;
                childPolicy = WEXITSTATUS(status) / 40;
            }
        });
        t.SetFreeOnTerminate(false);
        t.SetThreadPriority(static_cast<QThread::Priority>(priority));
        t.Start();
        t.WaitFor();
        const int expected = std::min(niceOf(gettid()) + steps, 19);
        QCOMPARE(threadNice.load(), expected);
        QCOMPARE(childNice.load(), expected);
        const int policy = steps > 0 ? SCHED_BATCH : sched_getscheduler(0);
        QCOMPARE(threadPolicy.load(), policy);
        QCOMPARE(childPolicy.load(), policy);
    }
#endif

    // ---------------------------------------------------------- schedules

    // Passes driven one by one on this thread under a settable clock; the
    // activity check then runs at once, as the GUI thread is the caller.
    void schedules() {
        const QString a = QStringLiteral("10.9.4.1");
        FPing->SetOutput(a, LinuxReply(a, QStringLiteral("2")));
        TDrivenMonitor driven(a);
        auto& [clock, t0, db, t] = driven;

        // The first pass runs the check, the probe and the presentation.
        QCOMPARE(int(t->MonitorPass()), 2);
        QCOMPARE(db.Count(), 2);
        QCOMPARE(FPing->Calls(a), 1);
        QCOMPARE(t->UpdateStatus.update_status, susUpdated);
        QCOMPARE(t->LastPing(), t0);

        struct TStep {
            int msAfter;
            int counter;
            int checks;
            int probes;
        };
        const TStep steps[] = {
            {100, 0, 2, 1},   {5999, 0, 2, 1},  {6000, 1, 4, 1},  {10999, 0, 4, 1},
            {11000, 1, 4, 2}, {12000, 1, 6, 2}, {17999, 0, 6, 2}, {18000, 1, 8, 2},
            {21999, 0, 8, 2}, {22000, 1, 8, 3},
        };
        for (const TStep& s : steps) {
            clock.Set(t0.addMSecs(s.msAfter));
            const QByteArray at = QByteArray::number(s.msAfter) + " ms after the first pass";
            QVERIFY2(int(t->MonitorPass()) == s.counter, at);
            QVERIFY2(db.Count() == s.checks, at);
            QVERIFY2(FPing->Calls(a) == s.probes, at);
        }

        // A failed probe is retried once a whole second has passed.
        FPing->SetOutput(a, LinuxNoReply(a));
        clock.Set(t0.addMSecs(33000));
        QCOMPARE(int(t->MonitorPass()), 2);
        QCOMPARE(t->PingInterval(), quint16(500));
        clock.Set(t0.addMSecs(33999));
        QCOMPARE(int(t->MonitorPass()), 0);
        clock.Set(t0.addMSecs(34000));
        QCOMPARE(int(t->MonitorPass()), 1);
        QCOMPARE(FPing->Calls(a), 5);

        // A clock set back by an hour makes both due at once.
        clock.Set(t0.addSecs(-3600));
        QCOMPARE(int(t->MonitorPass()), 2);
        QCOMPARE(FPing->Calls(a), 6);
    }

    // The wait after a pass runs until the next check or probe is due, within
    // the 100 ms pacing and the longest wait.
    void nextPassWait() {
        const QString a = QStringLiteral("10.9.4.3");
        FPing->SetOutput(a, LinuxReply(a, QStringLiteral("2")));
        TDrivenMonitor driven(a);
        auto& [clock, t0, db, t] = driven;
        QCOMPARE(int(t->MonitorPass()), 2); // check and probe at t0
        struct TStep {
            qint64 msAfter;
            quint32 wait;
        };
        // The check is due at 6000 ms, the probe at 11000 ms; a clock set
        // back or forward makes them due.
        for (const TStep& s : {TStep{0, 6000}, TStep{5200, 800}, TStep{5950, 100}, TStep{6000, 100},
                               TStep{-1, 100}, TStep{-3600000, 100}, TStep{3600000, 100}}) {
            clock.Set(t0.addMSecs(s.msAfter));
            QVERIFY2(t->NextPassWait() == s.wait, QByteArray::number(s.msAfter));
        }
        // A failed probe at 11000 ms is retried 1000 ms later.
        FPing->SetOutput(a, LinuxNoReply(a));
        clock.Set(t0.addMSecs(11000));
        QCOMPARE(int(t->MonitorPass()), 2);
        QCOMPARE(t->PingInterval(), quint16(500));
        clock.Set(t0.addMSecs(11300));
        QCOMPARE(t->NextPassWait(), quint32(700));
        // An inactive scale waits for its next check alone, although its
        // probe is due.
        db.Used = false;
        clock.Set(t0.addMSecs(17000));
        QCOMPARE(int(t->MonitorPass()), 2);
        QCOMPARE(t->UpdateStatus.update_status, susInactive);
        clock.Set(t0.addMSecs(22200));
        QCOMPARE(t->NextPassWait(), quint32(800));
    }

    void inactiveScale() {
        const QString a = QStringLiteral("10.9.4.2");
        FPing->SetOutput(a, LinuxReply(a, QStringLiteral("2")));
        TDrivenMonitor driven(QStringLiteral(" 10.9.4.2 "));
        auto& [clock, t0, db, t] = driven;
        db.Used = false;

        QCOMPARE(int(t->MonitorPass()), 2);
        QCOMPARE(t->UpdateStatus.update_status, susInactive);
        QCOMPARE(db.Asked, QStringList{QStringLiteral(
                               "SELECT SC_Used FROM SCALE WHERE SC_IP = :ip| 10.9.4.2 ")});
        QCOMPARE(FPing->Calls(a), 0);
        // Not probed, and presented at every pass.
        for (int i = 1; i <= 3; ++i) {
            clock.Set(t0.addMSecs(i * 100));
            QCOMPARE(int(t->MonitorPass()), 1);
        }
        QCOMPARE(FPing->Calls(a), 0);

        // In use again: probed in the same pass as the check that finds it.
        db.Used = qlonglong(-1);
        db.Updated = QStringLiteral("False");
        clock.Set(t0.addMSecs(6000));
        QCOMPARE(int(t->MonitorPass()), 2);
        QCOMPARE(t->UpdateStatus.update_status, susOutdated);
        QCOMPARE(t->UpdateStatus.update_status_str, QStringLiteral("Desatualizada"));
        QCOMPARE(FPing->Calls(a), 1);
    }

    // -------------------------------------------------------- running loop

    void runAndStop() {
        QImage cpu, green;
        bool pictures = true;
        try {
            cpu = LoadResourcePicture(QStringLiteral("CPU"));
            green = LoadResourcePicture(QStringLiteral("GREEN_CHK"));
        } catch (const std::exception&) {
            pictures = false;
        }
        const QString a = QStringLiteral("10.9.5.1");
        FPing->SetOutput(a, LinuxReply(a, QStringLiteral("4")));
        auto t = MakeMonitor(QStringLiteral("10.9.5.1x"));
        TScalarAnswers db;
        t->SetScalarQuery(db.Function());
        TTile tile;
        tile.Bind(*t);
        t->Start();

        QTRY_COMPARE_WITH_TIMEOUT(tile.Status->text(), QStringLiteral("Comunicando"), StartTimeout);
        QCOMPARE(tile.Address->text(), a);
        QCOMPARE(tile.Name->text(), QStringLiteral("7"));
        QCOMPARE(tile.Sector->text(), QStringLiteral("Frios"));
        if (pictures) {
            QCOMPARE(tile.Picture->Picture(), cpu);
            QCOMPARE(tile.Flag->Picture(), green);
        }
        QVERIFY(db.OnGuiThread);
        QVERIFY(QFileInfo(t->PingResultFile()).isFile());

        // A stop during the pacing wait ends the body promptly and the result
        // file goes with it.
        QElapsedTimer timer;
        timer.start();
        t->Terminate();
        t->WaitFor();
        QVERIFY(timer.elapsed() < 2000);
        QVERIFY(!QFileInfo::exists(t->PingResultFile()));
    }

    // With nothing due the body sleeps instead of going round ten times a
    // second, and a filter change still reaches the tile at once.
    void idleUntilDueAndFilterWakes() {
        const QString a = QStringLiteral("10.9.5.4");
        FPing->SetOutput(a, LinuxReply(a, QStringLiteral("2")));
        auto t = MakeMonitor(a);
        TScalarAnswers db;
        t->SetScalarQuery(db.Function());
        std::atomic<int> clockReads{0};
        t->SetClock([&clockReads] {
            ++clockReads;
            return QDateTime::currentDateTime();
        });
        TTile tile;
        tile.Bind(*t);
        t->Start();
        QTRY_COMPARE_WITH_TIMEOUT(tile.Status->text(), QStringLiteral("Comunicando"), StartTimeout);
        QVERIFY(!tile.Container->isHidden());

        // The next check is about 6 s away: a 100 ms pacing would read the
        // clock some 30 times in 1.5 s.
        const int before = clockReads;
        QTest::qWait(1500);
        QVERIFY2(clockReads - before < 12, QByteArray::number(clockReads - before));
        QCOMPARE(db.Count(), 2);

        for (bool show : {false, true}) {
            QElapsedTimer timer;
            timer.start();
            t->SetShowOnline(show);
            QTRY_VERIFY_WITH_TIMEOUT(tile.Container->isHidden() == !show, 2000);
            QVERIFY2(timer.elapsed() < 1000, QByteArray::number(timer.elapsed()));
        }
        QCOMPARE(db.Count(), 2); // presented without a check or probe
        t->Terminate();
        t->WaitFor();
    }

    void endWithoutResultFile() {
        const QString a = QStringLiteral("10.9.5.2");
        FPing->SetMode(a, QStringLiteral("missing"));
        auto t = MakeMonitor(a);
        TScalarAnswers db;
        t->SetScalarQuery(db.Function());
        t->Start();
        QTRY_VERIFY(FPing->Calls(a) >= 2); // probed again at every pass
        t->Terminate();
        t->WaitFor();
        QVERIFY(t->Finished());
        QVERIFY(!QFileInfo::exists(t->PingResultFile()));
    }

    // A thread blocked in its activity check while the GUI thread waits for
    // it still ends.
    void stopWhileBlockedInCheck() {
        auto t = MakeMonitor(QStringLiteral("10.9.5.3"));
        TScalarAnswers db;
        db.Used = false;
        t->SetScalarQuery(db.Function());
        t->Start();
        QTest::qSleep(300); // no events served: the first pass waits for its check
        QCOMPARE(db.Count(), 0);
        t->Terminate();
        QElapsedTimer timer;
        timer.start();
        t->WaitFor();
        QVERIFY(timer.elapsed() < 2000);
        QVERIFY(t->Finished());
        QCOMPARE(db.Count(), 1); // carried out by the wait
        QVERIFY(db.OnGuiThread);
        QCOMPARE(t->UpdateStatus.update_status, susInactive);
    }

    // Many threads at once, as a roster: filter flags flipped while they run,
    // then each stopped, waited for and freed in turn right after its tile.
    void rosterRunAndShutdown() {
        const int n = 24;
        std::vector<std::unique_ptr<TTestMonitor>> threads;
        std::vector<std::unique_ptr<TTile>> tiles;
        std::vector<std::unique_ptr<TScalarAnswers>> answers;
        for (int i = 0; i < n; ++i) {
            const QString a = QStringLiteral("10.9.7.%1").arg(i + 1);
            FPing->SetOutput(a, i % 3 == 0 ? LinuxNoReply(a) : LinuxReply(a, QStringLiteral("3")));
            answers.push_back(std::make_unique<TScalarAnswers>());
            answers.back()->Used = i % 4 != 0; // every fourth one inactive
            threads.push_back(MakeMonitor(a));
            tiles.push_back(std::make_unique<TTile>());
            tiles.back()->Bind(*threads.back());
            threads.back()->SetScalarQuery(answers.back()->Function());
            threads.back()->Start();
        }
        QTRY_VERIFY([&] {
            for (auto& tile : tiles)
                if (tile->Status->text().isEmpty() ||
                    tile->Status->text() == QStringLiteral("Aguardando"))
                    return false;
            return true;
        }());
        for (auto& t : threads) {
            t->SetShowInactive(false);
            t->SetShowOffline(false);
        }
        // An inactive scale follows its filter within a pass or two.
        QTRY_VERIFY(tiles[0]->Container->isHidden());
        QVERIFY(!tiles[1]->Container->isHidden()); // online and updated
        for (int i = 0; i < n; ++i) {
            threads[size_t(i)]->Terminate();
            threads[size_t(i)]->WaitFor();
            QVERIFY(threads[size_t(i)]->Finished());
            tiles[size_t(i)].reset();
            threads[size_t(i)].reset();
        }
        QCoreApplication::processEvents(); // changes still queued go nowhere
    }

    // A failed activity check ends the body silently: the records, the
    // schedule and the result file stay, the tile keeps its first fill.
    void failedCheckEndsThread_data() {
        QTest::addColumn<QVariant>("used");
        QTest::addColumn<QVariant>("updated");
        QTest::addColumn<bool>("realConnection");
        QTest::newRow("SC_Used NULL") << QVariant::fromValue(nullptr) << QVariant(true) << false;
        QTest::newRow("SC_PLUUpdated NULL")
            << QVariant(true) << QVariant::fromValue(nullptr) << false;
        QTest::newRow("text that is no truth value")
            << QVariant(QStringLiteral("talvez")) << QVariant(true) << false;
        QTest::newRow("connection cannot open") << QVariant() << QVariant() << true;
    }
    void failedCheckEndsThread() {
        QFETCH(QVariant, used);
        QFETCH(QVariant, updated);
        QFETCH(bool, realConnection);
        TFDConnection connection;
        connection.SetParam(QStringLiteral("Database"),
                            QStringLiteral("C:\\painel-test\\no-such-file.mdb"));
        auto t = MakeMonitor(QStringLiteral("10.9.6.1"), &connection);
        TScalarAnswers db;
        db.Used = used;
        db.Updated = updated;
        if (!realConnection)
            t->SetScalarQuery(db.Function());
        TTile tile;
        tile.Bind(*t);
        const QDateTime lastCheck = t->LastUpdateCheck();
        QFile leftover(t->PingResultFile());
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();

        t->Start();
        QTRY_VERIFY(t->Finished());
        QCOMPARE(t->UpdateStatus.update_status, susOutdated);
        QCOMPARE(t->LastUpdateCheck(), lastCheck);
        // Ended by the failure, the thread still takes its result file along.
        QVERIFY(!QFileInfo::exists(t->PingResultFile()));
        QCoreApplication::processEvents();
        QCOMPARE(tile.Status->text(), QStringLiteral("Aguardando"));

        QElapsedTimer timer;
        timer.start();
        t->Terminate();
        t->WaitFor();
        QVERIFY(timer.elapsed() < 500);
        QFile::remove(t->PingResultFile());
    }
};

QTEST_MAIN(TestMonitorThread)
#include "tst_monitor_thread.moc"
