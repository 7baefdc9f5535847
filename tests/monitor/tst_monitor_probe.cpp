// The reachability probe, driven through a fake `ping` first on PATH that
// prints canned output per address (no real address is ever pinged).

#include "MonitorTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <thread>

Q_DECLARE_METATYPE(TScaleCommStatus)

class TestMonitorProbe : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakePing> FPing;

private slots:
    void initTestCase() { FPing = std::make_unique<TFakePing>(QStringLiteral("canned")); }

    // One probe from a fresh thread; "-" in an expectation means unchanged
    // from the marks set before the run (response time 77, interval 1234,
    // status text "stale").
    void outcome_data() {
        QTest::addColumn<QString>("output"); // canned output, or a mode
        QTest::addColumn<quint32>("sent");
        QTest::addColumn<quint32>("received");
        QTest::addColumn<quint32>("fail");
        QTest::addColumn<int>("failCount");
        QTest::addColumn<int>("responseTime");
        QTest::addColumn<TScaleCommStatus>("status");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("stamped");
        QTest::addColumn<QString>("statusText");

        const QString a = QStringLiteral("10.9.0.1");
        QTest::newRow("reply under 1 ms")
            << LinuxReply(a, QStringLiteral("0.045")) << 1u << 1u << 0u << 0 << 1 << ssOnline
            << 10000 << true << QStringLiteral("Comunicando");
        QTest::newRow("reply 12.3 ms")
            << LinuxReply(a, QStringLiteral("12.3")) << 1u << 1u << 0u << 0 << 12 << ssOnline
            << 10000 << true << QStringLiteral("Comunicando");
        QTest::newRow("only the first reply line")
            << QStringLiteral("x\n64 bytes from %1: time=5 ms\n64 bytes from %1: time=9 ms\n")
                   .arg(a)
            << 1u << 1u << 0u << 0 << 5 << ssOnline << 10000 << true
            << QStringLiteral("Comunicando");
        QTest::newRow("no reply") << LinuxNoReply(a) << 1u << 0u << 1u << 1 << 0 << ssOffline << 500
                                  << true << QStringLiteral("Sem comunicação");
        QTest::newRow("reply marker alone")
            << QStringLiteral("64 bytes from %1: icmp_seq=1 ttl=64\n").arg(a) << 1u << 0u << 1u << 1
            << 0 << ssOffline << 500 << true << QStringLiteral("Sem comunicação");
        QTest::newRow("empty file") << QString() << 1u << 0u << 1u << 1 << 0 << ssOffline << 500
                                    << true << QStringLiteral("Sem comunicação");
        QTest::newRow("missing file")
            << QStringLiteral("mode:missing") << 0u << 0u << 0u << 0 << 77 << ssOffline << 1234
            << false << QStringLiteral("Sem comunicação");
        QTest::newRow("unreadable file")
            << QStringLiteral("mode:unreadable") << 1u << 0u << 0u << 0 << 77 << ssOffline << 1234
            << false << QStringLiteral("stale");
        QTest::newRow("time no whole number")
            << QStringLiteral("64 bytes from %1: icmp_seq=1 time=abc ms\n").arg(a) << 1u << 1u << 0u
            << 0 << 77 << ssOffline << 1234 << false << QStringLiteral("stale");
    }
    void outcome() {
        QFETCH(QString, output);
        QFETCH(quint32, sent);
        QFETCH(quint32, received);
        QFETCH(quint32, fail);
        QFETCH(int, failCount);
        QFETCH(int, responseTime);
        QFETCH(TScaleCommStatus, status);
        QFETCH(int, interval);
        QFETCH(bool, stamped);
        QFETCH(QString, statusText);

        static int n = 0;
        const QString address = QStringLiteral("10.9.1.%1").arg(++n);
        if (output.startsWith(QStringLiteral("mode:")))
            FPing->SetMode(address, output.mid(5));
        else
            FPing->SetOutput(address, output.replace(QStringLiteral("10.9.0.1"), address));
        auto t = MakeMonitor(address);
        t->PingInfo.response_time = 77;
        t->PingInfo.scale_comm_status_str = QStringLiteral("stale");
        t->SetPingInterval(1234);
        const QDateTime lastPing = t->LastPing();
        const QDateTime offline = t->PingInfo.last_time_offline;

        t->Ping();

        QCOMPARE(FPing->Calls(address), 1);
        QCOMPARE(t->PingInfo.sent, sent);
        QCOMPARE(t->PingInfo.received, received);
        QCOMPARE(t->PingInfo.fail, fail);
        QCOMPARE(int(t->PingFailCount()), failCount);
        QCOMPARE(int(t->PingInfo.response_time), responseTime);
        QCOMPARE(t->PingInfo.scale_comm_status, status);
        QCOMPARE(int(t->PingInterval()), interval);
        QCOMPARE(t->PingInfo.scale_comm_status_str, statusText);
        if (stamped) {
            QVERIFY(t->LastPing().secsTo(QDateTime::currentDateTime()) < 5);
            QVERIFY(t->StrListAux().isEmpty());
            QCOMPARE(t->PingInfo.rate, quint8(received == 1 ? 100 : 0));
        } else {
            QCOMPARE(t->LastPing(), lastPing);
        }
        if (status == ssOnline)
            QVERIFY(!t->PingInfo.last_time_offline.isValid());
        else
            QCOMPARE(t->PingInfo.last_time_offline, offline);
    }

    // A scale that stops answering while online, then answers again.
    void failureSequence() {
        const QString a = QStringLiteral("10.9.2.1");
        auto t = MakeMonitor(a);
        FPing->SetOutput(a, LinuxReply(a, QStringLiteral("3.1")));
        t->Ping();
        QCOMPARE(t->PingInfo.scale_comm_status, ssOnline);
        QVERIFY(!t->PingInfo.last_time_offline.isValid());

        FPing->SetOutput(a, LinuxNoReply(a));
        for (int i = 1; i <= 3; ++i) {
            t->Ping();
            QCOMPARE(int(t->PingFailCount()), i);
            QCOMPARE(t->PingInfo.scale_comm_status, ssOnline);
            QCOMPARE(t->PingInfo.scale_comm_status_str, QStringLiteral("Comunicando"));
            QCOMPARE(t->PingInfo.response_time, quint16(0));
            QCOMPARE(t->PingInterval(), quint16(500));
            QVERIFY(!t->PingInfo.last_time_offline.isValid());
        }
        const QDateTime before = QDateTime::currentDateTime();
        t->Ping();
        QCOMPARE(t->PingInfo.scale_comm_status, ssOffline);
        QCOMPARE(t->PingInfo.scale_comm_status_str, QStringLiteral("Sem comunicação"));
        QCOMPARE(t->PingInterval(), quint16(10000));
        const QDateTime wentOffline = t->PingInfo.last_time_offline;
        QVERIFY(wentOffline >= before);

        // Far beyond 255 failures in a row: the count stops there.
        for (int i = 5; i <= 260; ++i)
            t->Ping();
        QCOMPARE(int(t->PingFailCount()), 255);
        QCOMPARE(t->PingInfo.scale_comm_status, ssOffline);
        QCOMPARE(t->PingInterval(), quint16(10000));
        QCOMPARE(t->PingInfo.last_time_offline, wentOffline);
        QCOMPARE(t->PingInfo.fail, 260u);

        FPing->SetOutput(a, LinuxReply(a, QStringLiteral("8")));
        t->Ping();
        QCOMPARE(t->PingInfo.scale_comm_status, ssOnline);
        QCOMPARE(int(t->PingFailCount()), 0);
        QCOMPARE(t->PingInfo.response_time, quint16(8));
        QVERIFY(!t->PingInfo.last_time_offline.isValid());
        QCOMPARE(t->PingInfo.sent, 262u);
        QCOMPARE(t->PingInfo.rate, quint8(2 * 100 / 262));
    }

    // A scale never answered: offline at the 4th failure, keeping the
    // construction time as the moment it went offline.
    void neverAnswered() {
        const QString a = QStringLiteral("10.9.2.2");
        FPing->SetOutput(a, LinuxNoReply(a));
        auto t = MakeMonitor(a);
        const QDateTime built = t->PingInfo.last_time_offline;
        for (int i = 0; i < 4; ++i)
            t->Ping();
        QCOMPARE(t->PingInfo.scale_comm_status, ssOffline);
        QCOMPARE(t->PingInterval(), quint16(10000));
        QCOMPARE(t->PingInfo.last_time_offline, built);
    }

    void rateAndWrap_data() {
        QTest::addColumn<quint32>("sent");
        QTest::addColumn<quint32>("fail");
        QTest::addColumn<bool>("reply");
        QTest::addColumn<int>("rate");
        QTest::addColumn<quint32>("sentAfter");
        QTest::newRow("2 of 3 answered") << 2u << 1u << true << 66 << 3u;
        QTest::newRow("none answered") << 2u << 2u << false << 0 << 3u;
        QTest::newRow("wrap with reply") << 4294967294u << 10u << true << 99 << 0u;
        QTest::newRow("wrap all failed") << 4294967294u << 4294967294u << false << 0 << 0u;
    }
    void rateAndWrap() {
        QFETCH(quint32, sent);
        QFETCH(quint32, fail);
        QFETCH(bool, reply);
        QFETCH(int, rate);
        QFETCH(quint32, sentAfter);
        const QString a = QStringLiteral("10.9.3.1");
        FPing->SetOutput(a, reply ? LinuxReply(a, QStringLiteral("1")) : LinuxNoReply(a));
        auto t = MakeMonitor(a);
        t->PingInfo.sent = sent;
        t->PingInfo.fail = fail;
        t->PingInfo.received = sent - fail;
        t->Ping();
        QCOMPARE(int(t->PingInfo.rate), rate);
        QCOMPARE(t->PingInfo.sent, sentAfter);
        if (sentAfter == 0)
            QVERIFY(t->PingInfo.fail == 0 && t->PingInfo.received == 0);
    }

    // The probe that brings `sent` to its last value resets the counters
    // however it ends: a result file that cannot be read or a time that is no
    // number must not leave `sent` to wrap to 0 at the next probe (whose rate
    // would then divide by zero).
    void wrapOnFailedProbe_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("output");
        const QString a = QStringLiteral("10.9.3.2");
        QTest::newRow("unreadable file") << QStringLiteral("unreadable") << QString();
        QTest::newRow("time no whole number")
            << QString() << QStringLiteral("64 bytes from %1: icmp_seq=1 time=abc ms\n").arg(a);
    }
    void wrapOnFailedProbe() {
        QFETCH(QString, mode);
        QFETCH(QString, output);
        const QString a = QStringLiteral("10.9.3.2");
        FPing->SetMode(a, mode);
        FPing->SetOutput(a, output);
        auto t = MakeMonitor(a);
        t->PingInfo.sent = 4294967294u;
        t->PingInfo.fail = 10;
        t->PingInfo.received = 4294967294u - 10;
        t->Ping();
        QCOMPARE(t->PingInfo.sent, 0u);
        QCOMPARE(t->PingInfo.received, 0u);
        QCOMPARE(t->PingInfo.fail, 0u);

        // The next probes count from 0 again.
        FPing->SetMode(a, QString());
        FPing->SetOutput(a, LinuxReply(a, QStringLiteral("2")));
        t->Ping();
        QCOMPARE(t->PingInfo.sent, 1u);
        QCOMPARE(int(t->PingInfo.rate), 100);
        QCOMPARE(t->PingInfo.scale_comm_status, ssOnline);
    }

    // A probe whose ping is in flight when the thread is asked to stop: the
    // command ends at once, its result file goes, and the probe changes
    // nothing (not counted, no stamp, status text as it was), even with a
    // reply already in the file; a probe after the stop runs nothing.
    void stopEndsProbeInFlight() {
        const QString a = QStringLiteral("10.9.4.1");
        FPing->SetMode(a, QStringLiteral("stuck 30"));
        auto t = MakeMonitor(a);
        t->PingInfo.sent = 5;
        t->PingInfo.fail = 2;
        t->PingInfo.received = 3;
        t->PingInfo.rate = 60;
        t->PingInfo.response_time = 77;
        t->PingInfo.scale_comm_status_str = QStringLiteral("stale");
        t->SetPingInterval(1234);
        const TPingInfo before = t->PingInfo;
        const QDateTime lastPing = t->LastPing();

        std::thread probe([&] { t->Ping(); });
        QTRY_COMPARE(FPing->Calls(a), 1);
        // The reply is in the file before the stop.
        QTRY_VERIFY(QFile(t->PingResultFile()).size() > 0);
        QElapsedTimer clock;
        clock.start();
        t->Terminate();
        probe.join();
        qInfo("stop to the probe's return: %lld ms", clock.elapsed());
        QVERIFY(clock.elapsed() < 5000); // the ping sleeps 30 s
        QVERIFY(!QFile::exists(t->PingResultFile()));
        QCOMPARE(t->PingInfo.sent, before.sent);
        QCOMPARE(t->PingInfo.received, before.received);
        QCOMPARE(t->PingInfo.fail, before.fail);
        QCOMPARE(t->PingInfo.rate, before.rate);
        QCOMPARE(t->PingInfo.response_time, before.response_time);
        QCOMPARE(t->PingInfo.scale_comm_status, before.scale_comm_status);
        QCOMPARE(t->PingInfo.scale_comm_status_str, before.scale_comm_status_str);
        QCOMPARE(t->PingInfo.last_time_offline, before.last_time_offline);
        QCOMPARE(int(t->PingFailCount()), 0);
        QCOMPARE(int(t->PingInterval()), 1234);
        QCOMPARE(t->LastPing(), lastPing);

        t->Ping();
        QCOMPARE(FPing->Calls(a), 1);
        QCOMPARE(t->PingInfo.sent, before.sent);
        FPing->SetMode(a, QString());
    }

    // The real ping, against loopback only.
    void loopback() {
        auto t = MakeMonitor(QStringLiteral("127.0.0.1"));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", path.mid(path.indexOf(':') + 1)); // without the fake
        t->Ping();
        qputenv("PATH", path);
        if (t->PingInfo.sent == 0 || t->PingInfo.received == 0)
            QSKIP("the system's ping does not answer on loopback here");
        QCOMPARE(t->PingInfo.scale_comm_status, ssOnline);
        QVERIFY(t->PingInfo.response_time >= 1);
    }
};

QTEST_GUILESS_MAIN(TestMonitorProbe)
#include "tst_monitor_probe.moc"
