// The ODBC engine through unixODBC. Microsoft's driver does not exist here, so
// two real drivers stand in under its names in a private odbcinst.ini:
// mdbtools' driver (reads the Access file; no joins, ignores bound
// parameters) for driver choice, connecting, reopening and diagnostics, and
// the SQLite driver for statements, parameters and value types.

#include "DriverChoiceCases.h"
#include "Fixtures.h"
#include "OdbcEngine.h"
#include "UnitDMMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

using namespace fixtures;

namespace {

const char* const MdbDriverName = "driver do microsoft access (*.mdb)";  // third name
const char* const SqliteDriverName = "Microsoft Access-Treiber (*.mdb)"; // fourth name

// The SQLite driver takes its file as Database=, not DBQ=.
void Open(TOdbcEngine& engine, const std::string& file) {
    engine.Connect("DRIVER={" + engine.DriverName() + "};Database=" + file);
}

void Sql(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string text = error ? error : "?";
        sqlite3_free(error);
        QFAIL(text.c_str());
    }
}

} // namespace

class TestOdbcEngine : public QObject {
    Q_OBJECT
    QTemporaryDir FDir;
    std::string FSqlite;     // roster database, SC_No a number
    std::string FSqliteText; // the same with SC_No as text
    std::string FMdb;        // Access file

    void MakeSqlite(const std::string& path, const char* noType);

private slots:
    void initTestCase();
    void ChooseDriver_data();
    void ChooseDriver();
    void InstalledDriversAreListed();
    void FactoryTakesTheOdbcEngine();
    void StatementText_data();
    void StatementText();
    void ConnectionStringHasTheFixedKeys();
    void AccessDriverOpensClosesAndReopens();
    void AccessDriverReportsItsDiagnostics();
    void UnknownDriverReportsTheDriverManagersDiagnostics();
    void Roster_data();
    void Roster();
    void Scalar_data();
    void Scalar();
    void ParametersOfEveryKind();
    void LongAndAccentedTexts();
    void StatementErrorsCarryTheDriversText();
    void CloseEndsAConnectionInATransaction();
};

void TestOdbcEngine::MakeSqlite(const std::string& path, const char* noType) {
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    Sql(db, std::string("CREATE TABLE Scale (SC_No ") + noType +
                ", SC_IP VARCHAR(50), SECT_No INTEGER, SC_Used BIT, SC_PLUUpdated BIT)");
    Sql(db, "CREATE TABLE Sect (SECT_No INTEGER, SECT_Name VARCHAR(40))");
    Sql(db, "INSERT INTO Scale VALUES (10, '192.168.0.10', 1, 1, 1), (2, '192.168.0.2', 2, 1, 0),"
            " (33, NULL, 1, 0, 0), (4, '192.168.0.4', 9, 1, 1), (5, '192.168.0.2', 1, 0, 1),"
            " (6, '192.168.0.6', 1, NULL, NULL)");
    Sql(db, "INSERT INTO Sect VALUES (1, 'A\xc3\xa7ougue'), (2, 'Padaria')");
    Sql(db, "CREATE TABLE Kinds (i BIGINT, d DOUBLE, t VARCHAR(255), b BIT, m TEXT)");
    sqlite3_close(db);
}

