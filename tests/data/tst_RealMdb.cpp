// Both engines against a file that Access itself wrote (tests/data/real-mdb):
// every table must read exactly as mdbtools' mdb-export reads it, which runs
// here beside the engines. mdb-export writes dates in the locale's "%x %X" by
// default ("01/25/89 00:00:00" in the C locale, a two-digit year), so it is
// asked for the engines' form "YYYY-MM-DD HH:MM:SS" instead; truth values as
// TRUE/FALSE; NULL as a bare word that no quoted text can be mistaken for.
// The ODBC engine runs through unixODBC with mdbtools' driver, registered
// under one of the Access driver's names in a private odbcinst.ini.

#include "MdbReaderEngine.h"
#include "OdbcEngine.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const char* const MdbDriverName = "Microsoft Access Driver (*.mdb)";
const char* const DateFormat = "%Y-%m-%d %H:%M:%S";
const char* const NullWord = "NULL";

// One field of mdb-export's output.
struct TField {
    QString text;
    bool quoted = false;
};

// Runs an mdbtools program in the C.UTF-8 locale; its standard output.
QByteArray RunMdbTool(const QString& program, const QStringList& arguments) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return {};
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(env);
    process.start(path, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

// Comma-separated records; a quoted field doubles its quotes and may span lines.
QList<QList<TField>> ParseCsv(const QString& text) {
    QList<QList<TField>> records;
    QList<TField> record;
    TField field;
    bool inQuotes = false, fieldStarted = false;
    auto endField = [&] {
        record << field;
        field = {};
        fieldStarted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field.text += c;
                ++i;
            } else if (c == u'"') {
                inQuotes = false;
            } else {
                field.text += c;
            }
        } else if (c == u'"') {
            inQuotes = field.quoted = fieldStarted = true;
        } else if (c == u',') {
            endField();
        } else if (c == u'\n') {
            endField();
            records << record;
            record.clear();
        } else if (c != u'\r') {
            field.text += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !record.isEmpty()) {
        endField();
        records << record;
    }
    return records;
}

// The same value written the same way whichever side it comes from.
QString Canonical(const TField& f) {
    if (f.quoted)
        return QStringLiteral("'") + f.text + u'\'';
    if (f.text == QLatin1String(NullWord))
        return QStringLiteral("<NULL>");
    if (f.text == QLatin1String("TRUE"))
        return QStringLiteral("<true>");
    if (f.text == QLatin1String("FALSE"))
        return QStringLiteral("<false>");
    bool number = false;
    const double d = f.text.toDouble(&number);
    return number ? QString::number(d, 'g', 15) : QStringLiteral("<bare %1>").arg(f.text);
}

QString Canonical(const TDbValue& v) {
    if (const auto* s = std::get_if<std::string>(&v))
        return QStringLiteral("'") + QString::fromStdString(*s) + u'\'';
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return QString::number(double(*i), 'g', 15);
    if (const auto* d = std::get_if<double>(&v))
        return QString::number(*d, 'g', 15);
    if (std::holds_alternative<TDbNull>(v))
        return QStringLiteral("<NULL>");
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? QStringLiteral("<true>") : QStringLiteral("<false>");
    return QStringLiteral("<no value>");
}

} // namespace

class TestRealMdb : public QObject {
    Q_OBJECT
    QTemporaryDir FDir;
    QString FFile;
    QStringList FTables;

    std::unique_ptr<TDbEngine> MakeEngine(const QString& kind) const {
        if (kind == QLatin1String("ODBC"))
            return std::make_unique<TOdbcEngine>(MdbDriverName);
        return std::make_unique<TMdbReaderEngine>();
    }

private slots:
    void initTestCase();
    void EveryTableAsMdbExportReadsIt_data();
    void EveryTableAsMdbExportReadsIt();
};

void TestRealMdb::initTestCase() {
    QVERIFY(FDir.isValid());
    FFile = qEnvironmentVariable("PAINEL_SOURCE_DIR") +
            QStringLiteral("/tests/data/real-mdb/node-adodb.mdb");
    QVERIFY2(QFile::exists(FFile), qPrintable(FFile));
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("mdb-export")).isEmpty(),
             "mdb-export is missing (scripts/setup installs mdbtools)");

    QFile ini(FDir.filePath(QStringLiteral("odbcinst.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QByteArray("[") + MdbDriverName +
              "]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libmdbodbcW.so\n");
    ini.close();
    qputenv("ODBCSYSINI", QFile::encodeName(FDir.path()));
    qputenv("ODBCINSTINI", "odbcinst.ini");

    const QString tables =
        QString::fromUtf8(RunMdbTool(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), FFile}));
    FTables = tables.split(u'\n', Qt::SkipEmptyParts);
    // Known from the file: its one user table.
    QCOMPARE(FTables, QStringList{QStringLiteral("Users")});
}

void TestRealMdb::EveryTableAsMdbExportReadsIt_data() {
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("table");
    for (const char* engine : {"built-in reader", "ODBC"})
        for (const QString& table : std::as_const(FTables))
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(QLatin1String(engine), table)))
                << QString::fromLatin1(engine) << table;
}

void TestRealMdb::EveryTableAsMdbExportReadsIt() {
    QFETCH(QString, engine);
    QFETCH(QString, table);

    const QByteArray exported =
        RunMdbTool(QStringLiteral("mdb-export"),
                   {QStringLiteral("-D"), QLatin1String(DateFormat), QStringLiteral("-T"),
                    QLatin1String(DateFormat), QStringLiteral("-B"), QStringLiteral("-0"),
                    QLatin1String(NullWord), FFile, table});
    const QList<QList<TField>> records = ParseCsv(QString::fromUtf8(exported));
    QVERIFY2(records.size() > 1, "mdb-export printed no rows"); // every table here has some
    QStringList columns;
    for (const TField& f : records.first())
        columns << f.text;
    QStringList expected;
    for (qsizetype r = 1; r < records.size(); ++r) {
        QStringList cells;
        for (const TField& f : records[r])
            cells << Canonical(f);
        expected << cells.join(u'|');
    }

    const std::unique_ptr<TDbEngine> db = MakeEngine(engine);
    db->Open(FFile.toStdString(), true);
    const TDbResult result = db->Execute("SELECT * FROM " + table.toStdString(), {});
    QStringList gotColumns;
    for (const std::string& c : result.columns)
        gotColumns << QString::fromStdString(c);
    QStringList got;
    for (const auto& row : result.rows) {
        QStringList cells;
        for (const TDbValue& v : row)
            cells << Canonical(v);
        got << cells.join(u'|');
    }
    db->Close();

    QCOMPARE(gotColumns, columns);
    // Neither side promises an order of rows without ORDER BY.
    got.sort();
    expected.sort();
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TestRealMdb)
#include "tst_RealMdb.moc"
