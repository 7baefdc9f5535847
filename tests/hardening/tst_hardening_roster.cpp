// The panel against bad databases and hostile addresses: what the user sees,
// and that the program goes on or ends its start cleanly.

#include "Components.h"
#include "HardeningSupport.h"
#include "TPanel.h"
#include "UnitDMMain.h"
#include "UnitMain.h"
#include "UnitMonitorThread.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

using mdbw::TColumnType;
using mdbw::TNull;

const QString OpenLeadIn =
    QStringLiteral("Ocorreu o seguinte erro ao abrir o banco de dados do Pesagram:\r\r");
const QString StartLeadIn =
    QStringLiteral("Ocorreu o seguinte erro ao iniciar o Pesagram Monitor:\r\r");

QString TileText(TMonitorThread* t, const QString& role) {
    const QString n = t->ControlContainer()->objectName().mid(QStringLiteral("pnlMain").size());
    return FindComponentAs<QLabel>(t->ControlContainer(), role + n)->text();
}

// Running processes (not zombies) whose PATH starts with `dir`: the fake
// ping's processes and their children, wherever they are in the process tree.
int ProcessesWithPathFrom(const QString& dir) {
    const QByteArray entry = "PATH=" + QFile::encodeName(dir) + ':';
    int n = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        pid.toLongLong(&number);
        if (!number || pid.toLongLong() == QCoreApplication::applicationPid())
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = stat.readAll();
        if (s.mid(s.lastIndexOf(')') + 2, 1) == "Z")
            continue;
        QFile env(QStringLiteral("/proc/%1/environ").arg(pid));
        if (env.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : env.readAll().split('\0'))
                if (line.startsWith(entry))
                    ++n;
        }
    }
    return n;
}

std::vector<THardScale> Loopback(int count) {
    std::vector<THardScale> scales;
    for (int i = 0; i < count; ++i)
        scales.push_back({std::int64_t(i + 1),
                          "127.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1),
                          std::int64_t(1)});
    return scales;
}

} // namespace

class TestHardeningRoster : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FRoot;
    QString FDatabase;
    QString FRunDir;
    std::unique_ptr<TFakePing> FPing;

    void Write(const std::vector<mdbw::TTable>& tables) {
        QDir().mkpath(QFileInfo(FDatabase).path());
        mdbw::WriteMdb(FDatabase.toStdString(), tables);
    }
    void WriteRoster(const std::vector<THardScale>& scales) {
        Write({HardScaleTable(scales), HardSectTable({{1, "Frios"}, {2, "Padaria"}})});
    }
    std::unique_ptr<TfrmMain> Create() {
        auto form = std::make_unique<TfrmMain>();
        form->FormCreate();
        return form;
    }
    QStringList ResultFilesLeft() const {
        return QDir(FRunDir).entryList({QStringLiteral("p*.txt")},
                                       QDir::Files | QDir::System | QDir::Hidden);
    }
    // Damages the database file in place.
    void Damage(const QString& how) {
        QFile f(FDatabase);
        if (how == "deleted") {
            QVERIFY(f.remove());
        } else if (how == "text file") {
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("Scale;Sect\n1;127.0.0.1\n");
        } else if (how == "truncated") {
            QVERIFY(f.resize(4096 + 1000));
        } else if (how == "catalog zeroed") {
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(2 * 4096);
            f.write(QByteArray(f.size() - 2 * 4096, '\0'));
        } else if (how == "empty") {
            QVERIFY(f.resize(0));
        } else {
            QFAIL(qPrintable("unknown damage " + how));
        }
    }

