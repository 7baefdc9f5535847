// Status model, construction, presentation rules, reply parsing and the truth
// value of query results: everything that needs no running thread.

#include "MonitorTestSupport.h"
#include "PlatformPaths.h"
#include "Resources.h"

#include <QApplication>
#include <QTest>
#include <type_traits>

static_assert(sizeof(TScaleCommStatus) == 1 && sizeof(TScaleUpdateStatus) == 1);
static_assert(std::is_same_v<decltype(TPingInfo::sent), quint32> &&
              std::is_same_v<decltype(TPingInfo::response_time), quint16> &&
              std::is_same_v<decltype(TPingInfo::rate), quint8>);

Q_DECLARE_METATYPE(TScaleCommStatus)
Q_DECLARE_METATYPE(TScaleUpdateStatus)
Q_DECLARE_METATYPE(TScaleSnapshot)

namespace {
TTileFilters Filters(bool offline, bool online, bool outdated, bool inactive) {
    TTileFilters f;
    f.ShowOffline = offline;
    f.ShowOnline = online;
    f.ShowOutdated = outdated;
    f.ShowInactive = inactive;
    return f;
}

const TPingTextMarkers kWindows{QStringLiteral("Resposta de"), QStringLiteral("tempo"),
                                QStringLiteral("ms")};
const TPingTextMarkers kLinux{QStringLiteral("bytes from"), QStringLiteral("time"),
                              QStringLiteral("ms")};
} // namespace

class TestMonitorModel : public QObject {
    Q_OBJECT
private slots:
    void statusTexts() {
        QCOMPARE(TMonitorThread::ScaleCommStatusToStr(TScaleCommStatus(0)),
                 QStringLiteral("Falha no ping"));
        QCOMPARE(TMonitorThread::ScaleCommStatusToStr(TScaleCommStatus(1)),
                 QStringLiteral("Aguardando"));
        QCOMPARE(TMonitorThread::ScaleCommStatusToStr(TScaleCommStatus(2)),
                 QStringLiteral("Comunicando"));
        QCOMPARE(TMonitorThread::ScaleCommStatusToStr(TScaleCommStatus(3)),
                 QStringLiteral("Sem comunicação"));
        QCOMPARE(TMonitorThread::ScaleUpdateStatusToStr(susUpdated), QStringLiteral("Atualizada"));
        QCOMPARE(TMonitorThread::ScaleUpdateStatusToStr(susOutdated),
                 QStringLiteral("Desatualizada"));
        QVERIFY(TMonitorThread::ScaleUpdateStatusToStr(susInactive).isNull());
    }

