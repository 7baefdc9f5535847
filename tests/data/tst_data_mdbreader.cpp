// The built-in Access reader: files written by the project's writer, read
// through libmdb and queried with SQLite.

#include "Fixtures.h"
#include "MdbReaderEngine.h"
#include "UnitDMMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

using namespace fixtures;

Q_DECLARE_METATYPE(std::vector<mdbw::TTable>)

namespace {

QStringList Column(const TDbResult& r, const std::string& name) {
    std::size_t c = 0;
    while (c < r.columns.size() && r.columns[c] != name)
        ++c;
    if (c == r.columns.size())
        return {QStringLiteral("<no column %1>").arg(QString::fromStdString(name))};
    QStringList out;
    for (const auto& row : r.rows)
        out << QString::fromStdString(Text(row[c]));
    return out;
}

// Sets a file's modification time `secondsAgo` seconds into the past.
void Backdate(const QString& path, int secondsAgo) {
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = std::time(nullptr) - secondsAgo;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    QVERIFY(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
}

} // namespace

class TestMdbReaderEngine : public QObject {
    Q_OBJECT
    QTemporaryDir FDir;
    QString Path(const char* name) const { return FDir.filePath(QString::fromLatin1(name)); }
    std::string Write(const char* name, const std::vector<mdbw::TTable>& tables) {
        const std::string path = Path(name).toStdString();
        mdbw::WriteMdb(path, tables);
        return path;
    }

private slots:
    void Roster_data();
    void Roster();
    void ValuesKeepTheirTypes();
    void LongTextsArriveWhole();
    void NamesIgnoreCase();
    void ParametersBindByPosition();
    void UnknownTableFailsNamingIt();
    void ChangedFileIsReadAgain();
    void WriterPausingMidWriteIsWaitedFor();
    void UnchangedFileIsNotReadAgain();
    void CloseAndReopen();
    void BadFilesFailClearly_data();
    void BadFilesFailClearly();
};

void TestMdbReaderEngine::Roster_data() {
    QTest::addColumn<std::vector<mdbw::TTable>>("tables");
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QStringList>("sectors");

    const QString acougue = QStringLiteral("A\u00e7ougue");
    QTest::newRow("SC_No stored as a number sorts numerically")
        << ScaleTables(StandardScales(false), StandardSects()) << QStringList{"2", "5", "10", "33"}
        << QStringList{"192.168.0.2", "192.168.0.2", "192.168.0.10", "<NULL>"}
        << QStringList{"Padaria", acougue, acougue, acougue};
    QTest::newRow("SC_No stored as text sorts as text")
        << ScaleTables(StandardScales(true), StandardSects(), true)
        << QStringList{"10", "2", "33", "5"}
        << QStringList{"192.168.0.10", "192.168.0.2", "<NULL>", "192.168.0.2"}
        << QStringList{acougue, "Padaria", acougue, acougue};
    QTest::newRow("no scale has a known sector") << ScaleTables(StandardScales(), {{7, "Outro"}})
                                                 << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("no scales at all")
        << ScaleTables({}, StandardSects()) << QStringList{} << QStringList{} << QStringList{};
}

void TestMdbReaderEngine::Roster() {
    QFETCH(std::vector<mdbw::TTable>, tables);
    QFETCH(QStringList, numbers);
    QFETCH(QStringList, addresses);
    QFETCH(QStringList, sectors);

    TMdbReaderEngine engine;
    engine.Open(Write("roster.mdb", tables), false);
    const TDbResult r = engine.Execute(RosterSql(), {});
    const std::vector<std::string> columns = {"SC_No",         "SC_IP",     "SECT_No",  "SC_Used",
                                              "SC_PLUUpdated", "SC_Remark", "Sect_Name"};
    QCOMPARE(r.columns, columns);
    QCOMPARE(Column(r, "SC_No"), numbers);
    QCOMPARE(Column(r, "SC_IP"), addresses);
    QCOMPARE(Column(r, "Sect_Name"), sectors);
}

void TestMdbReaderEngine::ValuesKeepTheirTypes() {
    mdbw::TTable t{
        "Kinds",
        {{"Txt", TColumnType::Text, 20},
         {"Lng", TColumnType::Long},
         {"Int", TColumnType::Integer},
         {"Yes", TColumnType::YesNo},
         {"Dbl", TColumnType::Double},
         {"Dat", TColumnType::DateTime},
         {"Mem", TColumnType::Memo}},
        {{T("x"), N(-2147483647), N(-32768), B(true), 2.5, T("2024-02-29 13:45:10"), T("memo")},
         {T(""), N(0), N(0), B(false), 0.0, T("1899-12-30 00:00:00"), T("")},
         {Null, Null, Null, B(false), Null, Null, Null}}};
    TMdbReaderEngine engine;
    engine.Open(Write("kinds.mdb", {t}), false);
    const TDbResult r =
        engine.Execute("SELECT Txt, Lng, Int, Yes, Dbl, Dat, Mem FROM Kinds ORDER BY Lng DESC", {});
    QCOMPARE(r.rows.size(), std::size_t(3));
    const std::vector<TDbValue> full = {std::string("x"),
                                        std::int64_t(-2147483647),
                                        std::int64_t(-32768),
                                        true,
                                        2.5,
                                        std::string("2024-02-29 13:45:10"),
                                        std::string("memo")};
    const std::vector<TDbValue> empty = {std::string(""),
                                         std::int64_t(0),
                                         std::int64_t(0),
                                         false,
                                         0.0,
                                         std::string("1899-12-30 00:00:00"),
                                         std::string("")};
    const std::vector<TDbValue> nulls = {TDbNull{}, TDbNull{}, TDbNull{}, false,
                                         TDbNull{}, TDbNull{}, TDbNull{}};
    // Descending: 0, then -2147483647, then NULL.
    QVERIFY(r.rows[0] == empty);
    QVERIFY(r.rows[1] == full);
    QVERIFY(r.rows[2] == nulls);
}

void TestMdbReaderEngine::LongTextsArriveWhole() {
    std::string longText;
    for (int i = 0; i < 255; ++i)
        longText += "\xc3\xa7"; // ç: 510 bytes of UTF-8
    std::string asciiMemo(40000, 'm');
    asciiMemo.back() = 'Z';
    std::string accentedMemo;
    for (int i = 0; i < 20000; ++i)
        accentedMemo += "\xc3\xa3"; // ã: 40000 bytes of UTF-8
    mdbw::TTable t{
        "Texts",
        {{"Id", TColumnType::Long}, {"Txt", TColumnType::Text, 255}, {"Mem", TColumnType::Memo}},
        {{N(1), longText, asciiMemo}, {N(2), T("a"), accentedMemo}}};
    TMdbReaderEngine engine;
    engine.Open(Write("texts.mdb", {t}), false);
    const TDbResult r = engine.Execute("SELECT Txt, Mem FROM Texts ORDER BY Id", {});
    QCOMPARE(r.rows.size(), std::size_t(2));
    QCOMPARE(std::get<std::string>(r.rows[0][0]), longText);
    QCOMPARE(std::get<std::string>(r.rows[0][1]).size(), asciiMemo.size());
    QVERIFY(std::get<std::string>(r.rows[0][1]) == asciiMemo);
    QVERIFY(std::get<std::string>(r.rows[1][1]) == accentedMemo);
}

void TestMdbReaderEngine::NamesIgnoreCase() {
    auto tables = ScaleTables(StandardScales(), StandardSects());
    tables.push_back({"Se\xc3\xa7\xc3\xa3o", {{"Nome", TColumnType::Text, 20}}, {{T("x")}}});
    TMdbReaderEngine engine;
    engine.Open(Write("names.mdb", tables), false);
    // Table and column names ignore letter case, accented letters included.
    const TDbResult r = engine.Execute("SELECT sc_no FROM SCALE WHERE sc_ip = :ip ORDER BY 1",
                                       {std::string("192.168.0.2")});
    QCOMPARE(Column(r, "SC_No"), (QStringList{"2", "5"}));
    const TDbResult accented = engine.Execute("SELECT NOME FROM SE\xc3\x87\xc3\x83O", {});
    QCOMPARE(Column(accented, "Nome"), QStringList{"x"});
    // So do comparisons of texts.
    const TDbResult sector =
        engine.Execute("SELECT SECT_No FROM Sect WHERE SECT_Name = :n", {std::string("PADARIA")});
    QCOMPARE(Column(sector, "SECT_No"), QStringList{"2"});
}

void TestMdbReaderEngine::ParametersBindByPosition() {
    TMdbReaderEngine engine;
    engine.Open(Write("params.mdb", ScaleTables(StandardScales(), StandardSects())), false);
    const std::string used = "SELECT SC_Used FROM SCALE WHERE SC_IP = :ip";
    struct TCase {
        const char* ip;
        std::vector<TDbValue> rows;
    };
    const TCase cases[] = {
        {"192.168.0.10", {true}},
        {"192.168.0.4", {true}},
        {"192.168.0.2", {true, false}}, // both scales sharing the address
        {"10.0.0.1", {}},
        {"", {}}, // the query for a scale without address finds nothing
    };
    for (const TCase& c : cases) {
        const TDbResult r = engine.Execute(used, {std::string(c.ip)});
        std::vector<TDbValue> got;
        for (const auto& row : r.rows)
            got.push_back(row.at(0));
        std::sort(got.begin(), got.end(), [](const TDbValue& a, const TDbValue& b) {
            return std::get<bool>(a) > std::get<bool>(b);
        });
        QVERIFY2(got == c.rows, c.ip);
    }
    const TDbResult two = engine.Execute(
        "SELECT SC_No FROM Scale WHERE SECT_No = :s AND SC_PLUUpdated = :u ORDER BY SC_No",
        {std::int64_t(1), true});
    QCOMPARE(Column(two, "SC_No"), (QStringList{"5", "10"}));
    QVERIFY_THROWS_EXCEPTION(TDbEngineError, engine.Execute(used, {}));
}

void TestMdbReaderEngine::UnknownTableFailsNamingIt() {
    TMdbReaderEngine engine;
    engine.Open(Write("unknown.mdb", ScaleTables(StandardScales(), StandardSects())), false);
    try {
        engine.Execute("SELECT * FROM Balancas", {});
        QFAIL("no error");
    } catch (const TDbEngineError& e) {
        QVERIFY2(std::string(e.what()).find("'Balancas'") != std::string::npos, e.what());
    }
}

void TestMdbReaderEngine::ChangedFileIsReadAgain() {
    const std::string used = "SELECT SC_Used FROM SCALE WHERE SC_IP = :ip";
    const std::vector<TDbValue> ip = {std::string("192.168.0.10")};
    auto scales = StandardScales();
    const std::string path = Write("changing.mdb", ScaleTables(scales, StandardSects()));
    Backdate(Path("changing.mdb"), 60);

    TMdbReaderEngine engine;
    engine.Open(path, false);
    QVERIFY(engine.Execute(used, ip).rows.at(0).at(0) == TDbValue(true));

    // Rewritten long enough ago for size and time stamps alone to tell.
    scales[0].used = B(false);
    Write("changing.mdb", ScaleTables(scales, StandardSects()));
    Backdate(Path("changing.mdb"), 30);
    QVERIFY(engine.Execute(used, ip).rows.at(0).at(0) == TDbValue(false));

    // Rewritten just now, at once after the last read.
    scales[0].used = B(true);
    Write("changing.mdb", ScaleTables(scales, StandardSects()));
    QVERIFY(engine.Execute(used, ip).rows.at(0).at(0) == TDbValue(true));
    scales[0].used = B(false);
    Write("changing.mdb", ScaleTables(scales, StandardSects()));
    QVERIFY(engine.Execute(used, ip).rows.at(0).at(0) == TDbValue(false));
}

// A writer that stops in the middle of its work for longer than the reader's
// pause between two readings (a busy machine, a network share): the file,
// written a moment ago, is read again until it is whole, not taken for a
// damaged one.
void TestMdbReaderEngine::WriterPausingMidWriteIsWaitedFor() {
    const std::string used = "SELECT SC_Used FROM SCALE WHERE SC_IP = :ip";
    const std::vector<TDbValue> ip = {std::string("192.168.0.10")};
    auto scales = StandardScales();
    const std::string path = Write("pausing.mdb", ScaleTables(scales, StandardSects()));
    Backdate(Path("pausing.mdb"), 60);
    TMdbReaderEngine engine;
    engine.Open(path, false);
    QVERIFY(engine.Execute(used, ip).rows.at(0).at(0) == TDbValue(true));

    scales[0].used = B(false);
    QFile next(
        QString::fromStdString(Write("pausing-next.mdb", ScaleTables(scales, StandardSects()))));
    QVERIFY(next.open(QIODevice::ReadOnly));
    const QByteArray whole = next.readAll();
    const qsizetype half = (whole.size() / 4096 / 2) * 4096;
    {
        QFile target(Path("pausing.mdb"));
        QVERIFY(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(target.write(whole.left(half)), half);
    }
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        QFile target(Path("pausing.mdb"));
        if (target.open(QIODevice::Append))
            target.write(whole.mid(half));
    });
    std::string failure;
    TDbValue got;
    try {
        got = engine.Execute(used, ip).rows.at(0).at(0);
    } catch (const TDbEngineError& e) {
        failure = e.what();
    }
    writer.join();
    QVERIFY2(failure.empty(), failure.c_str());
    QVERIFY(got == TDbValue(false));
}

