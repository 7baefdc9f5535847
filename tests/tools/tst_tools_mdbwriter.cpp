// Files written by the Access file writer, read back with mdbtools' own
// programs (mdb-tables, mdb-schema, mdb-export, mdb-sql).
#include "MdbWriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <climits>
#include <iterator>
#include <limits>
#include <stdexcept>

using namespace mdbw;

Q_DECLARE_METATYPE(mdbw::TColumnType)

namespace {

const QString kDateFormat = QStringLiteral("%Y-%m-%d %H:%M:%S");

struct TRun {
    int exitCode = -1;
    QString out;
    QString err;
};

TRun Run(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    // mdbtools' programs read names such as "Seção" from the command line in
    // the locale's character set: under LC_ALL=C they find no such table.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return {};
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    TRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Rows of a table as mdb-export prints them: tab-separated, unquoted, NULL as
// "NULL", dates in ISO form, without the header line.
QStringList Export(const QString& file, const QString& table) {
    const TRun r =
        Run("mdb-export", {"-H", "-Q", "-d", "\t", "-0", "NULL", "-T", kDateFormat, file, table});
    if (r.exitCode != 0 || !r.err.isEmpty())
        qWarning("mdb-export %s: exit %d, %s", qPrintable(table), r.exitCode, qPrintable(r.err));
    QStringList lines = r.out.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

TValue ToValue(const QVariant& v) {
    if (v.isNull())
        return TNull{};
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
        return std::int64_t{v.toLongLong()};
    case QMetaType::Double:
        return v.toDouble();
    default:
        return v.toString().toStdString();
    }
}

} // namespace

class TestMdbWriter : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QString FPath(const QString& name) const { return FDir.filePath(name); }

private slots:
    void initTestCase();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void surrogatePairsAreStoredAsUtf16();
    void compressedText_data();
    void compressedText();
    void manyRowsAcrossPages_data();
    void manyRowsAcrossPages();
    void tablesAndSchema();
    void wideTableDefinitionSpansPages();
    void badDefinitionsAreRefused_data();
    void badDefinitionsAreRefused();
    void existingFileIsReplaced();
    void demoDatabase();
    void scaleTables_data();
    void scaleTables();
    void commandLineTablesFile();
    void commandLineErrors_data();
    void commandLineErrors();
};

void TestMdbWriter::initTestCase() {
    QVERIFY(FDir.isValid());
    for (const char* tool : {"mdb-export", "mdb-tables", "mdb-schema", "mdb-sql"})
        QVERIFY2(!QStandardPaths::findExecutable(tool).isEmpty(), tool);
    QVERIFY(QFile::exists(MDBWRITE_PATH));
}