    void constructorState_data() {
        QTest::addColumn<quint16>("storeId");
        QTest::addColumn<quint16>("pingInterval");
        QTest::newRow("as the roster build passes") << quint16(1) << quint16(10);
        QTest::newRow("other store and interval") << quint16(9) << quint16(60000);
        QTest::newRow("zeros") << quint16(0) << quint16(0);
    }
    void constructorState() {
        QFETCH(quint16, storeId);
        QFETCH(quint16, pingInterval);
        const QDateTime before = QDateTime::currentDateTime();
        auto t = MakeMonitor(QStringLiteral("192.168.0.12"), nullptr, storeId, pingInterval);
        const QDateTime after = QDateTime::currentDateTime();

        QCOMPARE(t->PingInfo.sent, 0u);
        QCOMPARE(t->PingInfo.received, 0u);
        QCOMPARE(t->PingInfo.fail, 0u);
        QCOMPARE(t->PingInfo.response_time, quint16(0));
        QCOMPARE(t->PingInfo.rate, quint8(0));
        QCOMPARE(t->PingInfo.scale_comm_status, ssOffline);
        QCOMPARE(t->PingInfo.scale_comm_status_str, QStringLiteral("Sem comunicação"));
        QVERIFY(t->PingInfo.last_time_offline >= before && t->PingInfo.last_time_offline <= after);
        QCOMPARE(t->UpdateStatus.update_status, susOutdated);
        QCOMPARE(t->UpdateStatus.update_status_str, QStringLiteral("Desatualizada"));
        QCOMPARE(t->PingFailCount(), quint8(0));

        QCOMPARE(t->PingInterval(), quint16(10000));
        QCOMPARE(t->GetIPAddress(), QStringLiteral("192.168.0.12"));
        QCOMPARE(t->ThreadID(), QStringLiteral("192168012"));
        QCOMPARE(t->PingResultFile(),
                 QString::fromStdString(platform::PingResultDirectory() +
                                        platform::PathSeparator() + "p192168012.txt"));
        QCOMPARE(t->PingCommand(), PingCommandFront());
        QCOMPARE(t->ScaleID(), QStringLiteral("7"));
        QVERIFY(t->ShowOffline() && t->ShowOnline() && t->ShowOutdated() && t->ShowInactive());
        QVERIFY(t->Suspended());
        QCOMPARE(t->ThreadPriority(), QThread::LowPriority);
        QVERIFY(t->StrListAux().isEmpty());

        // Both schedules are due at once: 10001 s and 5001 s back.
        QVERIFY(t->LastPing() <= after.addMSecs(-10001000) &&
                t->LastPing() >= before.addMSecs(-10001000));
        QVERIFY(t->LastUpdateCheck() <= after.addMSecs(-5001000) &&
                t->LastUpdateCheck() >= before.addMSecs(-5001000));
    }

    void firstStageDefaults() {
        TTestMonitor t(true);
        t.SetFreeOnTerminate(false);
        QVERIFY(t.GetIPAddress().isEmpty());
        QVERIFY(t.PingResultFile().isEmpty());
        QCOMPARE(t.PingInterval(), quint16(10000));
        QCOMPARE(t.PingInfo.scale_comm_status, ssOffline);
        QVERIFY(t.LabelStatus() == nullptr && t.ControlContainer() == nullptr);
    }

    void storedAddressIsNormalized() {
        auto t = MakeMonitor(QStringLiteral(" 192.168.0.12 (balcão)"));
        QCOMPARE(t->GetIPAddress(), QStringLiteral("192.168.0.12"));
        QCOMPARE(t->ThreadID(), QStringLiteral("192168012"));
        QVERIFY(t->PingResultFile().endsWith(QStringLiteral("p192168012.txt")));
    }

    // Addresses that give the same digits must not share a result file.
    void sameDigitsGetOwnFiles() {
        const QString sep = QString::fromStdString(platform::PathSeparator());
        auto a = MakeMonitor(QStringLiteral("192.168.1.11"));
        auto b = MakeMonitor(QStringLiteral("192.168.11.1"));
        auto c = MakeMonitor(QStringLiteral("192.168.1.11"));
        QVERIFY(a->PingResultFile().endsWith(sep + QStringLiteral("p192168111.txt")));
        QVERIFY(b->PingResultFile().endsWith(sep + QStringLiteral("p192168111-2.txt")));
        QVERIFY(c->PingResultFile().endsWith(sep + QStringLiteral("p192168111-3.txt")));
        a.reset();
        auto d = MakeMonitor(QStringLiteral("192.168.111"));
        QVERIFY(d->PingResultFile().endsWith(sep + QStringLiteral("p192168111.txt")));
    }

