// The data module over the database at its fixed path, inside a temporary Wine
// prefix, read by the engine the factory picks on this machine.

#include "Fixtures.h"
#include "PlatformPaths.h"
#include "UnitDMMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace fixtures;

Q_DECLARE_METATYPE(std::vector<mdbw::TTable>)

class TestDMMain : public QObject {
    Q_OBJECT
    QTemporaryDir FDir;
    QString FDatabase; // where the fixed path lies in the temporary prefix

    void WriteDatabase(const std::vector<mdbw::TTable>& tables) {
        mdbw::WriteMdb(FDatabase.toStdString(), tables);
    }

private slots:
    void initTestCase();
    void init();
    void DefinitionIsFixed();
    void Roster_data();
    void Roster();
    void UnknownFieldFailsNamingIt();
    void CloseAndReopenManyTimes();
    void Scalar_data();
    void Scalar();
    void ScalarOpensClosedConnectionAndLeavesItOpen();
    void ChangedFileIsSeenByTheNextScalar();
    void OpeningAnOpenQueryReadsAfresh();
    void MissingFileNamesThePath();
};

void TestDMMain::initTestCase() {
    QVERIFY(FDir.isValid());
    // No Access ODBC driver registered: the built-in reader is chosen.
    const QString odbc = FDir.filePath("odbc");
    QVERIFY(QDir().mkpath(odbc));
    QFile ini(odbc + "/odbcinst.ini");
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[SQLite3]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
    ini.close();
    qputenv("ODBCSYSINI", QFile::encodeName(odbc));
    qputenv("ODBCINSTINI", "odbcinst.ini");
    qputenv("WINEPREFIX", QFile::encodeName(FDir.filePath("prefix")));
    const QString dataDir = FDir.filePath("prefix/drive_c/Vadmo/PesagramVadmo/data");
    QVERIFY(QDir().mkpath(dataDir));
    FDatabase = dataDir + "/pxr2010_New.mdb";
    QCOMPARE(QString::fromStdString(platform::NativePathOf(DatabasePath.toStdString())), FDatabase);
}

void TestDMMain::init() {
    WriteDatabase(ScaleTables(StandardScales(), StandardSects()));
}

void TestDMMain::DefinitionIsFixed() {
    TDMMain dm;
    QCOMPARE(dm.FDCMain->Params,
             (QStringList{"Database=C:\\Vadmo\\PesagramVadmo\\data\\pxr2010_New.mdb",
                          "ReadOnly=False", "DriverID=MSAcc"}));
    QCOMPARE(dm.qryScales->SQL, QStringLiteral("SELECT Scale.*, Sect.SECT_Name AS Sect_Name FROM "
                                               "Scale \nINNER JOIN Sect ON Sect.SECT_No = "
                                               "Scale.SECT_No \nORDER BY SC_No"));
    QCOMPARE(dm.qryScales->Connection, dm.FDCMain);
    QVERIFY(!dm.FDCMain->Connected());
    QVERIFY(!dm.qryScales->Active());
}

void TestDMMain::Roster_data() {
    QTest::addColumn<std::vector<mdbw::TTable>>("tables");
    QTest::addColumn<QStringList>("rows"); // SC_No|SC_Ip|Sect_Name

    const QString a = QStringLiteral("A\u00e7ougue");
    QTest::newRow("numeric SC_No, join drops sector 9, NULL address reads empty")
        << ScaleTables(StandardScales(), StandardSects())
        << QStringList{"2|192.168.0.2|Padaria", "5|192.168.0.2|" + a, "10|192.168.0.10|" + a,
                       "33||" + a};
    QTest::newRow("SC_No stored as text")
        << ScaleTables(StandardScales(true), StandardSects(), true)
        << QStringList{"10|192.168.0.10|" + a, "2|192.168.0.2|Padaria", "33||" + a,
                       "5|192.168.0.2|" + a};
    QTest::newRow("empty join") << ScaleTables(StandardScales(), {}) << QStringList{};
}