// One column of each type, a row per value; each value must come back as
// mdb-export prints it.
void TestMdbWriter::valuesRoundTrip_data() {
    QTest::addColumn<TColumnType>("type");
    QTest::addColumn<int>("textLength");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<QStringList>("expected");

    const QString text255 = QString(255, QChar(u'ç'));
    QTest::newRow("text") << TColumnType::Text << 255
                          << QVariantList{"Açougue", "Padaria São João", "€5 ñ ü ß",
                                          text255,   QString(255, 'A'),  "a,b;\"c\"",
                                          QVariant()}
                          << QStringList{"Açougue",         "Padaria São João", "€5 ñ ü ß", text255,
                                         QString(255, 'A'), "a,b;\"c\"",        "NULL"};
    QTest::newRow("short text at its limit")
        << TColumnType::Text << 1 << QVariantList{"x", "ã"} << QStringList{"x", "ã"};
    QTest::newRow("long")
        << TColumnType::Long << 0 << QVariantList{0, -1, INT_MIN, INT_MAX, 123456789, QVariant()}
        << QStringList{"0",         "-1",  QString::number(INT_MIN), QString::number(INT_MAX),
                       "123456789", "NULL"};
    QTest::newRow("integer") << TColumnType::Integer << 0
                             << QVariantList{-32768, 32767, 0, -5, QVariant()}
                             << QStringList{"-32768", "32767", "0", "-5", "NULL"};
    QTest::newRow("yes/no") << TColumnType::YesNo << 0 << QVariantList{true, false, true}
                            << QStringList{"1", "0", "1"};
    QTest::newRow("double")
        << TColumnType::Double << 0
        << QVariantList{3.141592653589793, -0.5, 1e300, 2.5e-300, 0.1, 7, QVariant()}
        << QStringList{"3.141592653589793", "-0.5", "1e+300", "2.5e-300", "0.1", "7", "NULL"};
    QTest::newRow("date/time") << TColumnType::DateTime << 0
                               << QVariantList{"2024-02-29 13:45:07",
                                               "1899-12-30 00:00:00",
                                               "1900-01-01",
                                               "2099-12-31 23:59:59",
                                               "2026-12-10T08:05:09",
                                               45000.5,
                                               QVariant()}
                               << QStringList{"2024-02-29 13:45:07",
                                              "1899-12-30 00:00:00",
                                              "1900-01-01 00:00:00",
                                              "2099-12-31 23:59:59",
                                              "2026-12-10 08:05:09",
                                              "2023-03-15 12:00:00",
                                              "NULL"};
    // 32 characters (64 bytes) stay in the row; 33 go to a long-value page;
    // 2038 characters (4076 bytes) fill one long-value row; more make a chain.
    const QString m32 = QString(32, 'a'), m33 = QString(33, 'b');
    const QString m2038 = QString(2038, 'c'), m2039 = QString(2039, 'd');
    QString m20000;
    for (int i = 0; i < 20000; ++i)
        m20000 += QChar(u"0123456789Çé"[i % 12]);
    QTest::newRow("memo") << TColumnType::Memo << 0
                          << QVariantList{"Açougue", m32, m33, m2038, m2039, m20000, QVariant()}
                          << QStringList{"Açougue", m32, m33, m2038, m2039, m20000, "NULL"};
}

void TestMdbWriter::valuesRoundTrip() {
    QFETCH(TColumnType, type);
    QFETCH(int, textLength);
    QFETCH(QVariantList, values);
    QFETCH(QStringList, expected);

    TTable t{"Valores", {{"Id", TColumnType::Long}, {"V", type, textLength}}, {}};
    for (int i = 0; i < values.size(); ++i)
        t.rows.push_back({std::int64_t{i}, ToValue(values[i])});
    static const QRegularExpression unsafe("[^A-Za-z0-9]");
    const QString file =
        FPath("values-" + QString(QTest::currentDataTag()).replace(unsafe, "_") + ".mdb");
    WriteMdb(file.toStdString(), {t});

    const QStringList lines = Export(file, "Valores");
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(lines[i], QString::number(i) + "\t" + expected[i]);
}

// libmdb prints each half of a surrogate pair as "?", so the pair itself is
// checked in the file's bytes.
void TestMdbWriter::surrogatePairsAreStoredAsUtf16() {
    const QString file = FPath("emoji.mdb");
    WriteMdb(file.toStdString(),
             {{"Emoji", {{"T", TColumnType::Text, 10}}, {{std::string("<\U0001F600>")}}}});
    QCOMPARE(Export(file, "Emoji"), QStringList{"<?"
                                                "?>"});
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains(QByteArray("<\0\x3D\xD8\x00\xDE>\0", 8)));
    // Five emoji are ten UTF-16 units: the most a Text(10) column takes.
    WriteMdb(file.toStdString(),
             {{"Emoji", {{"T", TColumnType::Text, 10}}, {{std::string(5, 'x')}}}});
    std::string five;
    for (int i = 0; i < 5; ++i)
        five += "\U0001F600";
    WriteMdb(file.toStdString(), {{"Emoji", {{"T", TColumnType::Text, 10}}, {{five}}}});
    QVERIFY_THROWS_EXCEPTION(
        std::runtime_error,
        WriteMdb(file.toStdString(), {{"Emoji", {{"T", TColumnType::Text, 10}}, {{five + "x"}}}}));
}