void TestOdbcEngine::initTestCase() {
    QVERIFY(FDir.isValid());
    QFile ini(FDir.filePath("odbcinst.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    // The fourth name is listed before the third: the order of the names
    // decides, not the order of the list.
    ini.write(QByteArray("[") + SqliteDriverName +
              "]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n\n"
              "[SQLite3]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n\n"
              "[" +
              MdbDriverName + "]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libmdbodbcW.so\n");
    ini.close();
    qputenv("ODBCSYSINI", QFile::encodeName(FDir.path()));
    qputenv("ODBCINSTINI", "odbcinst.ini");

    FSqlite = FDir.filePath("roster.db").toStdString();
    FSqliteText = FDir.filePath("roster-text.db").toStdString();
    MakeSqlite(FSqlite, "INTEGER");
    MakeSqlite(FSqliteText, "VARCHAR(10)");
    FMdb = FDir.filePath("scales.mdb").toStdString();
    mdbw::WriteMdb(FMdb, ScaleTables(StandardScales(), StandardSects()));
}

void TestOdbcEngine::ChooseDriver_data() {
    testsupport::AddDriverChoiceRows();
}

void TestOdbcEngine::ChooseDriver() {
    testsupport::CheckDriverChoice();
}

void TestOdbcEngine::InstalledDriversAreListed() {
    const std::vector<std::string> expected = {SqliteDriverName, "SQLite3", MdbDriverName};
    QCOMPARE(InstalledOdbcDrivers(), expected);
    QCOMPARE(FindAccessOdbcDriver(), std::string(MdbDriverName));
}

void TestOdbcEngine::FactoryTakesTheOdbcEngine() {
    const auto engine = CreateAccessEngine("MSAcc");
    QCOMPARE(engine->Description(), std::string("ODBC driver ") + MdbDriverName);
    QVERIFY_THROWS_EXCEPTION(TDbEngineError, CreateAccessEngine("Ora"));
}

void TestOdbcEngine::StatementText_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("odbc");
    QTest::addColumn<QList<int>>("markers");
    QTest::addColumn<int>("count");
    QTest::newRow("no parameters") << "SELECT 1"
                                   << "SELECT 1" << QList<int>{} << 0;
    QTest::newRow("one named") << "SELECT SC_Used FROM SCALE WHERE SC_IP = :ip"
                               << "SELECT SC_Used FROM SCALE WHERE SC_IP = ?" << QList<int>{0} << 1;
    QTest::newRow("a name used twice is one parameter")
        << "WHERE a = :ip OR b = :IP AND c = :x"
        << "WHERE a = ? OR b = ? AND c = ?" << QList<int>{0, 0, 1} << 2;
    QTest::newRow("plain markers count one each")
        << "a = ? AND b = :n AND c = ?"
        << "a = ? AND b = ? AND c = ?" << QList<int>{0, 1, 2} << 3;
    QTest::newRow("not inside texts, quoted or bracketed names, dates")
        << "SELECT ':a', \"x:b\", [y:c], #2024-01-01 10:11:12#, `z:d` FROM t WHERE e=:e"
        << "SELECT ':a', \"x:b\", [y:c], #2024-01-01 10:11:12#, `z:d` FROM t WHERE e=?"
        << QList<int>{0} << 1;
    QTest::newRow("a colon before a digit or another colon is no marker")
        << "SELECT a::b, 1:2 FROM t"
        << "SELECT a::b, 1:2 FROM t" << QList<int>{} << 0;
    QTest::newRow("unterminated text is copied as it stands")
        << "SELECT 'abc :x"
        << "SELECT 'abc :x" << QList<int>{} << 0;
}

void TestOdbcEngine::StatementText() {
    QFETCH(QString, sql);
    QFETCH(QString, odbc);
    QFETCH(QList<int>, markers);
    QFETCH(int, count);
    const TOdbcStatementText t = ToOdbcStatementText(sql.toStdString());
    QCOMPARE(QString::fromStdString(t.sql), odbc);
    QList<int> got;
    for (std::size_t s : t.markerParams)
        got << int(s);
    QCOMPARE(got, markers);
    QCOMPARE(int(t.paramCount), count);
}

void TestOdbcEngine::ConnectionStringHasTheFixedKeys() {
    TOdbcEngine engine("Microsoft Access Driver (*.mdb)");
    QCOMPARE(engine.ConnectionString("C:\\Vadmo\\PesagramVadmo\\data\\pxr2010_New.mdb", false),
             std::string("DRIVER={Microsoft Access Driver (*.mdb)};"
                         "DBQ=C:\\Vadmo\\PesagramVadmo\\data\\pxr2010_New.mdb;ReadOnly=False;"
                         "ExtendedAnsiSQL=1"));
}

void TestOdbcEngine::AccessDriverOpensClosesAndReopens() {
    TOdbcEngine engine(FindAccessOdbcDriver());
    for (int i = 0; i < 30; ++i) {
        engine.Open(FMdb, false);
        QVERIFY(engine.Connected());
        const TDbResult r = engine.Execute("SELECT SC_No, SC_IP, SC_Used FROM Scale", {});
        QCOMPARE(Rows(r),
                 (QStringList{"10|192.168.0.10|<true>", "2|192.168.0.2|<true>", "33|<NULL>|<false>",
                              "4|192.168.0.4|<true>", "5|192.168.0.2|<false>"}));
        engine.Close();
        QVERIFY(!engine.Connected());
        QVERIFY_THROWS_EXCEPTION(TDbEngineError, engine.Execute("SELECT SC_No FROM Scale", {}));
    }
}

void TestOdbcEngine::AccessDriverReportsItsDiagnostics() {
    TOdbcEngine engine(FindAccessOdbcDriver());
    const std::string missing = FDir.filePath("no-such.mdb").toStdString();
    try {
        engine.Open(missing, false);
        QFAIL("no error");
    } catch (const TDbEngineError& e) {
        // This driver keeps no diagnostic records; the text still names the file.
        QVERIFY2(std::string(e.what()).find(missing) != std::string::npos, e.what());
    }
    QVERIFY(!engine.Connected());
    engine.Open(FMdb, false); // the failed attempt leaves nothing behind
    QVERIFY(engine.Connected());
}

void TestOdbcEngine::UnknownDriverReportsTheDriverManagersDiagnostics() {
    TOdbcEngine engine("Microsoft Access Driver (*.mdb)"); // not registered here
    try {
        engine.Open(FMdb, false);
        QFAIL("no error");
    } catch (const TDbEngineError& e) {
        QVERIFY2(std::string(e.what()).find("[unixODBC][Driver Manager]") != std::string::npos,
                 e.what());
    }
}

void TestOdbcEngine::Roster_data() {
    QTest::addColumn<bool>("noAsText");
    QTest::addColumn<QStringList>("rows");
    const QString a = QStringLiteral("A\u00e7ougue");
    QTest::newRow("SC_No a number")
        << false
        << QStringList{"2|192.168.0.2|2|<true>|<false>|Padaria",
                       "5|192.168.0.2|1|<false>|<true>|" + a, "6|192.168.0.6|1|<NULL>|<NULL>|" + a,
                       "10|192.168.0.10|1|<true>|<true>|" + a, "33|<NULL>|1|<false>|<false>|" + a};
    QTest::newRow("SC_No a text") << true
                                  << QStringList{"10|192.168.0.10|1|<true>|<true>|" + a,
                                                 "2|192.168.0.2|2|<true>|<false>|Padaria",
                                                 "33|<NULL>|1|<false>|<false>|" + a,
                                                 "5|192.168.0.2|1|<false>|<true>|" + a,
                                                 "6|192.168.0.6|1|<NULL>|<NULL>|" + a};
}

void TestOdbcEngine::Roster() {
    QFETCH(bool, noAsText);
    QFETCH(QStringList, rows);
    TOdbcEngine engine(SqliteDriverName);
    Open(engine, noAsText ? FSqliteText : FSqlite);
    const TDbResult r = engine.Execute(RosterSql(), {});
    const std::vector<std::string> columns = {"SC_No",   "SC_IP",         "SECT_No",
                                              "SC_Used", "SC_PLUUpdated", "Sect_Name"};
    QCOMPARE(r.columns, columns);
    QCOMPARE(Rows(r), rows);
}

void TestOdbcEngine::Scalar_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("true") << "SC_Used"
                          << "192.168.0.10" << QStringList{"<true>"};
    QTest::newRow("false") << "SC_PLUUpdated"
                           << "192.168.0.10" << QStringList{"<true>"};
    QTest::newRow("no row") << "SC_Used"
                            << "10.0.0.1" << QStringList{};
    QTest::newRow("NULL stays NULL") << "SC_Used"
                                     << "192.168.0.6" << QStringList{"<NULL>"};
    QTest::newRow("empty address") << "SC_Used"
                                   << "" << QStringList{};
    QTest::newRow("shared address") << "SC_No"
                                    << "192.168.0.2" << QStringList{"2", "5"};
}

