// The probe's pieces on Windows (run under Wine): the Portuguese markers of
// Windows' ping, the reply time read out of Windows output, and the whole
// path of one probe: %WINDIR%\System32\cmd.exe runs `ping` (the fake one of
// the tests, first on PATH) with its output redirected into a file in %TEMP%,
// which is read back as lines.

#include "PlatformPaths.h"
#include "UnitMonitorThread.h"
#include "UnitUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

#include <windows.h>

#include <optional>

class TestWindowsProbe : public QObject {
    Q_OBJECT

private slots:
    void markersAreWindowsPortuguese();
    void replyTime_data();
    void replyTime();
    void oneProbeThroughCmd_data();
    void oneProbeThroughCmd();
};

void TestWindowsProbe::markersAreWindowsPortuguese() {
    const TPingTextMarkers m = PlatformPingMarkers();
    QCOMPARE(m.Reply, QStringLiteral("Resposta de"));
    QCOMPARE(m.Time, QStringLiteral("tempo"));
    QCOMPARE(m.Unit, QStringLiteral("ms"));
}

void TestWindowsProbe::replyTime_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("time"); // "-" for no reply line
    QTest::addColumn<int>("ms");
    const QString head = QStringLiteral("Disparando 10.1.1.2 com 32 bytes de dados:");
    QTest::newRow("reply 12 ms")
        << QStringList{QString(), head,
                       QStringLiteral("Resposta de 10.1.1.2: bytes=32 tempo=12ms TTL=64")}
        << "12" << 12;
    QTest::newRow("reply under 1 ms")
        << QStringList{head, QStringLiteral("Resposta de 10.1.1.2: bytes=32 tempo<1ms TTL=128")}
        << "1" << 1;
    QTest::newRow("time-out") << QStringList{head,
                                             QStringLiteral("Esgotado o tempo limite do pedido.")}
                              << "-" << 0;
    QTest::newRow("unreachable host answers without a time")
        << QStringList{head,
                       QStringLiteral("Resposta de 10.1.1.9: Host de destino inacess\u00edvel.")}
        << "-" << 0;
    QTest::newRow("English output of Wine's own ping is no reply")
        << QStringList{QStringLiteral("Reply from 127.0.0.1: bytes=32 time<1ms TTL=64")} << "-"
        << 0;
}

void TestWindowsProbe::replyTime() {
    QFETCH(QStringList, lines);
    QFETCH(QString, time);
    QFETCH(int, ms);
    const std::optional<QString> found = FindReplyTimeText(lines, PlatformPingMarkers());
    if (time == QLatin1String("-")) {
        QVERIFY(!found);
        return;
    }
    QVERIFY(found);
    QCOMPARE(*found, time);
    QCOMPARE(int(ReplyTimeToMs(*found)), ms);
}

void TestWindowsProbe::oneProbeThroughCmd_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("answers");
    QTest::newRow("answering scale") << "10.1.1.2" << true;
    QTest::newRow("silent scale") << "10.1.1.3" << false;
}

void TestWindowsProbe::oneProbeThroughCmd() {
    QFETCH(QString, address);
    QFETCH(bool, answers);
    // The fake ping's folder (a Linux path, seen through drive Z:) first on
    // PATH; cmd.exe inherits it.
    const QByteArray fakeDir = qgetenv("PAINEL_FAKE_PING_DIR");
    QVERIFY(!fakeDir.isEmpty());
    const QString windowsDir =
        QStringLiteral("Z:") + QDir::toNativeSeparators(QString::fromLocal8Bit(fakeDir));
    QFile silent(QString::fromLocal8Bit(fakeDir) + QStringLiteral("/silent.txt"));
    QVERIFY(silent.open(QIODevice::WriteOnly));
    silent.write("10.1.1.3\n");
    silent.close();
    wchar_t path[32767] = {};
    GetEnvironmentVariableW(L"PATH", path, 32767);
    const std::wstring oldPath = path;
    const std::wstring newPath = windowsDir.toStdWString() + L";" + oldPath;
    SetEnvironmentVariableW(L"PATH", newPath.c_str());

    const QString file =
        QString::fromStdString(platform::PingResultDirectory() + platform::PathSeparator()) +
        QStringLiteral("p9999.txt");
    QFile::remove(file);
    const QString line = PingCommandLine(PingCommandFront(), address, file);
    const bool ran = ExecuteAndWait(line);
    SetEnvironmentVariableW(L"PATH", oldPath.c_str());
    QVERIFY(ran);

    const QStringList lines = ReadPingResultLines(file);
    QFile::remove(file);
    QVERIFY2(lines.join(QLatin1Char('|')).contains(address), qPrintable(lines.join('|')));
    for (const QString& l : lines)
        QVERIFY2(!l.endsWith(QLatin1Char('\r')), qPrintable(l));
    const std::optional<QString> time = FindReplyTimeText(lines, PlatformPingMarkers());
    QCOMPARE(time.has_value(), answers);
    if (answers)
        QCOMPARE(int(ReplyTimeToMs(*time)), 12);
}

QTEST_GUILESS_MAIN(TestWindowsProbe)
#include "tst_windows_probe.moc"