// Each value must read back unchanged and be stored in the expected form.
void TestMdbWriter::compressedText_data() {
    QTest::addColumn<TColumnType>("type");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QByteArray>("stored");

    const QString p = "São Paulo €5";
    const QByteArray pCompressed = QByteArray::fromHex("fffe53e36f205061756c6f2000ac200035");
    QTest::newRow("text, mixed modes") << TColumnType::Text << true << p << p << pCompressed;
    QTest::newRow("memo, mixed modes") << TColumnType::Memo << true << p << p << pCompressed;
    QTest::newRow("memo on a long-value page")
        << TColumnType::Memo << true << QString(1000, u'é') << QString(1000, u'é')
        << QByteArray("\xff\xfe") + QByteArray(1000, '\xe9');
    QTest::newRow("memo over 1024 characters stays plain")
        << TColumnType::Memo << true << QString(1025, u'é') << QString(1025, u'é')
        << QByteArray("\xe9\x00\xe9\x00\xe9\x00\xe9\x00", 8);
    QTest::newRow("zero low byte stays plain")
        << TColumnType::Text << true << "ĀĂ ok"
        << "ĀĂ ok" << QByteArray::fromHex("000102012000") + QByteArray("o\0k\0", 4);
    // The whole row: column count, "q" in UTF-16, end of data, offset, 1 variable column, mask.
    QTest::newRow("one character stays plain")
        << TColumnType::Text << true << "q"
        << "q" << QByteArray::fromHex("0100710004000200010001");
    // Readers take any value starting with FF FE as compressed; a value that
    // starts with U+FEFF is therefore stored compressed even in a plain column.
    // libmdb drops the U+FEFF itself when it converts the text.
    QTest::newRow("leading U+FEFF in a plain column")
        << TColumnType::Text << false << QChar(0xFEFF) + QString("€5") << "€5"
        << QByteArray::fromHex("fffe00fffeac200035");
}

void TestMdbWriter::compressedText() {
    QFETCH(TColumnType, type);
    QFETCH(bool, compressed);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QFETCH(QByteArray, stored);

    TColumn col{"V", type, 255};
    col.compressed = compressed;
    const QString file = FPath("compressed.mdb");
    WriteMdb(file.toStdString(), {{"Comprimido", {col}, {{value.toStdString()}}}});
    QCOMPARE(Export(file, "Comprimido"), QStringList{expected});
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    QVERIFY2(all.contains(stored), stored.toHex(' ').left(120).constData());
}

// Enough rows for hundreds of data pages: a page left out of a table's usage
// map loses its rows silently, so every row is compared.
void TestMdbWriter::manyRowsAcrossPages_data() {
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<int>("textChars");
    QTest::addColumn<int>("memoChars");
    QTest::newRow("3000 small rows") << 3000 << 10 << 0;
    QTest::newRow("memo pages between data pages") << 400 << 20 << 1500;
    QTest::newRow("more than 512 pages") << 6000 << 255 << 0;
}

void TestMdbWriter::manyRowsAcrossPages() {
    QFETCH(int, rowCount);
    QFETCH(int, textChars);
    QFETCH(int, memoChars);

    TTable t{"Muitas",
             {{"N", TColumnType::Long},
              {"T", TColumnType::Text, 255},
              {"B", TColumnType::YesNo},
              {"M", TColumnType::Memo}},
             {}};
    QStringList expected;
    for (int i = 0; i < rowCount; ++i) {
        const QString text = QString::number(i).rightJustified(textChars, u'ã');
        const QString memo = memoChars > 0 ? QString::number(i).leftJustified(memoChars, 'm') : "";
        t.rows.push_back({std::int64_t{i}, text.toStdString(), i % 3 == 0,
                          memoChars > 0 ? TValue(memo.toStdString()) : TValue(TNull{})});
        expected << QString("%1\t%2\t%3\t%4")
                        .arg(i)
                        .arg(text, i % 3 == 0 ? "1" : "0", memoChars > 0 ? memo : "NULL");
    }
    const QString file = FPath(QString("many-%1.mdb").arg(rowCount));
    WriteMdb(file.toStdString(), {t});
    if (textChars == 255)
        QVERIFY2(QFileInfo(file).size() > 600 * 4096, "the table should need a wide usage map");
    const TRun count = Run("mdb-count", {file, "Muitas"});
    QCOMPARE(count.out.trimmed(), QString::number(rowCount));
    QCOMPARE(Export(file, "Muitas"), expected);
}

