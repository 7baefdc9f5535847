// painel-diagnostico as support staff run it: the roster of the demo database,
// the faults it flags, damaged files, and its statements against mdbtools' own
// programs.
#include "MdbWriter.h"
#include "TestSupport.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using mdbw::TColumnType;
using mdbw::TNull;
using mdbw::TValue;

namespace {

struct TRun {
    int exitCode = -1;
    QString out;
    QString err;
};

TRun Run(const QString& program, const QStringList& args,
         const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    TRun r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("did not end normally: ") + program + " " + args.join(" ");
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

TRun Diag(const QStringList& args,
          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    return Run(qEnvironmentVariable("PAINEL_DIAG"), args, env);
}

// The cells of a table as the program prints it: a header, a rule, then the
// rows, cells separated by " | " and padded with blanks; a blank line ends it.
QList<QStringList> TableAfter(const QString& text, int headerLine) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    QList<QStringList> table;
    for (int i = headerLine; i >= 0 && i < lines.size() && !lines[i].isEmpty(); ++i) {
        if (i == headerLine + 1)
            continue; // the rule
        QStringList cells = lines[i].split(QStringLiteral(" | "));
        for (QString& cell : cells) {
            while (cell.endsWith(QLatin1Char(' ')))
                cell.chop(1);
        }
        table << cells;
    }
    return table;
}

int LineStarting(const QString& text, const QString& start) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(start))
            return i;
    }
    return -1;
}

// The flags the program lists, one per line after "Avisos:".
QStringList Flags(const QString& out) {
    QStringList flags;
    const int at = LineStarting(out, QStringLiteral("Avisos:"));
    if (at < 0)
        return flags;
    const QStringList lines = out.split(QLatin1Char('\n'));
    for (int i = at + 1; i < lines.size() && lines[i].startsWith(QStringLiteral("  - ")); ++i)
        flags << lines[i].mid(4);
    return flags;
}

struct TScaleRow {
    TValue no;
    TValue ip;
    TValue sect;
    TValue used = std::int64_t(-1);
    TValue updated = std::int64_t(-1);
};

// Scale and Sect with the columns the panel reads; the flags are whole
// numbers (-1 is true), so that they can be NULL.
std::vector<mdbw::TTable> Roster(const std::vector<TScaleRow>& scales) {
    mdbw::TTable scale{"Scale",
                       {{"SC_No", TColumnType::Long},
                        {"SC_IP", TColumnType::Text, 50},
                        {"SECT_No", TColumnType::Long},
                        {"SC_Used", TColumnType::Long},
                        {"SC_PLUUpdated", TColumnType::Long}},
                       {}};
    for (const TScaleRow& s : scales)
        scale.rows.push_back({s.no, s.ip, s.sect, s.used, s.updated});
    mdbw::TTable sect{
        "Sect", {{"SECT_No", TColumnType::Long}, {"SECT_Name", TColumnType::Text, 50}}, {}};
    sect.rows.push_back({std::int64_t(1), std::string("Frios")});
    sect.rows.push_back({std::int64_t(2), std::string("Padaria")});
    return {scale, sect};
}

TScaleRow Scale(int no, const std::string& ip, int sect = 1) {
    return {std::int64_t(no), ip, std::int64_t(sect)};
}

QStringList TablesOf(const QString& file) {
    const TRun r = Run(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), file});
    return r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestDiag : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FRoot;
    QString FFixedPath; // the fixed path inside this test's Wine prefix
    QString FDemo;      // the demo database, elsewhere
    // mdbtools' ODBC driver installed under the name of Microsoft's Access
    // driver, in a private odbcinst.ini: the ODBC engine reads the file.
    QProcessEnvironment FOdbc = QProcessEnvironment::systemEnvironment();

    QString Write(const QString& name, const std::vector<mdbw::TTable>& tables) {
        const QString path = FRoot.filePath(name);
        mdbw::WriteMdb(path.toStdString(), tables);
        return path;
    }