    // Both tables of the presentation: for each pair of states the filter
    // flag that decides is set alone and cleared alone.
    void presentation_data() {
        QTest::addColumn<TScaleUpdateStatus>("update");
        QTest::addColumn<TScaleCommStatus>("comm");
        QTest::addColumn<int>("decidingFlag"); // 0 offline 1 online 2 outdated 3 inactive, -1 none
        QTest::addColumn<QString>("picture");

        const char* commNames[] = {"pingfail", "waiting", "online", "offline"};
        const char* updateNames[] = {"updated", "outdated", "inactive"};
        for (int u = 0; u < 3; ++u) {
            for (int c = 0; c < 4; ++c) {
                const auto update = TScaleUpdateStatus(u);
                const auto comm = TScaleCommStatus(c);
                int flag = -1;
                QString picture;
                if (update == susInactive) {
                    flag = 3;
                    picture = QStringLiteral("BLACK_CHK");
                } else if (comm == ssOnline) {
                    flag = update == susUpdated ? 1 : 2;
                    picture = update == susUpdated ? QStringLiteral("GREEN_CHK")
                                                   : QStringLiteral("YELLOW_CHK");
                } else if (comm == ssOffline) {
                    flag = 0;
                    picture = QStringLiteral("RED_CHK");
                } else if (comm == ssPingFail) {
                    picture = QStringLiteral("RED_CHK");
                }
                QTest::addRow("%s/%s", updateNames[u], commNames[c])
                    << update << comm << flag << picture;
            }
        }
    }
    void presentation() {
        QFETCH(TScaleUpdateStatus, update);
        QFETCH(TScaleCommStatus, comm);
        QFETCH(int, decidingFlag);
        QFETCH(QString, picture);
        const QString text = TMonitorThread::ScaleCommStatusToStr(comm);
        for (bool on : {true, false}) {
            bool flags[4];
            for (int i = 0; i < 4; ++i)
                flags[i] = (i == decidingFlag) ? on : !on;
            if (decidingFlag < 0)
                flags[0] = flags[1] = flags[2] = flags[3] = on;
            const TTileLook look =
                TileLookFor(update, comm, text, Filters(flags[0], flags[1], flags[2], flags[3]));
            QCOMPARE(look.StatusText, text);
            QCOMPARE(look.FlagPicture, picture);
            if (decidingFlag < 0)
                QVERIFY(!look.Visible.has_value());
            else
                QCOMPARE(look.Visible, std::optional<bool>(on));
        }
    }

    // The presentation body on a real tile, run at once on the GUI thread.
    void presentationOnTile() {
        QImage red, green;
        try {
            red = LoadResourcePicture(QStringLiteral("RED_CHK"));
            green = LoadResourcePicture(QStringLiteral("GREEN_CHK"));
        } catch (const std::exception& e) {
            QSKIP(e.what());
        }
        TTile tile;
        tile.Container->hide();
        auto t = MakeMonitor(QStringLiteral("10.0.5.1"));
        tile.Bind(*t);

        t->UpdateControls(true); // initial ssOffline, susOutdated, ShowOffline
        QVERIFY(!tile.Container->isHidden());
        QCOMPARE(tile.Status->text(), QStringLiteral("Sem comunicação"));
        QCOMPARE(tile.Flag->Picture(), red);

        t->PingInfo.scale_comm_status = ssOnline;
        t->PingInfo.scale_comm_status_str = QStringLiteral("Comunicando");
        t->UpdateStatus.update_status = susUpdated;
        t->SetShowOnline(false);
        t->UpdateControls();
        QVERIFY(tile.Container->isHidden());
        QCOMPARE(tile.Flag->Picture(), green);

        // Waiting: only the label changes.
        t->PingInfo.scale_comm_status = ssWaiting;
        t->PingInfo.scale_comm_status_str = QStringLiteral("Aguardando");
        t->UpdateControls();
        QVERIFY(tile.Container->isHidden());
        QCOMPARE(tile.Status->text(), QStringLiteral("Aguardando"));
        QCOMPARE(tile.Flag->Picture(), green);
    }