void TestMdbReaderEngine::UnchangedFileIsNotReadAgain() {
    const std::string path = Write("steady.mdb", ScaleTables(StandardScales(), StandardSects()));
    Backdate(Path("steady.mdb"), 60);
    TMdbReaderEngine engine;
    engine.Open(path, false);
    for (int i = 0; i < 20; ++i)
        engine.Execute("SELECT SC_Used FROM SCALE WHERE SC_IP = :ip", {std::string("x")});
    QCOMPARE(engine.TableLoads(), 1);
    engine.Execute(RosterSql(), {});
    QCOMPARE(engine.TableLoads(), 2); // Sect; Scale is the table loaded as SCALE
}

void TestMdbReaderEngine::CloseAndReopen() {
    TMdbReaderEngine engine;
    const std::string path = Write("reopen.mdb", ScaleTables(StandardScales(), StandardSects()));
    for (int i = 0; i < 50; ++i) {
        engine.Open(path, false);
        QVERIFY(engine.Connected());
        QCOMPARE(engine.Execute(RosterSql(), {}).rows.size(), std::size_t(4));
        engine.Close();
        QVERIFY(!engine.Connected());
        QVERIFY_THROWS_EXCEPTION(TDbEngineError, engine.Execute(RosterSql(), {}));
    }
}