private slots:
    void initTestCase() {
        QVERIFY(FRoot.isValid());
        QVERIFY(QFileInfo(qEnvironmentVariable("PAINEL_DIAG")).isExecutable());
        FFixedPath = testsupport::UseWinePrefix(FRoot.path());
        FDemo = Write(QStringLiteral("demo.mdb"), mdbw::DemoTables());
        QFile ini(FRoot.filePath(QStringLiteral("odbcinst.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Microsoft Access Driver (*.mdb)]\n"
                  "Driver=/usr/lib/x86_64-linux-gnu/odbc/libmdbodbcW.so\n");
        ini.close();
        FOdbc.insert(QStringLiteral("ODBCSYSINI"), FRoot.path());
        FOdbc.insert(QStringLiteral("ODBCINSTINI"), QStringLiteral("odbcinst.ini"));
    }

    // A file named relative to the working directory is read there, not in
    // the Wine prefix.
    void relativeFile() {
        QProcess p;
        p.setWorkingDirectory(FRoot.path());
        p.start(qEnvironmentVariable("PAINEL_DIAG"), {"--arquivo", "demo.mdb"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(out.startsWith(QStringLiteral("Arquivo: ") + FDemo + "\n"), qPrintable(out));
    }

    // With an Access ODBC driver installed, the ODBC engine reads the file
    // and is named by its driver.
    void odbcEngineIsNamed() {
        if (!QFileInfo::exists("/usr/lib/x86_64-linux-gnu/odbc/libmdbodbcW.so"))
            QSKIP("mdbtools' ODBC driver is not installed (bash scripts/setup)");
        const TRun r = Diag({QStringLiteral("--arquivo"), FDemo}, FOdbc);
        QVERIFY2(r.out.contains(QStringLiteral("Arquivo: ") + FDemo +
                                "\nMotor: driver ODBC \"Microsoft Access Driver (*.mdb)\"\n"),
                 qPrintable(r.out));
        // mdbtools' driver does not join: the roster cannot be read through it
        // (and its parser writes blank lines of its own on the output).
        QVERIFY2(r.exitCode == 1 || r.exitCode == 2, qPrintable(r.err));
        if (r.exitCode == 2)
            QVERIFY2(r.err.contains(QStringLiteral("o rol de balanças não pode ser lido:\n")),
                     qPrintable(r.err));
    }

    // The demo database at the fixed path (spelt in other letter cases, as
    // Wine finds it): the file and the engine are named, every scale of the
    // roster is listed in SC_No order with what the panel makes of it, the
    // scale without a sector is listed apart, and the two scales at one
    // address are flagged.
    void demoRoster_data() {
        QTest::addColumn<QString>("relative");
        QTest::newRow("as spelt") << QStringLiteral("Vadmo/PesagramVadmo/data/pxr2010_New.mdb");
        QTest::newRow("other letter case")
            << QStringLiteral("VADMO/pesagramvadmo/Data/PXR2010_NEW.MDB");
    }
    void demoRoster() {
        QFETCH(QString, relative);
        const QString driveC = FRoot.filePath(QStringLiteral("prefix/drive_c"));
        QDir(driveC).removeRecursively();
        const QString file = driveC + QLatin1Char('/') + relative;
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QVERIFY(QFile::copy(FDemo, file));

        const TRun r = Diag({});
        QVERIFY2(r.exitCode == 1, qPrintable(r.err + r.out));
        QVERIFY2(r.out.startsWith(QStringLiteral("Arquivo: ") + file + "\n"), qPrintable(r.out));
        QVERIFY(r.out.contains(
            QStringLiteral("(o caminho fixo do painel, C:\\Vadmo\\PesagramVadmo\\data\\"
                           "pxr2010_New.mdb)")));
        QVERIFY(r.out.contains(QStringLiteral("\nMotor: leitor embutido (libmdb e SQLite)\n")));
        QVERIFY(r.out.contains(QStringLiteral("\nBalanças no painel: 23\n")));

        const QList<QStringList> table = TableAfter(r.out, LineStarting(r.out, "Pos."));
        QCOMPARE(table.value(0),
                 (QStringList{"Pos.", "SC_No", "Endereço gravado", "Endereço pingado", "Setor",
                              "SC_Used", "SC_PLUUpdated", "Estado"}));
        QCOMPARE(table.size(), 24);
        const QStringList sectors{"Açougue", "Padaria", "Frios", "Hortifruti", "Peixaria"};
        for (int no = 1; no <= 23; ++no) {
            const QString ip = no == 7 || no == 19 ? QStringLiteral("255.255.255.255")
                                                   : QStringLiteral("127.0.0.%1").arg(10 + no);
            const bool used = no != 5 && no != 12 && no != 21;
            const bool outdated = no == 3 || no == 9 || no == 14 || no == 17 || no == 22;
            const QString state = !used ? "inativa" : outdated ? "desatualizada" : "atualizada";
            const QStringList expected{QString::number(no),
                                       QString::number(no),
                                       ip,
                                       ip,
                                       sectors[(no - 1) % 5],
                                       used ? "True" : "False",
                                       outdated ? "False" : "True",
                                       state};
            QCOMPARE(table[no], expected);
        }
        QVERIFY(r.out.contains(
            QStringLiteral("\nLinhas de Scale fora do painel (setor inexistente em Sect): 1\n"
                           "  SC_No 24, SECT_No 9, SC_IP 127.0.0.34\n")));
        QCOMPARE(Flags(r.out),
                 (QStringList{"1 linha de Scale fica fora do painel por não ter setor.",
                              "Endereço pingado 255.255.255.255 repetido nas posições 7 e 19."}));
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    }

    // What is flagged in a roster, and what is not.
    void flags_data() {
        QTest::addColumn<std::vector<TScaleRow>>("scales");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<QString>("rowOfScale2"); // its line of the roster table

        const std::vector<TScaleRow> clean{Scale(1, "127.0.0.1"), Scale(2, "127.0.0.2", 2)};
        QTest::newRow("nothing wrong") << clean << QStringList()
                                       << "2 | 2 | 127.0.0.2 | 127.0.0.2 | Padaria | -1 | -1 | "
                                          "atualizada";
        auto inactive = clean;
        inactive[1].used = std::int64_t(0);
        inactive[1].updated = TValue(TNull{});
        QTest::newRow("not in use, PLU flag NULL unread")
            << inactive << QStringList()
            << "2 | 2 | 127.0.0.2 | 127.0.0.2 | Padaria | 0 | "
               "(vazio) | inativa";
        auto outdated = clean;
        outdated[1].updated = std::int64_t(0);
        QTest::newRow("out of date")
            << outdated << QStringList()
            << "2 | 2 | 127.0.0.2 | 127.0.0.2 | Padaria | -1 | 0 | desatualizada";

        QTest::newRow("SC_No twice")
            << std::vector<TScaleRow>{Scale(1, "127.0.0.1"), Scale(2, "127.0.0.2"),
                                      Scale(2, "127.0.0.3")}
            << QStringList{"SC_No 2 repetido nas posições 2 e 3."}
            << "2 | 2 | 127.0.0.2 | 127.0.0.2 | Frios | -1 | -1 | atualizada";
        QTest::newRow("address stored twice, and stored otherwise")
            << std::vector<TScaleRow>{Scale(1, "127.0.0.5"), Scale(2, "127.0.0. 5"),
                                      Scale(3, "127.0.0.5")}
            << QStringList{"Endereço pingado 127.0.0.5 repetido nas posições 1, 2 e 3."}
            << "2 | 2 | 127.0.0. 5 | 127.0.0.5 | Frios | -1 | -1 | atualizada";
        QTest::newRow("address without digits")
            << std::vector<TScaleRow>{Scale(1, "127.0.0.1"), Scale(2, "balança")}
            << QStringList{"Posição 2 (SC_No 2): o endereço gravado \"balança\" não tem dígitos "
                           "nem pontos; o ping não tem endereço."}
            << "2 | 2 | balança | (vazio) | Frios | -1 | -1 | atualizada";
        QTest::newRow("address NULL")
            << std::vector<TScaleRow>{Scale(1, "127.0.0.1"),
                                      {std::int64_t(2), TNull{}, std::int64_t(1)}}
            << QStringList{"Posição 2 (SC_No 2): o endereço gravado (vazio) não tem dígitos nem "
                           "pontos; o ping não tem endereço."}
            << "2 | 2 | (vazio) | (vazio) | Frios | -1 | -1 | inativa";
        auto usedNull = clean;
        usedNull[1].used = TValue(TNull{});
        QTest::newRow("SC_Used NULL")
            << usedNull
            << QStringList{"Posição 2 (SC_No 2): a verificação de atividade falha (Could not "
                           "convert variant of type (Null) into type (Boolean)); o bloco fica em "
                           "\"Aguardando\"."}
            << "2 | 2 | 127.0.0.2 | 127.0.0.2 | Padaria | (vazio) | -1 | falha";
        QTest::newRow("sector missing or NULL")
            << std::vector<TScaleRow>{Scale(1, "127.0.0.1"),
                                      Scale(2, "127.0.0.2"),
                                      Scale(3, "127.0.0.3", 7),
                                      {std::int64_t(4), std::string("127.0.0.4"), TNull{}}}
            << QStringList{"2 linhas de Scale ficam fora do painel por não terem setor."}
            << "2 | 2 | 127.0.0.2 | 127.0.0.2 | Frios | -1 | -1 | atualizada";
    }
    void flags() {
        QFETCH(std::vector<TScaleRow>, scales);
        QFETCH(QStringList, flags);
        QFETCH(QString, rowOfScale2);
        const QString file = Write(QStringLiteral("flags.mdb"), Roster(scales));
        const TRun r = Diag({QStringLiteral("--arquivo"), file});
        QVERIFY2(r.exitCode == (flags.isEmpty() ? 0 : 1), qPrintable(r.err + r.out));
        QVERIFY(r.out.startsWith(QStringLiteral("Arquivo: ") + file + "\nMotor: "));
        QCOMPARE(Flags(r.out), flags);
        QCOMPARE(r.out.contains(QStringLiteral("\nNenhum aviso.\n")), flags.isEmpty());
        const QList<QStringList> table = TableAfter(r.out, LineStarting(r.out, "Pos."));
        QCOMPARE(table.value(2).join(QStringLiteral(" | ")), rowOfScale2);
    }

    // A file that cannot be read, a roster that cannot be read and a
    // statement that fails end with exit code 2 and the engine's diagnostic.
    void unreadable_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QStringList>("extraArgs");
        QTest::addColumn<QString>("lead");
        QTest::addColumn<QString>("diagnostic");
        const QString file = QStringLiteral("o arquivo não pode ser lido");
        QTest::newRow("missing") << "missing" << QStringList() << file << "bad.mdb";
        QTest::newRow("text file") << "text file" << QStringList() << file << "bad.mdb";
        QTest::newRow("empty") << "empty" << QStringList() << file << "bad.mdb";
        QTest::newRow("truncated") << "truncated" << QStringList() << file << "damaged";
        QTest::newRow("pages zeroed") << "catalog zeroed" << QStringList() << file << "damaged";
        QTest::newRow("truncated, statement")
            << "truncated" << QStringList{"--sql", "SELECT * FROM Scale"} << file << "damaged";
        QTest::newRow("no Scale table")
            << "no Scale" << QStringList() << QStringLiteral("o rol de balanças não pode ser lido")
            << "Scale";
        QTest::newRow("no SECT_Name column")
            << "no SECT_Name" << QStringList()
            << QStringLiteral("o rol de balanças não pode ser lido") << "SECT_Name";
        QTest::newRow("statement wrong") << "" << QStringList{"--sql", "SELECT Nada FROM Scale"}
                                         << QStringLiteral("a instrução falhou") << "Nada";
    }
    void unreadable() {
        QFETCH(QString, damage);
        QFETCH(QStringList, extraArgs);
        QFETCH(QString, lead);
        QFETCH(QString, diagnostic);
        const QString file = Write(QStringLiteral("bad.mdb"), Roster({Scale(1, "127.0.0.1")}));
        QFile f(file);
        if (damage == "missing") {
            QVERIFY(f.remove());
        } else if (damage == "text file") {
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("Scale;Sect\n1;127.0.0.1\n");
        } else if (damage == "empty") {
            QVERIFY(f.resize(0));
        } else if (damage == "truncated") {
            QVERIFY(f.resize(4096 + 1000));
        } else if (damage == "catalog zeroed") {
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(2 * 4096);
            f.write(QByteArray(f.size() - 2 * 4096, '\0'));
        } else if (damage == "no Scale") {
            Write(QStringLiteral("bad.mdb"), {Roster({}).back()});
        } else if (damage == "no SECT_Name") {
            auto tables = Roster({Scale(1, "127.0.0.1")});
            tables.back().columns.back().name = "SECT_Title";
            Write(QStringLiteral("bad.mdb"), tables);
        }
        f.close();
        const TRun r = Diag(QStringList{QStringLiteral("--arquivo"), file} + extraArgs);
        QVERIFY2(r.exitCode == 2, qPrintable(r.err + r.out));
        const QString said = QStringLiteral("painel-diagnostico: ") + lead + QStringLiteral(":\n");
        QVERIFY2(r.err.contains(said), qPrintable(r.err));
        const QString engineText = r.err.mid(r.err.indexOf(said) + said.size()).trimmed();
        QVERIFY2(engineText.contains(diagnostic, Qt::CaseInsensitive), qPrintable(engineText));
        QVERIFY(!r.out.contains(QStringLiteral("Balanças no painel")));
        if (damage == "missing")
            QVERIFY2((r.out + r.err).contains(file + " (não existe)"), qPrintable(r.out + r.err));
    }

    // Every table of the demo database and of a file written by Access: the
    // CSV is what mdb-export writes, the table holds what mdb-sql prints.
    void statementsMatchMdbtools_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("odbc");
        const QString real = qEnvironmentVariable("PAINEL_REAL_MDB");
        QVERIFY2(!real.isEmpty(), "PAINEL_REAL_MDB is not set");
        for (const QString& file : {FDemo, real}) {
            if (!QFileInfo::exists(file)) {
                QTest::newRow(qPrintable(QFileInfo(file).fileName() + " (missing)"))
                    << file << "" << false;
                continue;
            }
            const QStringList tables = TablesOf(file);
            QVERIFY2(!tables.isEmpty(), qPrintable(file));
            for (const QString& t : tables) {
                const QString name = QFileInfo(file).fileName() + ": " + t;
                QTest::newRow(qPrintable(name + ", built-in reader")) << file << t << false;
                QTest::newRow(qPrintable(name + ", ODBC")) << file << t << true;
            }
        }
    }
    void statementsMatchMdbtools() {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(bool, odbc);
        if (table.isEmpty())
            QSKIP(qPrintable(file + " is not there (set PAINEL_REAL_MDB)"));
        const QProcessEnvironment env = odbc ? FOdbc : QProcessEnvironment::systemEnvironment();
        const QString sql = QStringLiteral("SELECT * FROM %1").arg(table);

        const TRun csv = Diag({"--arquivo", file, "--sql", sql, "--csv"}, env);
        QVERIFY2(csv.exitCode == 0, qPrintable(csv.err));
        const TRun exported = Run(QStringLiteral("mdb-export"), {"-D", "%Y-%m-%d %H:%M:%S", "-T",
                                                                 "%Y-%m-%d %H:%M:%S", file, table});
        QCOMPARE(exported.exitCode, 0);
        QCOMPARE(csv.out, exported.out);

        // mdb-sql writes dates as mm/dd/yy hh:mm:ss and has no option to change it.
        const TRun shown = Diag({"--arquivo", file, "--sql", sql}, env);
        QVERIFY2(shown.exitCode == 0, qPrintable(shown.err));
        QList<QStringList> ours = TableAfter(shown.out, 0);
        static const QRegularExpression date(
            QStringLiteral("^(\\d{4})-(\\d\\d)-(\\d\\d) (\\d\\d:\\d\\d:\\d\\d)$"));
        for (QStringList& row : ours) {
            for (QString& cell : row) {
                const auto m = date.match(cell);
                if (m.hasMatch())
                    cell = QStringLiteral("%1/%2/%3 %4")
                               .arg(m.captured(2), m.captured(3), m.captured(1).right(2),
                                    m.captured(4));
            }
        }
        QProcess sqlTool;
        sqlTool.start(QStringLiteral("mdb-sql"), {"-P", "-F", "-d", "\t", file});
        sqlTool.write((QStringLiteral("SELECT * FROM %1\ngo\n").arg(table)).toUtf8());
        sqlTool.closeWriteChannel();
        QVERIFY(sqlTool.waitForFinished(60000));
        QList<QStringList> theirs;
        for (const QString& line :
             QString::fromUtf8(sqlTool.readAllStandardOutput()).split(QLatin1Char('\n'))) {
            if (line.isEmpty())
                continue;
            QStringList cells = line.split(QLatin1Char('\t'));
            for (QString& cell : cells) {
                while (cell.endsWith(QLatin1Char(' ')))
                    cell.chop(1);
            }
            theirs << cells;
        }
        QCOMPARE(ours, theirs);
        QVERIFY(shown.out.endsWith(QStringLiteral("(%1 linhas)\n").arg(theirs.size() - 1)) ||
                (theirs.size() == 2 && shown.out.endsWith(QStringLiteral("(1 linha)\n"))));
    }

    // The table keeps its columns on a terminal: wide characters take two
    // columns, combining marks none.
    void tableColumnsLineUp() {
        mdbw::TTable t{"Nomes", {{"Nome", TColumnType::Text, 20}, {"N", TColumnType::Long}}, {}};
        t.rows = {{std::string("abc"), std::int64_t(1)},
                  {std::string("\xe5\xbc\xa0\xe4\xb8\x89"), std::int64_t(2)}, // 2 wide
                  {std::string("e\xcc\x81"), std::int64_t(3)}};               // e + acute
        const QString file = Write(QStringLiteral("names.mdb"), {t});
        const TRun r = Diag({"--arquivo", file, "--sql", "SELECT * FROM Nomes"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QString::fromUtf8("Nome | N\n"
                                          "-----+--\n"
                                          "abc  | 1\n"
                                          "\xe5\xbc\xa0\xe4\xb8\x89 | 2\n"
                                          "e\xcc\x81    | 3\n"
                                          "\n"
                                          "(3 linhas)\n"));
    }

    // The help says what the program does, and a wrong command line is
    // refused with exit code 3, as is any statement that could write.
    void commandLine() {
        const TRun help = Diag({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        for (const char* said :
             {"--arquivo ARQUIVO", "--sql", "--csv", "0  tudo em ordem", "1  há avisos",
              "2  o arquivo não pode ser lido", "C:\\Vadmo\\PesagramVadmo\\data\\pxr2010_New.mdb"})
            QVERIFY2(help.out.contains(QString::fromUtf8(said)), said);
        for (const QStringList& args :
             {QStringList{"--csv"}, QStringList{"--arquivo"}, QStringList{"--sql", " "},
              QStringList{"--tudo"}, QStringList{"--sql", "DELETE FROM Scale"},
              QStringList{"--sql", "select * into Copia from Scale"}}) {
            const TRun r = Diag(args);
            QVERIFY2(r.exitCode == 3, qPrintable(args.join(' ')));
            QVERIFY(r.err.startsWith(QStringLiteral("painel-diagnostico: ")));
            QVERIFY(r.out.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestDiag)
#include "tst_diag_program.moc"