void TestMdbWriter::tablesAndSchema() {
    const QString file = FPath("schema.mdb");
    WriteMdb(file.toStdString(),
             {{"Tipos",
               {{"Texto", TColumnType::Text, 50},
                {"Longo", TColumnType::Long},
                {"Inteiro", TColumnType::Integer},
                {"SimNao", TColumnType::YesNo},
                {"Duplo", TColumnType::Double},
                {"Data", TColumnType::DateTime},
                {"Memorando", TColumnType::Memo}},
               {}},
              {"Seção", {{"Nome", TColumnType::Text, 20}}, {{std::string("Frios")}}},
              {"Vazia", {{"X", TColumnType::Long}}, {}}});

    QCOMPARE(Run("mdb-tables", {"-1", file}).out.split('\n', Qt::SkipEmptyParts),
             (QStringList{"Tipos", "Seção", "Vazia"}));
    QVERIFY(Run("mdb-tables", {"-S", "-1", file}).out.split('\n').contains("MSysObjects"));

    const TRun schema = Run("mdb-schema", {"-T", "Tipos", file});
    QCOMPARE(schema.exitCode, 0);
    static const QRegularExpression ws("\\s+");
    QString body = schema.out.mid(schema.out.indexOf("CREATE TABLE"));
    body.replace(ws, " ");
    QVERIFY2(body.contains("CREATE TABLE [Tipos] ( [Texto] Text (50), [Longo] Long Integer, "
                           "[Inteiro] Integer, [SimNao] Boolean NOT NULL, [Duplo] Double, "
                           "[Data] DateTime, [Memorando] Memo/Hyperlink (255) );"),
             qPrintable(body));
    QCOMPARE(Export(file, "Seção"), QStringList{"Frios"});
    QVERIFY(Export(file, "Vazia").isEmpty());

    // mdb-sql filters the rows itself.
    const TRun sql = Run("mdb-sql", {"-H", "-F", "-P", "-d", "|", file},
                         "SELECT Nome FROM Seção WHERE Nome = 'Frios'\ngo\n");
    QCOMPARE(sql.out.split('\n', Qt::SkipEmptyParts), QStringList{"Frios"});
}

// 200 columns with long names need a definition of several pages.
void TestMdbWriter::wideTableDefinitionSpansPages() {
    TTable t{"Larga", {}, {{}}};
    QStringList expectedRow;
    for (int i = 0; i < 200; ++i) {
        const std::string name = "Coluna_" + std::to_string(i) + "_" + std::string(50, 'x');
        const bool text = i % 4 == 0;
        t.columns.push_back({name, text ? TColumnType::Text : TColumnType::Long, 8});
        t.rows[0].push_back(text ? TValue("t" + std::to_string(i)) : TValue(std::int64_t{i}));
        expectedRow << (text ? "t" : "") + QString::number(i);
    }
    const QString file = FPath("wide.mdb");
    WriteMdb(file.toStdString(), {t, {"Depois", {{"Y", TColumnType::Long}}, {{std::int64_t{9}}}}});
    const TRun schema = Run("mdb-schema", {"-T", "Larga", file});
    QCOMPARE(schema.out.count("[Coluna_"), 200);
    QVERIFY(schema.out.contains("[Coluna_199_" + QString(50, 'x') + "]"));
    QCOMPARE(Export(file, "Larga"), QStringList{expectedRow.join('\t')});
    QCOMPARE(Export(file, "Depois"), QStringList{"9"});
}