void TestMdbReaderEngine::BadFilesFailClearly_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("expected"); // part of the error text
    // The system's own text, in the language of the locale the tests run in.
    QTest::newRow("missing") << "missing" << QString::fromLocal8Bit(std::strerror(ENOENT));
    QTest::newRow("a directory") << "directory"
                                 << "is not a file";
    QTest::newRow("empty") << "empty"
                           << "is not a Microsoft Access database";
    QTest::newRow("a text file") << "text"
                                 << "is not a Microsoft Access database";
    QTest::newRow("header signature zeroed") << "signature"
                                             << "is not a Microsoft Access database";
    QTest::newRow("unknown format version") << "version"
                                            << "does not know";
    QTest::newRow("page size of the older format") << "jet3"
                                                   << "damaged";
    QTest::newRow("cut inside a page") << "cut"
                                       << "damaged";
    QTest::newRow("only two pages left") << "short"
                                         << "damaged";
    QTest::newRow("cut to half its pages") << "half"
                                           << "damaged";
    QTest::newRow("catalog definition zeroed") << "zero2"
                                               << "damaged";
    QTest::newRow("all pages after the catalog zeroed") << "zerorest"
                                                        << "damaged";
    QTest::newRow("pages after the catalog scrambled") << "scramble"
                                                       << "";
    QTest::newRow("page map of a table emptied") << "emptymap"
                                                 << "damaged";
}