private slots:
    void initTestCase() {
        QVERIFY(FRoot.isValid());
        FDatabase = testsupport::UseWinePrefix(FRoot.path());
        FRunDir = testsupport::UsePrivateRuntimeDir(FRoot.path());
        FPing = std::make_unique<TFakePing>();
    }
    void init() { FPing->ClearCalls(); }

    // Addresses holding shell syntax: the command line gets their digits and
    // full stops only, nothing they hold is run, the database still answers
    // the activity check for the stored text, and no result file is left.
    void shellSyntaxInAddresses_data() {
        QTest::addColumn<QString>("address");
        const QString marker = FRoot.filePath(QStringLiteral("pwned"));
        QTest::newRow("semicolon") << "127.0.0.1; touch " + marker;
        QTest::newRow("command substitution") << "$(touch " + marker + ")127.0.0.1";
        QTest::newRow("backquotes") << "`touch " + marker + "`127.0.0.1";
        QTest::newRow("and") << "127.0.0.1 && touch " + marker;
        QTest::newRow("pipe") << "127.0.0.1 | touch " + marker;
        QTest::newRow("single quote") << "127.0.0.1' ; touch " + marker + " ; '";
        QTest::newRow("double quote") << "127.0.0.1\" ; touch " + marker + " ; \"";
        QTest::newRow("line break") << "127.0.0.1\ntouch " + marker;
        QTest::newRow("redirect and glob") << "127.0.0.1 > " + marker + " *";
        QTest::newRow("no digits at all") << "; touch " + marker;
    }
    void shellSyntaxInAddresses() {
        QFETCH(QString, address);
        const QString marker = FRoot.filePath(QStringLiteral("pwned"));
        WriteRoster({{std::int64_t(1), address.toStdString(), std::int64_t(1)},
                     {std::int64_t(2), std::string("127.0.0.2"), std::int64_t(2)}});
        TBoxCloser boxes;
        auto form = Create();
        QVERIFY(boxes.Texts.isEmpty());
        QCOMPARE(form->MonitorThreadList->size(), 2);
        TMonitorThread* hostile = form->MonitorThreadList->first();
        QTRY_VERIFY(FPing->Calls().size() >= 2);
        // The activity check bound the stored text and found the row: the
        // thread goes on (a failed check would have ended it).
        QTest::qWait(300);
        QVERIFY(!hostile->Finished());
        for (const QStringList& call : FPing->Calls())
            QVERIFY2(IsPlainProbe(call), qPrintable(call.join(QLatin1Char(' '))));
        QTRY_COMPARE(TileText(hostile, "lblScaleIP"), hostile->GetIPAddress());
        form->close();
        QVERIFY(!QFileInfo::exists(marker));
        QCOMPARE(ResultFilesLeft(), QStringList());
    }

    // NULL cells, duplicate numbers and addresses: every row with a sector
    // gets its tile; a scale whose activity check cannot read its flags stops
    // silently; scales sharing an address probe into files of their own.
    void nullsAndDuplicates() {
        const mdbw::TValue yes = std::int64_t(-1);
        Write({HardScaleTable(
                   {{TNull{}, std::string("127.0.0.11"), std::int64_t(1), yes, yes},
                    {std::int64_t(2), TNull{}, std::int64_t(1), yes, yes},
                    {std::int64_t(3), std::string("127.0.0.13"), TNull{}, yes, yes},
                    {std::int64_t(4), std::string("127.0.0.14"), std::int64_t(1), TNull{}, yes},
                    {std::int64_t(5), std::string("127.0.0.15"), std::int64_t(1), yes, TNull{}},
                    {std::int64_t(6), std::string("127.0.0.16"), std::int64_t(1), yes, yes},
                    {std::int64_t(6), std::string("127.0.0.16"), std::int64_t(2), yes, yes},
                    {std::int64_t(7), std::string("12.70.0.16"), std::int64_t(2), yes, yes}},
                   TColumnType::Long, TColumnType::Long),
               HardSectTable({{1, "Frios"}, {2, "Padaria"}})});
        TBoxCloser boxes;
        auto form = Create();
        QVERIFY2(boxes.Texts.isEmpty(), qPrintable(boxes.Texts.join("|")));
        const QList<TMonitorThread*> threads = *form->MonitorThreadList;
        QCOMPARE(threads.size(), 7); // the row without a sector is not in the roster
        QHash<QString, TMonitorThread*> byAddress;
        for (TMonitorThread* t : threads)
            byAddress.insert(t->GetIPAddress() + "/" + t->ScaleID(), t);

        // SC_Used or SC_PLUUpdated NULL: the check fails and its thread ends.
        QTRY_VERIFY(byAddress.value("127.0.0.14/4")->Finished());
        QTRY_VERIFY(byAddress.value("127.0.0.15/5")->Finished());
        // The others keep going; the pair at one address and the address
        // giving the same digits probe into three different files.
        QTRY_VERIFY(ResultFilesLeft().size() >= 3);
        QTest::qWait(300);
        for (TMonitorThread* t : threads) {
            const bool broken = t->ScaleID() == "4" || t->ScaleID() == "5";
            QVERIFY2(t->Finished() == broken, qPrintable(t->ScaleID()));
        }
        QTRY_COMPARE(TileText(byAddress.value("/2"), "lblScaleIP"), QString());
        QTRY_COMPARE(TileText(byAddress.value("127.0.0.11/"), "lblScaleName"), QString());
        QVERIFY(ResultFilesLeft().contains("p1270016.txt"));
        QVERIFY(ResultFilesLeft().contains("p1270016-2.txt"));
        QVERIFY(ResultFilesLeft().contains("p1270016-3.txt"));
        QVERIFY(boxes.Texts.isEmpty());
        form->close();
        QCOMPARE(ResultFilesLeft(), QStringList());
    }

    // Sector names as long as a text column holds, with accents and emoji,
    // reach the tile unchanged.
    void sectorNamesReachTheTile_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("255 characters") << QString(255, QLatin1Char('S'));
        QTest::newRow("accents") << QStringLiteral("Açougue e Padaria: pães, frios, laticínios");
        QTest::newRow("emoji") << QStringLiteral("Frios \U0001F969\U0001F9C0 e açúcar");
    }
    void sectorNamesReachTheTile() {
        QFETCH(QString, name);
        Write({HardScaleTable({{std::int64_t(1), std::string("127.0.0.1"), std::int64_t(1)}}),
               HardSectTable({{1, name.toStdString()}})});
        auto form = Create();
        QCOMPARE(form->MonitorThreadList->size(), 1);
        TMonitorThread* t = form->MonitorThreadList->first();
        // The first fill sets the address and the sector together.
        QTRY_COMPARE(TileText(t, "lblScaleIP"), QStringLiteral("127.0.0.1"));
        QCOMPARE(TileText(t, "lblScaleSector"), name);
    }

    void thousandScales() {
        WriteRoster(Loopback(1000));
        QElapsedTimer clock;
        clock.start();
        auto form = Create();
        const qint64 built = clock.elapsed();
        QCOMPARE(form->MonitorThreadList->size(), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(TileText(form->MonitorThreadList->last(), "lblScaleIP"),
                                  QStringLiteral("127.0.3.250"), 30000);
        clock.restart();
        form->close();
        qInfo("1000 scales: built in %lld ms, closed in %lld ms", built, clock.elapsed());
        QVERIFY(!form->MonitorThreadList);
        QCOMPARE(ResultFilesLeft(), QStringList());
    }

    // A ping that hangs for 30 s holds its own scale only: the others answer
    // meanwhile; the close ends the hanging command instead of waiting for
    // it, and leaves no process and no file behind.
    void hangingPingHoldsOnlyItsScale() {
        WriteRoster(Loopback(3));
        FPing->SetMode(QStringLiteral("127.0.0.2"), QStringLiteral("hang 30"));
        QElapsedTimer clock;
        clock.start();
        auto form = Create();
        const QList<TMonitorThread*> threads = *form->MonitorThreadList;
        QTRY_COMPARE(TileText(threads[0], "lblStatus"), QStringLiteral("Comunicando"));
        QTRY_COMPARE(TileText(threads[2], "lblStatus"), QStringLiteral("Comunicando"));
        QCOMPARE(TileText(threads[1], "lblStatus"), QStringLiteral("Aguardando"));
        form->chkOnline->click();
        QTRY_VERIFY(threads[0]->ControlContainer()->isHidden());
        QVERIFY(ProcessesWithPathFrom(FPing->Dir()) >= 1); // the hanging sleep
        QElapsedTimer closing;
        closing.start();
        form->close();
        FPing->SetMode(QStringLiteral("127.0.0.2"), QString());
        qInfo("close %lld ms, %lld ms after the start, with one ping hanging for 30 s",
              closing.elapsed(), clock.elapsed());
        QVERIFY(clock.elapsed() < 25000);
        QVERIFY(!form->MonitorThreadList);
        QCOMPARE(ResultFilesLeft(), QStringList());
        QCOMPARE(ProcessesWithPathFrom(FPing->Dir()), 0);
    }

    // A refresh while every probe hangs: the commands are ended, the threads
    // still ending them are left to end on their own (no tile is theirs any
    // longer), and the new roster runs at once beside them; the close frees
    // them all and leaves no process and no file behind.
    void refreshWhileEveryProbeHangs() {
        WriteRoster(Loopback(6));
        FPing->SetDefaultMode(QStringLiteral("hang 30"));
        auto form = Create();
        QTRY_COMPARE(ProcessesWithPathFrom(FPing->Dir()) >= 6, true);
        FPing->SetDefaultMode(QString());
        QElapsedTimer clock;
        clock.start();
        form->Atualiza();
        const qint64 refreshMs = clock.elapsed();
        const QList<TMonitorThread*> threads = *form->MonitorThreadList;
        QCOMPARE(threads.size(), 6);
        QCOMPARE(form->FlowPanel1->findChildren<TPanel*>(Qt::FindDirectChildrenOnly).size(), 6);
        for (TMonitorThread* t : threads)
            QTRY_COMPARE(TileText(t, "lblStatus"), QStringLiteral("Comunicando"));
        QTRY_COMPARE(ProcessesWithPathFrom(FPing->Dir()), 0);
        // A second refresh frees what the first left behind, if anything.
        form->Atualiza();
        QCOMPARE(form->MonitorThreadList->size(), 6);
        form->close();
        qInfo("refresh with 6 probes hanging: %lld ms", refreshMs);
        QVERIFY2(refreshMs < 25000, qPrintable(QString::number(refreshMs)));
        QVERIFY(!form->MonitorThreadList);
        QCOMPARE(ResultFilesLeft(), QStringList());
        QCOMPARE(ProcessesWithPathFrom(FPing->Dir()), 0);
    }

    // A database that cannot be used at start-up: the database box and the
    // start ends, or the start-up box and the window opens without tiles.
    void badDatabaseAtStart_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("aborted");
        QTest::addColumn<QString>("leadIn");
        QTest::addColumn<QString>("says");
        QTest::newRow("missing") << "deleted" << true << OpenLeadIn << "pxr2010_New.mdb";
        QTest::newRow("not an Access file")
            << "text file" << true << OpenLeadIn << "not a Microsoft Access database";
        QTest::newRow("empty") << "empty" << true << OpenLeadIn << "pxr2010_New.mdb";
        QTest::newRow("truncated") << "truncated" << true << OpenLeadIn << "damaged";
        QTest::newRow("pages zeroed") << "catalog zeroed" << true << OpenLeadIn << "damaged";
        QTest::newRow("Scale missing") << "no Scale" << false << StartLeadIn << "Scale";
        QTest::newRow("Sect missing") << "no Sect" << false << StartLeadIn << "Sect";
        QTest::newRow("SECT_Name missing") << "no SECT_Name" << false << StartLeadIn << "SECT_Name";
    }
    void badDatabaseAtStart() {
        QFETCH(QString, damage);
        QFETCH(bool, aborted);
        QFETCH(QString, leadIn);
        QFETCH(QString, says);
        const auto scales = HardScaleTable(Loopback(2));
        if (damage == "no Scale") {
            Write({HardSectTable({{1, "Frios"}})});
        } else if (damage == "no Sect") {
            Write({scales});
        } else if (damage == "no SECT_Name") {
            Write({scales, {"Sect", {{"SECT_No", TColumnType::Long}}, {{std::int64_t(1)}}}});
        } else {
            Write({scales, HardSectTable({{1, "Frios"}})});
            Damage(damage);
        }
        TBoxCloser boxes;
        auto form = Create();
        QCOMPARE(form->StartupAborted(), aborted);
        QCOMPARE(boxes.Texts.size(), 1);
        QCOMPARE(boxes.Titles.first(), QStringLiteral("Erro"));
        const QString text = boxes.Texts.first();
        QVERIFY2(text.startsWith(leadIn), qPrintable(text));
        QVERIFY2(text.contains(says, Qt::CaseInsensitive), qPrintable(text));
        QCOMPARE(form->MonitorThreadList->size(), 0);
        QVERIFY(!form->TimerUpdate->isActive());
        form->close();
    }

    // The file goes bad under a running panel: the activity checks fail and
    // every thread ends without a word; the next refresh fails (to the
    // general error handler) and keeps the old tiles; once the file is good
    // again a refresh brings everything back.
    void databaseGoesBadWhileRunning_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("deleted") << "deleted";
        QTest::newRow("replaced by a text file") << "text file";
        QTest::newRow("truncated") << "truncated";
        QTest::newRow("pages zeroed") << "catalog zeroed";
    }
    void databaseGoesBadWhileRunning() {
        QFETCH(QString, damage);
        WriteRoster(Loopback(3));
        TBoxCloser boxes;
        auto form = Create();
        const QList<TMonitorThread*> before = *form->MonitorThreadList;
        QCOMPARE(before.size(), 3);
        QTRY_VERIFY(ResultFilesLeft().size() == 3);
        Damage(damage);
        for (TMonitorThread* t : before)
            QTRY_VERIFY_WITH_TIMEOUT(t->Finished(), 15000);
        QVERIFY(boxes.Texts.isEmpty());
        // A thread ended by a failed check removes its ping result file too.
        QCOMPARE(ResultFilesLeft(), QStringList());
        QVERIFY_THROWS_EXCEPTION(std::exception, form->Atualiza());
        QCOMPARE(*form->MonitorThreadList, before);
        QCOMPARE(form->FlowPanel1->findChildren<TPanel*>(Qt::FindDirectChildrenOnly).size(), 3);
        QVERIFY(form->TimerUpdate->isActive());

        WriteRoster(Loopback(2));
        form->Atualiza();
        QCOMPARE(form->MonitorThreadList->size(), 2);
        QVERIFY(!form->MonitorThreadList->first()->Finished());
        form->close();
        QVERIFY(boxes.Texts.isEmpty());
    }

    // The management software holding a lock on the file does not keep the
    // reader out (it takes no lock); a file this user may not read is
    // reported at start-up.
    void lockedOrUnreadableDatabase_data() {
        QTest::addColumn<QString>("situation");
        QTest::newRow("locked by another process") << "locked";
        QTest::newRow("no read permission") << "unreadable";
    }
    void lockedOrUnreadableDatabase() {
        QFETCH(QString, situation);
        WriteRoster(Loopback(2));
        QProcess holder;
        TBoxCloser boxes;
        if (situation == "locked") {
            holder.start("flock", {"-x", FDatabase, "sleep", "30"});
            QVERIFY(holder.waitForStarted());
            QTest::qWait(200);
            auto form = Create();
            QVERIFY(boxes.Texts.isEmpty());
            QCOMPARE(form->MonitorThreadList->size(), 2);
            form->close();
            holder.kill();
            holder.waitForFinished();
        } else {
            if (geteuid() == 0)
                QSKIP("permissions do not apply to root");
            QFile::setPermissions(FDatabase, QFile::WriteOwner);
            auto form = Create();
            QFile::setPermissions(FDatabase, QFile::ReadOwner | QFile::WriteOwner);
            QVERIFY(form->StartupAborted());
            QCOMPARE(boxes.Texts.size(), 1);
            QVERIFY2(boxes.Texts.first().startsWith(OpenLeadIn), qPrintable(boxes.Texts.first()));
            QVERIFY2(boxes.Texts.first().contains(QString::fromLocal8Bit(std::strerror(EACCES))),
                     qPrintable(boxes.Texts.first()));
        }
    }
};

QTEST_MAIN(TestHardeningRoster)
#include "tst_hardening_roster.moc"