void TestOdbcEngine::Scalar() {
    QFETCH(QString, column);
    QFETCH(QString, ip);
    QFETCH(QStringList, rows);
    TOdbcEngine engine(SqliteDriverName);
    Open(engine, FSqlite);
    const TDbResult r = engine.Execute("SELECT " + column.toStdString() +
                                           " FROM SCALE WHERE SC_IP = :ip ORDER BY SC_No",
                                       {ip.toStdString()});
    QCOMPARE(Rows(r), rows);
}

void TestOdbcEngine::ParametersOfEveryKind() {
    TOdbcEngine engine(SqliteDriverName);
    Open(engine, FSqlite);
    engine.Execute("DELETE FROM Kinds", {});
    engine.Execute("INSERT INTO Kinds VALUES (:i, :d, :t, :b, :m)",
                   {std::int64_t(-7), 2.5, std::string("x"), true, TDbNull{}});
    engine.Execute("INSERT INTO Kinds VALUES (?, ?, ?, ?, ?)",
                   {std::int64_t(8000000000), -0.25, std::string(""), false, std::monostate{}});
    const TDbResult r = engine.Execute("SELECT i, d, t, b, m FROM Kinds ORDER BY i", {});
    QCOMPARE(Rows(r), (QStringList{"-7|2.5|x|<true>|<NULL>", "8000000000|-0.25||<false>|<NULL>"}));
    const TDbResult found =
        engine.Execute("SELECT COUNT(*) FROM Kinds WHERE i = :i AND d = :d AND t = :t AND b = :b",
                       {std::int64_t(-7), 2.5, std::string("x"), true});
    QCOMPARE(Rows(found), QStringList{"1"});
    QVERIFY_THROWS_EXCEPTION(TDbEngineError, engine.Execute("SELECT :a, :b", {std::int64_t(1)}));
}