void TestMdbReaderEngine::BadFilesFailClearly() {
    QFETCH(QString, damage);
    QFETCH(QString, expected);
    const QString path = Path("bad.mdb");
    QFile::remove(path);
    QDir(path).removeRecursively();
    if (damage != "missing") {
        mdbw::WriteMdb(path.toStdString(), ScaleTables(StandardScales(), StandardSects()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const qsizetype page = 4096;
        if (damage == "directory") {
            f.close();
            QFile::remove(path);
            QVERIFY(QDir().mkpath(path));
        } else {
            if (damage == "empty")
                bytes.clear();
            else if (damage == "text")
                bytes = QByteArray("SC_No;SC_IP\n1;192.168.0.1\n").repeated(400);
            else if (damage == "signature")
                bytes.replace(4, 15, QByteArray(15, '\0'));
            else if (damage == "version")
                bytes[0x14] = 0x7f;
            else if (damage == "jet3")
                bytes[0x14] = 0;
            else if (damage == "cut")
                bytes.chop(page / 2);
            else if (damage == "short")
                bytes.truncate(2 * page);
            else if (damage == "half")
                bytes.truncate((bytes.size() / page / 2) * page);
            else if (damage == "zero2")
                bytes.replace(2 * page, page, QByteArray(page, '\0'));
            else if (damage == "zerorest")
                bytes.replace(3 * page, bytes.size() - 3 * page,
                              QByteArray(bytes.size() - 3 * page, '\0'));
            else if (damage == "emptymap") {
                // The first table after the catalog's own definition: give
                // the row holding its usage map a length of zero.
                qsizetype tdef = 3 * page;
                while (tdef < bytes.size() && bytes[tdef] != 0x02)
                    tdef += page;
                QVERIFY(tdef < bytes.size());
                const auto u8 = [&](qsizetype at) {
                    return quint32(quint8(bytes[at]));
                };
                const quint32 pgRow =
                    u8(tdef + 55) | u8(tdef + 56) << 8 | u8(tdef + 57) << 16 | u8(tdef + 58) << 24;
                const qsizetype mapPage = qsizetype(pgRow >> 8) * page;
                const int row = int(pgRow & 0xff);
                QVERIFY2(row > 0, "the map is the first row of its page");
                const qsizetype entry = mapPage + 12 + 2 + row * 2;
                bytes[entry] = bytes[entry - 2];
                bytes[entry + 1] = bytes[entry - 1];
            } else if (damage == "scramble")
                for (qsizetype i = 3 * page; i < bytes.size(); ++i)
                    bytes[i] = char(bytes[i] ^ char(0x5a + i * 7));
            QVERIFY(f.resize(0));
            QVERIFY(f.seek(0));
            QCOMPARE(f.write(bytes), bytes.size());
            f.close();
        }
    }
    TMdbReaderEngine engine;
    try {
        engine.Open(path.toStdString(), false);
        engine.Execute(RosterSql(), {});
        QFAIL("no error");
    } catch (const TDbEngineError& e) {
        const std::string text = e.what();
        QVERIFY2(text.find(path.toStdString()) != std::string::npos, e.what());
        QVERIFY2(text.find(expected.toStdString()) != std::string::npos, e.what());
    }
}

QTEST_GUILESS_MAIN(TestMdbReaderEngine)
#include "tst_data_mdbreader.moc"