void TestDMMain::Roster() {
    QFETCH(std::vector<mdbw::TTable>, tables);
    QFETCH(QStringList, rows);
    WriteDatabase(tables);

    TDMMain dm;
    dm.FDCMain->SetParam("Database", DatabasePath);
    dm.FDCMain->Open();
    QVERIFY(dm.FDCMain->EngineDescription().contains("built-in"));
    dm.qryScales->Open();
    dm.qryScales->First();
    QStringList got;
    int expectedRecNo = 1;
    while (!dm.qryScales->Eof()) {
        QCOMPARE(dm.qryScales->RecNo(), expectedRecNo++);
        got << dm.qryScales->FieldAsString("SC_No") + "|" + dm.qryScales->FieldAsString("SC_Ip") +
                   "|" + dm.qryScales->FieldAsString("sect_name");
        dm.qryScales->Next();
    }
    QCOMPARE(got, rows);
    QCOMPARE(dm.qryScales->RecNo(), 0);
    dm.qryScales->Close();
    dm.FDCMain->Close();
    QVERIFY(!dm.qryScales->Active());
    QVERIFY(!dm.FDCMain->Connected());
}

void TestDMMain::UnknownFieldFailsNamingIt() {
    TDMMain dm;
    dm.qryScales->Open(); // opens the closed connection first
    QVERIFY(dm.FDCMain->Connected());
    try {
        dm.qryScales->FieldAsString("SC_Name");
        QFAIL("no error");
    } catch (const EDatabaseError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains("'SC_Name'"), e.what());
    }
}

void TestDMMain::CloseAndReopenManyTimes() {
    TDMMain dm;
    for (int i = 0; i < 100; ++i) {
        dm.qryScales->Open();
        QCOMPARE(dm.qryScales->FieldAsString("SC_No"), QStringLiteral("2"));
        dm.qryScales->Close();
        dm.FDCMain->Close();
        QVERIFY(!dm.FDCMain->Connected());
        QCOMPARE(dm.FDCMain->ExecSQLScalar("SELECT SC_Used FROM SCALE WHERE SC_IP = :ip",
                                           {QStringLiteral("192.168.0.10")}),
                 QVariant(true));
        dm.FDCMain->Close();
    }
}

void TestDMMain::Scalar_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("expected"); // "true", "false", "no row", "NULL", or a number

    const QString used = "SELECT SC_Used FROM SCALE WHERE SC_IP = :ip";
    const QString updated = "SELECT SC_PLUUpdated FROM SCALE WHERE SC_IP = :ip";
    QTest::newRow("in use") << used << "192.168.0.10"
                            << "true";
    QTest::newRow("not in use") << used << "192.168.1.33"
                                << "false";
    QTest::newRow("PLU data outdated") << updated << "192.168.0.2"
                                       << "false";
    QTest::newRow("address not in the database") << used << "10.1.1.1"
                                                 << "no row";
    QTest::newRow("empty address finds no row") << used << ""
                                                << "no row";
    QTest::newRow("address matched as stored, blanks included") << used << "192.168. 1. 10"
                                                                << "true";
    QTest::newRow("address with blanks is not the normalized one") << used << "192.168.1.10"
                                                                   << "no row";
    QTest::newRow("NULL in a numeric SC_Used stays NULL") << used << "192.168.1.40"
                                                          << "NULL";
    QTest::newRow("number in a numeric SC_Used") << used << "192.168.1.41"
                                                 << "-1";
}

