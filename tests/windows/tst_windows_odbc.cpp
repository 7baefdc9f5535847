// The ODBC engine on Windows (run under Wine): Wine's odbc32 hands the calls
// to unixODBC, where two Linux drivers stand in under the Access driver's
// names (odbcinst.ini written by wine-run.sh): mdbtools' driver for driver
// choice and a failed connect, the SQLite driver (which takes its file as
// Database=) for statements, bound wide parameters, the roster join with its
// order, NULLs and Yes/No values.

#include "DbValueText.h"
#include "DriverChoiceCases.h"
#include "OdbcEngine.h"
#include "UnitDMMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <windows.h>

namespace {

const char* const MdbDriverName = "driver do microsoft access (*.mdb)";  // third name
const char* const SqliteDriverName = "Microsoft Access-Treiber (*.mdb)"; // fourth name

// The Linux path of a Windows path: the drivers are Linux libraries.
std::string UnixPathOf(const QString& windowsPath) {
    using TWineUnixName = char*(__cdecl*)(const wchar_t*);
    const auto unixName = reinterpret_cast<TWineUnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        return {};
    const std::wstring wide = QDir::toNativeSeparators(windowsPath).toStdWString();
    char* name = unixName(wide.c_str());
    if (!name)
        return {};
    std::string out = name;
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

using testsupport::Rows;

// The roster statement exactly as the data module runs it.
std::string RosterSql() {
    return TDMMain().qryScales->SQL.toStdString();
}

} // namespace

class TestWindowsOdbc : public QObject {
    Q_OBJECT
    QTemporaryDir FDir;
    std::string FSqlite; // Linux path of the roster database

    void Open(TOdbcEngine& engine) {
        engine.Connect("DRIVER={" + engine.DriverName() + "};Database=" + FSqlite);
    }

private slots:
    void initTestCase();
    void DriverChoice_data();
    void DriverChoice();
    void InstalledDriversThroughOdbc32();
    void FailedConnectsCarryTheDiagnostics_data();
    void FailedConnectsCarryTheDiagnostics();
    void RosterJoinInOrder();
    void BoundWideParameter_data();
    void BoundWideParameter();
};

void TestWindowsOdbc::initTestCase() {
    QVERIFY(FDir.isValid());
    const QString file = FDir.filePath(QStringLiteral("roster.db"));
    FSqlite = UnixPathOf(file);
    QVERIFY2(!FSqlite.empty() && FSqlite.front() == '/', FSqlite.c_str());
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
    const char* sql =
        "CREATE TABLE Scale (SC_No INTEGER, SC_IP VARCHAR(50), SECT_No INTEGER, SC_Used BIT,"
        " SC_PLUUpdated BIT);"
        "CREATE TABLE Sect (SECT_No INTEGER, SECT_Name VARCHAR(40));"
        "INSERT INTO Scale VALUES (10, '192.168.0.10', 1, 1, 1), (2, '192.168.0.2', 2, 1, 0),"
        " (33, NULL, 1, 0, 0), (4, '192.168.0.4', 9, 1, 1), (5, '192.168.0.2', 1, 0, 1),"
        " (6, '192.168.0.6', 1, NULL, NULL), (7, 'balan\xc3\xa7"
        "a-\xe2\x82\xac', 2, 1, 1);"
        "INSERT INTO Sect VALUES (1, 'A\xc3\xa7ougue'), (2, 'Padaria');";
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    const QByteArray text = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, text.constData());
}

void TestWindowsOdbc::DriverChoice_data() {
    testsupport::AddDriverChoiceRows();
}

void TestWindowsOdbc::DriverChoice() {
    testsupport::CheckDriverChoice();
}

// odbcinst.ini lists the fourth name before the third: the order of the
// names decides, not the order of the list.
void TestWindowsOdbc::InstalledDriversThroughOdbc32() {
    const std::vector<std::string> installed = InstalledOdbcDrivers();
    QVERIFY2(installed.size() >= 3, std::to_string(installed.size()).c_str());
    QCOMPARE(FindAccessOdbcDriver(), std::string(MdbDriverName));
    const auto engine = CreateAccessEngine("MSAcc");
    QCOMPARE(engine->Description(), std::string("ODBC driver ") + MdbDriverName);
}

void TestWindowsOdbc::FailedConnectsCarryTheDiagnostics_data() {
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("expected");
    QTest::newRow("driver's own failure") << QString(MdbDriverName) << "no-such.mdb";
    QTest::newRow("driver not installed") << "Microsoft Access Driver (*.mdb)"
                                          << "[unixODBC][Driver Manager]";
}

void TestWindowsOdbc::FailedConnectsCarryTheDiagnostics() {
    QFETCH(QString, driver);
    QFETCH(QString, expected);
    TOdbcEngine engine(driver.toStdString());
    const std::string missing = UnixPathOf(FDir.filePath(QStringLiteral("no-such.mdb")));
    try {
        engine.Open(missing, true);
        QFAIL("no error");
    } catch (const TDbEngineError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(expected), e.what());
    }
    QVERIFY(!engine.Connected());
}

void TestWindowsOdbc::RosterJoinInOrder() {
    TOdbcEngine engine(SqliteDriverName);
    Open(engine);
    QVERIFY(engine.Connected());
    const TDbResult r = engine.Execute(RosterSql(), {});
    const std::vector<std::string> columns = {"SC_No",   "SC_IP",         "SECT_No",
                                              "SC_Used", "SC_PLUUpdated", "Sect_Name"};
    QCOMPARE(r.columns, columns);
    const QString a = QStringLiteral("A\u00e7ougue");
    QCOMPARE(
        Rows(r),
        (QStringList{"2|192.168.0.2|2|<true>|<false>|Padaria",
                     "5|192.168.0.2|1|<false>|<true>|" + a, "6|192.168.0.6|1|<NULL>|<NULL>|" + a,
                     QStringLiteral("7|balan\u00e7a-\u20ac|2|<true>|<true>|Padaria"),
                     "10|192.168.0.10|1|<true>|<true>|" + a, "33|<NULL>|1|<false>|<false>|" + a}));
    engine.Close();
    QVERIFY(!engine.Connected());
}

void TestWindowsOdbc::BoundWideParameter_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("Yes") << "SC_Used"
                         << "192.168.0.10" << QStringList{"<true>"};
    QTest::newRow("No") << "SC_PLUUpdated"
                        << "192.168.0.2" << QStringList{"<false>", "<true>"};
    QTest::newRow("NULL stays NULL") << "SC_Used"
                                     << "192.168.0.6" << QStringList{"<NULL>"};
    QTest::newRow("no row") << "SC_Used"
                            << "10.0.0.1" << QStringList{};
    QTest::newRow("accented and outside Latin-1")
        << "SC_No" << QStringLiteral("balan\u00e7a-\u20ac") << QStringList{"7"};
}

void TestWindowsOdbc::BoundWideParameter() {
    QFETCH(QString, column);
    QFETCH(QString, ip);
    QFETCH(QStringList, rows);
    TOdbcEngine engine(SqliteDriverName);
    Open(engine);
    const TDbResult r = engine.Execute("SELECT " + column.toStdString() +
                                           " FROM SCALE WHERE SC_IP = :ip ORDER BY SC_No",
                                       {ip.toStdString()});
    QCOMPARE(Rows(r), rows);
}

QTEST_GUILESS_MAIN(TestWindowsOdbc)
#include "tst_windows_odbc.moc"