void TestMdbWriter::badDefinitionsAreRefused_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("message");
    const char* cases[][2] = {
        {"no columns", "has no columns"},
        {"empty table name", "empty name"},
        {"same table name twice", "used twice"},
        {"catalog name", "used twice"},
        {"same column name twice", "two columns named"},
        {"text length 0", "not between 1 and 255"},
        {"text length 256", "not between 1 and 255"},
        {"text too long", "longer than the column"},
        {"long overflow", "does not fit a Long"},
        {"integer overflow", "does not fit an Integer"},
        {"text in a Long", "expected a whole number"},
        {"number in a Text", "expected text"},
        {"NULL Yes/No", "cannot hold NULL"},
        {"too few values", "has 1 values for 2 columns"},
        {"invalid UTF-8", "not valid UTF-8"},
        {"bad date", "not a date"},
        {"31 February", "not a date"},
        {"row too large", "more than the 4060"},
        {"full stop in a name", "not allowed"},
        {"name of 65 characters", "longer than 64"},
        {"infinite double", "finite"},
        {"more than 255 columns", "more than 255 columns"},
        {"U+FEFF and U+0100", "starts with U+FEFF"},
    };
    for (int i = 0; i < int(std::size(cases)); ++i)
        QTest::newRow(cases[i][0]) << i << QString(cases[i][1]);
}

void TestMdbWriter::badDefinitionsAreRefused() {
    QFETCH(int, which);
    QFETCH(QString, message);
    const TColumn id{"Id", TColumnType::Long};
    const TColumn txt{"T", TColumnType::Text, 5};
    const auto one = [&](TColumn c, TValue v) {
        return TTable{"X", {c}, {{v}}};
    };
    std::vector<TTable> tables;
    switch (which) {
    case 0:
        tables = {{"X", {}, {}}};
        break;
    case 1:
        tables = {{"", {id}, {}}};
        break;
    case 2:
        tables = {{"Scale", {id}, {}}, {"SCALE", {id}, {}}};
        break;
    case 3:
        tables = {{"msysobjects", {id}, {}}};
        break;
    case 4:
        tables = {{"X", {id, {"ID", TColumnType::Text}}, {}}};
        break;
    case 5:
        tables = {{"X", {{"T", TColumnType::Text, 0}}, {}}};
        break;
    case 6:
        tables = {{"X", {{"T", TColumnType::Text, 256}}, {}}};
        break;
    case 7:
        tables = {one(txt, std::string("123456"))};
        break;
    case 8:
        tables = {one(id, std::int64_t{2147483648LL})};
        break;
    case 9:
        tables = {one({"I", TColumnType::Integer}, std::int64_t{-32769})};
        break;
    case 10:
        tables = {one(id, std::string("7"))};
        break;
    case 11:
        tables = {one(txt, std::int64_t{7})};
        break;
    case 12:
        tables = {one({"B", TColumnType::YesNo}, TNull{})};
        break;
    case 13:
        tables = {{"X", {id, txt}, {{std::int64_t{1}}}}};
        break;
    case 14:
        tables = {one(txt, std::string("a\xC3("))};
        break;
    case 15:
        tables = {one({"D", TColumnType::DateTime}, std::string("10/12/2026"))};
        break;
    case 16:
        tables = {one({"D", TColumnType::DateTime}, std::string("2026-02-31 00:00:00"))};
        break;
    case 17: {
        TTable t{"X", {}, {{}}};
        for (int i = 0; i < 9; ++i) {
            t.columns.push_back({"T" + std::to_string(i), TColumnType::Text, 255});
            t.rows[0].push_back(std::string(255, 'z'));
        }
        tables = {t};
        break;
    }
    case 18:
        tables = {{"Sect.Name", {id}, {}}};
        break;
    case 19:
        tables = {{"X", {{std::string(65, 'c'), TColumnType::Long}}, {}}};
        break;
    case 20:
        tables = {one({"D", TColumnType::Double}, std::numeric_limits<double>::infinity())};
        break;
    case 21: {
        TTable t{"X", {}, {}};
        for (int i = 0; i < 256; ++i)
            t.columns.push_back({"C" + std::to_string(i), TColumnType::Long});
        tables = {t};
        break;
    }
    case 22: // U+FEFF then U+0100
        tables = {one(txt, std::string("\xEF\xBB\xBF\xC4\x80"))};
        break;
    default:
        QFAIL("no such case");
    }
    const QString file = FPath("refused.mdb");
    QFile::remove(file);
    try {
        WriteMdb(file.toStdString(), tables);
        QFAIL("the definition was accepted");
    } catch (const std::runtime_error& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
    }
    QVERIFY(!QFile::exists(file));
    QVERIFY(QDir(FDir.path()).entryList({"*.partial"}).isEmpty());
}

