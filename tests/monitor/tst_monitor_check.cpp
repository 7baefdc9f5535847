// The activity check against Access files written by the project's writer,
// read through the program's connection.

#include "MonitorTestSupport.h"
#include "PlatformPaths.h"
#include "ScaleFixtures.h"
#include "UnitDMMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>

Q_DECLARE_METATYPE(TScaleUpdateStatus)
Q_DECLARE_METATYPE(mdbw::TValue)

namespace {
using mdbw::TColumnType;
using mdbw::TValue;
const TValue kNull = mdbw::TNull{};
using fixtures::B;
using fixtures::N;

// One scale row in `Scale`; SC_Used and SC_PLUUpdated are Yes/No columns,
// or Long columns when `numeric` (which also lets them hold NULL).
std::vector<mdbw::TTable> CheckTables(const std::string& ip, TValue used, TValue updated,
                                      bool numeric) {
    fixtures::TScaleLayout layout;
    layout.Used = layout.Updated = numeric ? TColumnType::Long : TColumnType::YesNo;
    return {fixtures::ScaleTable({{fixtures::N(1), ip, fixtures::N(1), used, updated}}, layout),
            fixtures::SectTable({{1, "Frios"}})};
}
} // namespace

class TestMonitorCheck : public QObject {
    Q_OBJECT
    QTemporaryDir FDir;
    QString FDatabase;

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        // No Access ODBC driver registered: the built-in reader is used.
        const QString odbc = FDir.filePath(QStringLiteral("odbc"));
        QVERIFY(QDir().mkpath(odbc));
        QFile ini(odbc + QStringLiteral("/odbcinst.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.close();
        qputenv("ODBCSYSINI", QFile::encodeName(odbc));
        qputenv("ODBCINSTINI", "odbcinst.ini");
        qputenv("WINEPREFIX", QFile::encodeName(FDir.filePath(QStringLiteral("prefix"))));
        FDatabase = QString::fromStdString(platform::NativePathOf(DatabasePath.toStdString()));
        QVERIFY(QDir().mkpath(QFileInfo(FDatabase).path()));
    }

    void check_data() {
        QTest::addColumn<QString>("storedIp");
        QTest::addColumn<QString>("threadIp");
        QTest::addColumn<TValue>("used");
        QTest::addColumn<TValue>("updated");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<int>("expected"); // a TScaleUpdateStatus, or -1 for a failure

        const QString ip = QStringLiteral("192.168.1.5");
        QTest::newRow("in use, up to date")
            << ip << ip << B(true) << B(true) << false << int(susUpdated);
        QTest::newRow("in use, out of date")
            << ip << ip << B(true) << B(false) << false << int(susOutdated);
        QTest::newRow("not in use") << ip << ip << B(false) << B(true) << false << int(susInactive);
        QTest::newRow("no row for the address") << ip << QStringLiteral("192.168.1.6") << B(true)
                                                << B(true) << false << int(susInactive);
        QTest::newRow("address matched as stored")
            << QStringLiteral(" 192.168.1.5 (caixa)") << QStringLiteral(" 192.168.1.5 (caixa)")
            << B(true) << B(true) << false << int(susUpdated);
        QTest::newRow("normalized address is not the key")
            << QStringLiteral(" 192.168.1.5 (caixa)") << ip << B(true) << B(true) << false
            << int(susInactive);
        QTest::newRow("numbers") << ip << ip << N(-1) << N(0) << true << int(susOutdated);
        QTest::newRow("SC_Used NULL") << ip << ip << kNull << N(1) << true << -1;
        QTest::newRow("SC_PLUUpdated NULL") << ip << ip << N(1) << kNull << true << -1;
        QTest::newRow("SC_Used 0, SC_PLUUpdated NULL not read")
            << ip << ip << N(0) << kNull << true << int(susInactive);
    }
    void check() {
        QFETCH(QString, storedIp);
        QFETCH(QString, threadIp);
        QFETCH(TValue, used);
        QFETCH(TValue, updated);
        QFETCH(bool, numeric);
        QFETCH(int, expected);
        mdbw::WriteMdb(FDatabase.toStdString(),
                       CheckTables(storedIp.toStdString(), used, updated, numeric));

        TFDConnection connection;
        QVERIFY(!connection.Connected());
        auto t = MakeMonitor(threadIp, &connection);
        const QDateTime lastCheck = t->LastUpdateCheck();
        if (expected < 0) {
            QVERIFY_THROWS_EXCEPTION(std::exception, t->CheckStatus());
            QCOMPARE(t->UpdateStatus.update_status, susOutdated);
            QCOMPARE(t->LastUpdateCheck(), lastCheck);
        } else {
            t->CheckStatus();
            QCOMPARE(int(t->UpdateStatus.update_status), expected);
            QVERIFY(t->LastUpdateCheck().secsTo(QDateTime::currentDateTime()) < 5);
        }
        QVERIFY(connection.Connected()); // opened by the first query, left open
        QCOMPARE(t->UpdateStatus.update_status_str, QStringLiteral("Desatualizada"));
    }
};

QTEST_GUILESS_MAIN(TestMonitorCheck)
#include "tst_monitor_check.moc"