void TestOdbcEngine::LongAndAccentedTexts() {
    TOdbcEngine engine(SqliteDriverName);
    Open(engine, FSqlite);
    std::string accented = "\xc3\xa7\xc3\xa3o \xe2\x82\xac \xf0\x9f\x98\x80"; // çã € 😀
    std::string memo;
    while (memo.size() < 100000)
        memo += accented + std::to_string(memo.size());
    engine.Execute("DELETE FROM Kinds", {});
    engine.Execute("INSERT INTO Kinds (i, t, m) VALUES (1, :t, :m)", {accented, memo});
    const TDbResult r = engine.Execute("SELECT t, m, i FROM Kinds", {});
    QCOMPARE(r.rows.size(), std::size_t(1));
    QCOMPARE(std::get<std::string>(r.rows[0][0]), accented);
    QVERIFY(std::get<std::string>(r.rows[0][1]) == memo);
    QVERIFY(r.rows[0][2] == TDbValue(std::int64_t(1)));
}

void TestOdbcEngine::StatementErrorsCarryTheDriversText() {
    TOdbcEngine engine(SqliteDriverName);
    Open(engine, FSqlite);
    try {
        engine.Execute("SELECT * FROM Balancas", {});
        QFAIL("no error");
    } catch (const TDbEngineError& e) {
        QVERIFY2(std::string(e.what()).find("no such table") != std::string::npos, e.what());
    }
}

// A driver refuses to disconnect while a transaction is open (here: the
// SQLite driver with auto-commit off, after a statement). The close rolls it
// back and disconnects: the handle is freed, not left connected, and the
// file's lock goes with it.
void TestOdbcEngine::CloseEndsAConnectionInATransaction() {
    const std::string file = FDir.filePath("transaction.db").toStdString();
    MakeSqlite(file, "INTEGER");
    TOdbcEngine engine(SqliteDriverName);
    Open(engine, file);
    auto* dbc = static_cast<SQLHDBC>(engine.ConnectionHandle());
    QVERIFY(dbc);
    QVERIFY(SQL_SUCCEEDED(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                                            reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)));
    QCOMPARE(Rows(engine.Execute("SELECT COUNT(*) FROM Scale", {})), QStringList{"6"});

    engine.Close();
    QVERIFY(!engine.Connected());
    QVERIFY(!engine.ConnectionHandle());
    // The driver manager no longer knows the handle: it was freed.
    SQLCHAR name[64] = {};
    QCOMPARE(SQLGetInfo(dbc, SQL_DBMS_NAME, name, sizeof name, nullptr),
             SQLRETURN(SQL_INVALID_HANDLE));
    // Nothing holds the file any more: another connection can write it.
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    const int rc = sqlite3_exec(db, "DELETE FROM Sect", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);

    // The engine opens again as usual.
    Open(engine, file);
    QCOMPARE(Rows(engine.Execute("SELECT COUNT(*) FROM Sect", {})), QStringList{"0"});
}

QTEST_GUILESS_MAIN(TestOdbcEngine)
#include "tst_data_odbc.moc"