void TestMdbWriter::existingFileIsReplaced() {
    const QString file = FPath("replace.mdb");
    WriteMdb(file.toStdString(), ScaleTables(2000));
    WriteMdb(file.toStdString(), {{"Nova", {{"X", TColumnType::Long}}, {{std::int64_t{1}}}}});
    QCOMPARE(Run("mdb-tables", {"-1", file}).out.trimmed(), QString("Nova"));
    QCOMPARE(QFileInfo(file).size() % 4096, 0);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             WriteMdb(FPath("no/such/dir/x.mdb").toStdString(), ScaleTables(1)));
}

void TestMdbWriter::demoDatabase() {
    const QString file = FPath("demo.mdb");
    const TRun w = Run(MDBWRITE_PATH, {"--demo", file});
    QCOMPARE(w.exitCode, 0);
    QCOMPARE(Run("mdb-tables", {"-1", file}).out.split('\n', Qt::SkipEmptyParts),
             (QStringList{"Scale", "Sect"}));

    QCOMPARE(Export(file, "Sect"),
             (QStringList{"1\tAçougue", "2\tPadaria", "3\tFrios", "4\tHortifruti", "5\tPeixaria"}));

    // SC_No, SC_Name, SC_IP, SECT_No, SC_Model, SC_Used, SC_PLUUpdated
    const QStringList rows = Export(file, "Scale");
    QCOMPARE(rows.size(), 24);
    QList<int> numbers;
    QSet<QString> loopback;
    int unused = 0, outdated = 0, broadcast = 0, orphan = 0;
    for (const QString& row : rows) {
        const QStringList f = row.split('\t');
        QCOMPARE(f.size(), 7);
        numbers << f[0].toInt();
        const int sector = f[3].toInt();
        if (sector < 1 || sector > 5)
            ++orphan;
        if (f[2] == "255.255.255.255")
            ++broadcast;
        else {
            QVERIFY2(f[2].startsWith("127.0.0."), qPrintable(f[2]));
            loopback.insert(f[2]);
        }
        QVERIFY(f[5] == "0" || f[5] == "1");
        if (f[5] == "0")
            ++unused;
        else if (f[6] == "0")
            ++outdated;
    }
    QCOMPARE(unused, 3);
    QCOMPARE(outdated, 5);
    QCOMPARE(broadcast, 2);
    QCOMPARE(orphan, 1);
    QCOMPARE(loopback.size(), 22);
    QList<int> sorted = numbers;
    std::sort(sorted.begin(), sorted.end());
    QVERIFY(numbers != sorted);
    QCOMPARE(QSet<int>(numbers.begin(), numbers.end()).size(), 24);

    // The library's tables give the same rows.
    const QString direct = FPath("demo-direct.mdb");
    WriteMdb(direct.toStdString(), DemoTables());
    QCOMPARE(Export(direct, "Scale"), rows);
}

void TestMdbWriter::scaleTables_data() {
    QTest::addColumn<int>("count");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("crosses an address block") << 600;
}

void TestMdbWriter::scaleTables() {
    QFETCH(int, count);
    const QString file = FPath(QString("scales-%1.mdb").arg(count));
    const TRun w = Run(MDBWRITE_PATH, {"--scales", QString::number(count), file});
    QCOMPARE(w.exitCode, 0);
    const QStringList rows = Export(file, "Scale");
    QCOMPARE(rows.size(), count);
    QSet<QString> addresses;
    for (int i = 0; i < count; ++i) {
        const QStringList f = rows[i].split('\t');
        QCOMPARE(f[0], QString::number(i + 1));
        QCOMPARE(f[2], QString("127.0.%1.%2").arg(i / 250).arg(i % 250 + 1));
        QCOMPARE(f[3], QString::number(i % 5 + 1));
        QCOMPARE(f[5] + f[6], QString("11"));
        addresses.insert(f[2]);
    }
    QCOMPARE(addresses.size(), count);
    QCOMPARE(Export(file, "Sect").size(), 5);
}