    // The tile's tooltip for the records, in every state. The locale is fixed
    // and the moments are local times, so the texts do not depend on the
    // machine's locale or time zone.
    void toolTipText_data() {
        QTest::addColumn<TScaleSnapshot>("records");
        QTest::addColumn<QString>("expected");

        const QDateTime built(QDate(2026, 3, 9), QTime(7, 5, 30));
        TScaleSnapshot base;
        base.ScaleID = QStringLiteral("7");
        base.Sector = QStringLiteral("Padaria");
        base.StoredAddress = QStringLiteral("10.0.5.7");
        base.Address = QStringLiteral("10.0.5.7");
        base.UpdateStatus.update_status = susOutdated;

        TScaleSnapshot fresh = base; // as constructed: offline since then, nothing done yet
        fresh.PingInfo.scale_comm_status = ssOffline;
        fresh.PingInfo.scale_comm_status_str = QStringLiteral("Sem comunicação");
        fresh.PingInfo.last_time_offline = built;
        QTest::newRow("no reply yet, offline since construction")
            << fresh
            << QStringLiteral("Balança 7 — Padaria\n"
                              "Endereço: 10.0.5.7\n"
                              "Comunicação: Sem comunicação\n"
                              "Tempo de resposta: sem resposta\n"
                              "Taxa de sucesso: sem pings\n"
                              "Sem comunicação desde 09/03/2026 07:05\n"
                              "Dados: Desatualizada\n"
                              "Último ping: nenhum\n"
                              "Última verificação: nenhuma");

        TScaleSnapshot failing = fresh; // four probes without a reply
        failing.PingInfo.sent = 4;
        failing.PingInfo.fail = 4;
        failing.LastPing = built.addSecs(2);
        failing.LastUpdateCheck = built.addSecs(1);
        QTest::newRow("offline since construction after failed probes")
            << failing
            << QStringLiteral("Balança 7 — Padaria\n"
                              "Endereço: 10.0.5.7\n"
                              "Comunicação: Sem comunicação\n"
                              "Tempo de resposta: sem resposta\n"
                              "Taxa de sucesso: 0 % (0 de 4)\n"
                              "Sem comunicação desde 09/03/2026 07:05\n"
                              "Dados: Desatualizada\n"
                              "Último ping: 09/03/2026 07:05\n"
                              "Última verificação: 09/03/2026 07:05");

        TScaleSnapshot online = base;
        online.StoredAddress = QStringLiteral("10.0.5.7 (balcão)");
        online.PingInfo.sent = 3;
        online.PingInfo.received = 2;
        online.PingInfo.fail = 1;
        online.PingInfo.rate = 66;
        online.PingInfo.response_time = 12;
        online.PingInfo.scale_comm_status = ssOnline;
        online.PingInfo.scale_comm_status_str = QStringLiteral("Comunicando");
        online.UpdateStatus.update_status = susUpdated;
        online.LastPing = QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59));
        online.LastUpdateCheck = QDateTime(QDate(2027, 1, 1), QTime(0, 0, 1));
        QTest::newRow("online, address stored otherwise")
            << online
            << QStringLiteral("Balança 7 — Padaria\n"
                              "Endereço: 10.0.5.7 (balcão) (pingado: 10.0.5.7)\n"
                              "Comunicação: Comunicando\n"
                              "Tempo de resposta: 12 ms\n"
                              "Taxa de sucesso: 66 % (2 de 3)\n"
                              "Dados: Atualizada\n"
                              "Último ping: 31/12/2026 23:59\n"
                              "Última verificação: 01/01/2027 00:00");

        TScaleSnapshot wrapped = online; // the counters went back to 0 at their last value
        wrapped.StoredAddress = wrapped.Address;
        wrapped.PingInfo.sent = 0;
        wrapped.PingInfo.received = 0;
        wrapped.PingInfo.fail = 0;
        wrapped.PingInfo.rate = 100;
        QTest::newRow("counters reset at the wrap")
            << wrapped
            << QStringLiteral("Balança 7 — Padaria\n"
                              "Endereço: 10.0.5.7\n"
                              "Comunicação: Comunicando\n"
                              "Tempo de resposta: 12 ms\n"
                              "Taxa de sucesso: sem pings\n"
                              "Dados: Atualizada\n"
                              "Último ping: 31/12/2026 23:59\n"
                              "Última verificação: 01/01/2027 00:00");

        TScaleSnapshot inactive = failing; // no longer probed
        inactive.UpdateStatus.update_status = susInactive;
        inactive.Sector.clear();
        QTest::newRow("inactive, no sector")
            << inactive
            << QStringLiteral("Balança 7 — \n"
                              "Endereço: 10.0.5.7\n"
                              "Comunicação: Sem comunicação\n"
                              "Tempo de resposta: sem resposta\n"
                              "Taxa de sucesso: 0 % (0 de 4)\n"
                              "Sem comunicação desde 09/03/2026 07:05\n"
                              "Dados: Desativada\n"
                              "Último ping: 09/03/2026 07:05\n"
                              "Última verificação: 09/03/2026 07:05");

        TScaleSnapshot failed = online; // the ping command could not be run
        failed.StoredAddress = failed.Address;
        failed.PingInfo.scale_comm_status = ssPingFail;
        failed.PingInfo.scale_comm_status_str = QStringLiteral("Falha no ping");
        failed.PingInfo.response_time = 0;
        QTest::newRow("ping command failed")
            << failed
            << QStringLiteral("Balança 7 — Padaria\n"
                              "Endereço: 10.0.5.7\n"
                              "Comunicação: Falha no ping\n"
                              "Tempo de resposta: sem resposta\n"
                              "Taxa de sucesso: 66 % (2 de 3)\n"
                              "Dados: Atualizada\n"
                              "Último ping: 31/12/2026 23:59\n"
                              "Última verificação: 01/01/2027 00:00");
    }
    void toolTipText() {
        QFETCH(TScaleSnapshot, records);
        QFETCH(QString, expected);
        QCOMPARE(ScaleToolTipText(records, QLocale(QLocale::Portuguese, QLocale::Brazil)),
                 expected);
    }

    // The tile gets its tooltip from the records handed over with each look:
    // waiting at the first fill, then the records of the last presentation.
    void toolTipOnTile() {
        TTile tile;
        auto t = MakeMonitor(QStringLiteral(" 10.0.5.3 "));
        tile.Bind(*t);
        TLookListener listener;
        t->SetLookListener(&listener);
        QList<TTileLook> heard;
        connect(&listener, &TLookListener::LookApplied, this,
                [&heard](const TTileLook& look) { heard.append(look); });

        t->UpdateControls(false);
        t->PingInfo.sent = 3;
        t->PingInfo.received = 2;
        t->PingInfo.fail = 1;
        t->PingInfo.rate = 66;
        t->PingInfo.response_time = 4;
        t->PingInfo.scale_comm_status = ssOnline;
        t->PingInfo.scale_comm_status_str = QStringLiteral("Comunicando");
        t->UpdateControls(false);
        QCOMPARE(tile.Container->toolTip(), QString()); // nothing applied yet
        QCoreApplication::processEvents();

        QCOMPARE(heard.size(), 2);
        QCOMPARE(heard[0].FlagPicture, QStringLiteral("RED_CHK"));
        QCOMPARE(heard[1].Records.PingInfo.scale_comm_status, ssOnline);
        QCOMPARE(heard[1].Records.StoredAddress, QStringLiteral(" 10.0.5.3 "));
        QCOMPARE(heard[1].Records.Address, QStringLiteral("10.0.5.3"));
        const QString tip = tile.Container->toolTip();
        QCOMPARE(tip, ScaleToolTipText(heard[1].Records));
        QVERIFY2(tip.contains(QStringLiteral("Taxa de sucesso: 66 % (2 de 3)")), qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("Último ping: nenhum")), qPrintable(tip));

        // Only the records changed: the tooltip and the listener follow, the
        // controls are left as they are.
        tile.Status->setText(QStringLiteral("left alone"));
        t->PingInfo.sent = 4;
        t->PingInfo.fail = 2;
        t->PingInfo.rate = 50;
        t->UpdateControls(false);
        t->UpdateControls(false); // the same again: nothing handed over
        QCoreApplication::processEvents();
        QCOMPARE(heard.size(), 3);
        QCOMPARE(tile.Status->text(), QStringLiteral("left alone"));
        QVERIFY2(
            tile.Container->toolTip().contains(QStringLiteral("Taxa de sucesso: 50 % (2 de 4)")),
            qPrintable(tile.Container->toolTip()));
    }

    // Looks handed over without waiting are applied in order, and dropped
    // when the tile is gone.
    void postedLooks() {
        auto t = MakeMonitor(QStringLiteral("10.0.5.2"));
        {
            TTile tile;
            tile.Bind(*t);
            t->UpdateControls(false); // offline
            t->PingInfo.scale_comm_status_str = QStringLiteral("second");
            t->UpdateControls(false);
            QCOMPARE(tile.Status->text(), QString()); // nothing applied yet
            QCoreApplication::processEvents();
            QCOMPARE(tile.Status->text(), QStringLiteral("second"));

            t->PingInfo.scale_comm_status_str = QStringLiteral("third");
            t->UpdateControls(false);
        }                                  // the tile is freed with a change still queued
        QCoreApplication::processEvents(); // must not touch the freed tile
    }

    void replyTime_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("windows");
        QTest::addColumn<int>("expected"); // -1 no reply line, -2 no valid time

        const QString header = QStringLiteral("Disparando 10.1.1.2 com 32 bytes de dados:");
        const QString win12 = QStringLiteral("Resposta de 10.1.1.2: bytes=32 tempo=12ms TTL=128");
        QTest::newRow("win tempo=12ms on third line")
            << QStringList{QString(), header, win12} << true << 12;
        QTest::newRow("win tempo<1ms")
            << QStringList{QStringLiteral("Resposta de 10.1.1.2: bytes=32 tempo<1ms TTL=128")}
            << true << 1;
        QTest::newRow("win only the first reply line")
            << QStringList{QStringLiteral("Resposta de 10.1.1.2: bytes=32 tempo=5ms"), win12}
            << true << 5;
        QTest::newRow("win reply marker without time")
            << QStringList{QStringLiteral("Resposta de 10.1.1.2: Host de destino inacessível.")}
            << true << -1;
        QTest::newRow("win time without reply marker")
            << QStringList{QStringLiteral("Aproximar um número redondo de vezes em milissegundos:"),
                           QStringLiteral("    Mínimo = 1ms, Máximo = 1ms, Média = 1ms, tempo")}
            << true << -1;
        QTest::newRow("win markers are case-sensitive")
            << QStringList{QStringLiteral("resposta de 10.1.1.2: bytes=32 tempo=5ms")} << true
            << -1;
        QTest::newRow("no lines") << QStringList{} << true << -1;
        QTest::newRow("win unit before time")
            << QStringList{QStringLiteral("Resposta de 10.1.1.2: ms bytes=32 tempo=12")} << true
            << -2;
        QTest::newRow("win unit missing")
            << QStringList{QStringLiteral("Resposta de 10.1.1.2: bytes=32 tempo=12")} << true << -2;
        QTest::newRow("win time not a number")
            << QStringList{QStringLiteral("Resposta de 10.1.1.2: bytes=32 tempo=abcms")} << true
            << -2;
        QTest::newRow("win time keeps its low 16 bits")
            << QStringList{QStringLiteral("Resposta de 10.1.1.2: bytes=32 tempo=70000ms")} << true
            << 70000 % 65536;
        QTest::newRow("linux under 1 ms counts 1")
            << QStringList{QStringLiteral("PING 127.0.0.1 (127.0.0.1) 56(84) bytes of data."),
                           QStringLiteral(
                               "64 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=0.045 ms")}
            << false << 1;
        QTest::newRow("linux fraction truncated")
            << QStringList{QStringLiteral("64 bytes from 10.1.1.2: icmp_seq=1 ttl=64 time=12.3 ms")}
            << false << 12;
        QTest::newRow("linux whole milliseconds")
            << QStringList{QStringLiteral("64 bytes from 10.1.1.2: icmp_seq=1 ttl=64 time=1012 ms")}
            << false << 1012;
        QTest::newRow("linux statistics are no reply")
            << QStringList{QStringLiteral("From 10.1.1.9 icmp_seq=1 Destination Host Unreachable"),
                           QStringLiteral("1 packets transmitted, 0 received, +1 errors, 100% "
                                          "packet loss, time 0ms")}
            << false << -1;
        QTest::newRow("linux garbage time")
            << QStringList{QStringLiteral("64 bytes from 10.1.1.2: time=1.2.3 ms")} << false << -2;
    }
    void replyTime() {
        QFETCH(QStringList, lines);
        QFETCH(bool, windows);
        QFETCH(int, expected);
        const std::optional<QString> text = FindReplyTimeText(lines, windows ? kWindows : kLinux);
        if (expected == -1) {
            QVERIFY(!text.has_value());
            return;
        }
        QVERIFY(text.has_value());
        if (expected == -2) {
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, ReplyTimeToMs(*text));
            return;
        }
        QCOMPARE(int(ReplyTimeToMs(*text)), expected);
    }

    void readResultLines() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p1.txt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("first\r\nsecond\n\nfourth\n");
        f.close();
        QCOMPARE(ReadPingResultLines(path),
                 (QStringList{QStringLiteral("first"), QStringLiteral("second"), QString(),
                              QStringLiteral("fourth")}));

        // A runaway output is read only up to the cap.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray line(99, 'x');
        for (int i = 0; i < 100000; ++i)
            f.write(line + '\n');
        f.close();
        const QStringList capped = ReadPingResultLines(path, 64 * 1024);
        QVERIFY(capped.join(QLatin1Char('\n')).size() <= 64 * 1024);
        QVERIFY(capped.size() >= 600);

        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 ReadPingResultLines(dir.filePath(QStringLiteral("none.txt"))));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, ReadPingResultLines(dir.path()));
    }

    void truthValue_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("expected"); // 0 false, 1 true, -1 failure
        QTest::newRow("no row") << QVariant() << 0;
        QTest::newRow("NULL") << QVariant::fromValue(nullptr) << -1;
        QTest::newRow("yes") << QVariant(true) << 1;
        QTest::newRow("no") << QVariant(false) << 0;
        QTest::newRow("number 0") << QVariant(qlonglong(0)) << 0;
        QTest::newRow("number -1") << QVariant(qlonglong(-1)) << 1;
        QTest::newRow("double 0.0") << QVariant(0.0) << 0;
        QTest::newRow("double 0.5") << QVariant(0.5) << 1;
        QTest::newRow("text TRUE") << QVariant(QStringLiteral("TRUE")) << 1;
        QTest::newRow("text false") << QVariant(QStringLiteral("false")) << 0;
        QTest::newRow("text 0") << QVariant(QStringLiteral("0")) << 0;
        QTest::newRow("text 12") << QVariant(QStringLiteral("12")) << 1;
        QTest::newRow("text 1.5") << QVariant(QStringLiteral("1.5")) << 1;
        QTest::newRow("text sim") << QVariant(QStringLiteral("sim")) << -1;
        QTest::newRow("empty text") << QVariant(QString()) << -1;
        QTest::newRow("date") << QVariant(QDateTime::currentDateTime()) << -1;
    }
    void truthValue() {
        QFETCH(QVariant, value);
        QFETCH(int, expected);
        if (expected < 0)
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, ResultAsTruthValue(value));
        else
            QCOMPARE(ResultAsTruthValue(value), expected == 1);
    }
};

QTEST_MAIN(TestMonitorModel)
#include "tst_monitor_model.moc"