void TestDMMain::Scalar() {
    QFETCH(QString, sql);
    QFETCH(QString, ip);
    QFETCH(QString, expected);
    const bool numeric =
        QTest::currentDataTag() == QLatin1String("NULL in a numeric SC_Used stays NULL") ||
        QTest::currentDataTag() == QLatin1String("number in a numeric SC_Used");
    std::vector<TScaleRow> scales = {
        {N(10), T("192.168.0.10"), N(1), numeric ? N(1) : B(true), B(true)},
        {N(2), T("192.168.0.2"), N(1), numeric ? N(1) : B(true), B(false)},
        {N(33), T("192.168.1.33"), N(1), numeric ? N(0) : B(false), B(true)},
        {N(34), T("192.168. 1. 10"), N(1), numeric ? N(1) : B(true), B(true)},
        {N(35), Null, N(1), numeric ? N(1) : B(true), B(true)},
    };
    if (numeric) {
        scales.push_back({N(40), T("192.168.1.40"), N(1), Null, B(true)});
        scales.push_back({N(41), T("192.168.1.41"), N(1), N(-1), B(true)});
    }
    WriteDatabase(ScaleTables(scales, StandardSects(), false,
                              numeric ? TColumnType::Long : TColumnType::YesNo));

    TDMMain dm;
    const QVariant v = dm.FDCMain->ExecSQLScalar(sql, {ip});
    QString got;
    if (!v.isValid())
        got = "no row";
    else if (v.isNull())
        got = "NULL";
    else if (v.typeId() == QMetaType::Bool)
        got = v.toBool() ? "true" : "false";
    else if (v.typeId() == QMetaType::LongLong)
        got = QString::number(v.toLongLong());
    else
        got = QStringLiteral("unexpected %1").arg(v.typeName());
    QCOMPARE(got, expected);
}

void TestDMMain::ScalarOpensClosedConnectionAndLeavesItOpen() {
    TDMMain dm;
    dm.qryScales->Open();
    dm.qryScales->Close();
    dm.FDCMain->Close();
    QVERIFY(!dm.FDCMain->Connected());
    const QVariant v = dm.FDCMain->ExecSQLScalar(
        "SELECT SC_PLUUpdated FROM SCALE WHERE SC_IP = :ip", {QStringLiteral("192.168.0.10")});
    QCOMPARE(v, QVariant(true));
    QVERIFY(dm.FDCMain->Connected());
}

void TestDMMain::ChangedFileIsSeenByTheNextScalar() {
    TDMMain dm;
    const QString sql = "SELECT SC_Used FROM SCALE WHERE SC_IP = :ip";
    const QVariantList ip = {QStringLiteral("192.168.0.10")};
    QCOMPARE(dm.FDCMain->ExecSQLScalar(sql, ip), QVariant(true));
    auto scales = StandardScales();
    scales[0].used = B(false);
    WriteDatabase(ScaleTables(scales, StandardSects()));
    QCOMPARE(dm.FDCMain->ExecSQLScalar(sql, ip), QVariant(false));
    scales.erase(scales.begin());
    WriteDatabase(ScaleTables(scales, StandardSects()));
    QVERIFY(!dm.FDCMain->ExecSQLScalar(sql, ip).isValid());
}

void TestDMMain::OpeningAnOpenQueryReadsAfresh() {
    TDMMain dm;
    dm.qryScales->Open();
    dm.qryScales->Next();
    QCOMPARE(dm.qryScales->RecNo(), 2);
    // A build that failed half-way leaves the query open; the database changes.
    WriteDatabase(ScaleTables({{N(7), T("10.0.0.7"), N(2), B(true), B(true)}}, StandardSects()));
    dm.qryScales->Open();
    QCOMPARE(dm.qryScales->RecNo(), 1);
    QCOMPARE(dm.qryScales->FieldAsString("SC_No"), QStringLiteral("7"));
    dm.qryScales->Next();
    QVERIFY(dm.qryScales->Eof());
    // A failing run leaves it closed, not on the old rows.
    QVERIFY(QFile::remove(FDatabase));
    dm.FDCMain->Close();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, dm.qryScales->Open());
    QVERIFY(!dm.qryScales->Active());
    QVERIFY(dm.qryScales->Eof());
}

void TestDMMain::MissingFileNamesThePath() {
    QVERIFY(QFile::remove(FDatabase));
    TDMMain dm;
    dm.FDCMain->SetParam("Database", DatabasePath);
    try {
        dm.FDCMain->Open();
        QFAIL("no error");
    } catch (const EDatabaseError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(FDatabase), e.what());
    }
    QVERIFY(!dm.FDCMain->Connected());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, dm.FDCMain->ExecSQLScalar("SELECT 1", {}));
}

QTEST_GUILESS_MAIN(TestDMMain)
#include "tst_data_dmmain.moc"