void TestMdbWriter::commandLineTablesFile() {
    const QString tables = FPath("tables.json");
    QFile f(tables);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"tables":[
      {"name":"Scale","columns":[{"name":"SC_No","type":"Long"},
        {"name":"SC_IP","type":"Text","length":50},{"name":"SC_Used","type":"YesNo"},
        {"name":"Peso","type":"Double"},{"name":"Quando","type":"DateTime"},
        {"name":"Obs","type":"Memo"},{"name":"Qtd","type":"Integer"}],
       "rows":[[1,"127.0.0.1",true,null,"2026-12-10 08:00:00","Açougue",-3],
               [2,null,false,1.25,null,null,null]]},
      {"name":"Sect","columns":[{"name":"SECT_No","type":"Long"},
        {"name":"SECT_Name","type":"Text"}],"rows":[[1,"Padaria São João"]]}]})");
    f.close();
    const QString file = FPath("tables.mdb");
    const TRun w = Run(MDBWRITE_PATH, {file, tables});
    QCOMPARE(w.err, QString());
    QCOMPARE(w.exitCode, 0);
    QCOMPARE(Export(file, "Scale"),
             (QStringList{"1\t127.0.0.1\t1\tNULL\t2026-12-10 08:00:00\tAçougue\t-3",
                          "2\tNULL\t0\t1.25\tNULL\tNULL\tNULL"}));
    QCOMPARE(Export(file, "Sect"), QStringList{"1\tPadaria São João"});
    QVERIFY(Run("mdb-schema", {"-T", "Scale", file}).out.contains("Text (50)"));
}

void TestMdbWriter::commandLineErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QByteArray table = R"({"tables":[{"name":"T","columns":[{"name":"N","type":"Long"}],)";
    QTest::newRow("no arguments") << QStringList{} << QByteArray() << 2 << "usage:";
    QTest::newRow("unknown option")
        << QStringList{"--demos", "x.mdb"} << QByteArray() << 2 << "usage:";
    QTest::newRow("scale count not a number")
        << QStringList{"--scales", "12a", "OUT"} << QByteArray() << 1 << "is not a number";
    QTest::newRow("negative scale count")
        << QStringList{"--scales", "-1", "OUT"} << QByteArray() << 1 << "not between 0 and";
    QTest::newRow("missing tables file")
        << QStringList{"OUT", "no-such.json"} << QByteArray() << 1 << "cannot read";
    QTest::newRow("broken JSON") << QStringList{"OUT", "TABLES"} << QByteArray("{\"tables\":[") << 1
                                 << "JSON error";
    QTest::newRow("no tables array")
        << QStringList{"OUT", "TABLES"} << QByteArray("{}") << 1 << "\"tables\" array";
    QTest::newRow("unknown type")
        << QStringList{"OUT", "TABLES"}
        << QByteArray(R"({"tables":[{"name":"T","columns":[{"name":"N","type":"Money"}]}]})") << 1
        << "unknown column type \"Money\"";
    QTest::newRow("fraction in a Long")
        << QStringList{"OUT", "TABLES"} << table + R"("rows":[[1.5]]}]})" << 1
        << "expected a whole number";
    QTest::newRow("row not an array")
        << QStringList{"OUT", "TABLES"} << table + R"("rows":[1]}]})" << 1 << "must be an array";
    QTest::newRow("bad text length")
        << QStringList{"OUT", "TABLES"}
        << QByteArray(
               R"({"tables":[{"name":"T","columns":[{"name":"N","type":"Text","length":300}]}]})")
        << 1 << "from 1 to 255";
}

void TestMdbWriter::commandLineErrors() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, json);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString out = FPath("cli-error.mdb");
    const QString tables = FPath("cli-error.json");
    QFile f(tables);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(json);
    f.close();
    for (QString& a : args) {
        if (a == "OUT")
            a = out;
        else if (a == "TABLES")
            a = tables;
    }
    QFile::remove(out);
    const TRun r = Run(MDBWRITE_PATH, args);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestMdbWriter)
#include "tst_tools_mdbwriter.moc"
