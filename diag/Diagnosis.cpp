#include "Diagnosis.h"

#include "PlatformPaths.h"
#include "UnitDMMain.h"
#include "UnitMonitorThread.h"
#include "UnitUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <cmath>
#include <exception>
#include <vector>

namespace {

// The statement that lists the Scale rows the roster's join leaves out.
const QString LeftOutSQL =
    QStringLiteral("SELECT Scale.* FROM Scale LEFT JOIN Sect ON Sect.SECT_No = Scale.SECT_No "
                   "WHERE Sect.SECT_No IS NULL ORDER BY SC_No");

QString Text(const std::exception& e) {
    return QString::fromUtf8(e.what());
}

// A value of a result as the CSV of mdb-export writes it, without the quotes:
// Yes/No as 1/0, NULL as nothing.
QString PlainText(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::LongLong:
        return QString::number(v.toLongLong());
    case QMetaType::Double: {
        const double d = v.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(static_cast<qlonglong>(d));
        return QString::number(d, 'g', 17);
    }
    default:
        return v.toString();
    }
}

bool Quoted(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return false;
    const int t = v.typeId();
    return t != QMetaType::Bool && t != QMetaType::LongLong && t != QMetaType::Double;
}

QString CsvField(const QVariant& v) {
    QString s = PlainText(v);
    if (!Quoted(v))
        return s;
    s.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

// A value for the reader of the roster: NULL and empty texts said in words.
QString Shown(const QString& s) {
    return s.isEmpty() ? QStringLiteral("(vazio)") : s;
}

QString ShownValue(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return QStringLiteral("(nulo)");
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return Shown(PlainText(v));
}

// The columns a text takes on a terminal: combining marks and format
// characters none, East Asian wide and full-width characters and emoji two,
// every other character one.
qsizetype DisplayWidth(const QString& text) {
    qsizetype width = 0;
    for (const char32_t c : text.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing ||
            category == QChar::Other_Format)
            continue;
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
                          (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
                          (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
                          (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                          (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                          (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                          (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

// Columns padded to their widest cell, separated by " | ", a rule under the
// header.
void PrintTable(QTextStream& out, const QStringList& header, const std::vector<QStringList>& rows) {
    std::vector<qsizetype> width(static_cast<size_t>(header.size()));
    for (qsizetype c = 0; c < header.size(); ++c)
        width[static_cast<size_t>(c)] = DisplayWidth(header[c]);
    for (const QStringList& row : rows) {
        for (qsizetype c = 0; c < row.size() && c < header.size(); ++c)
            width[static_cast<size_t>(c)] =
                std::max(width[static_cast<size_t>(c)], DisplayWidth(row[c]));
    }
    const auto line = [&](const QStringList& cells) {
        QString text;
        for (qsizetype c = 0; c < header.size(); ++c) {
            if (c > 0)
                text += QStringLiteral(" | ");
            const QString cell = c < cells.size() ? cells[c] : QString();
            text += cell;
            if (c + 1 < header.size())
                text +=
                    QString(width[static_cast<size_t>(c)] - DisplayWidth(cell), QLatin1Char(' '));
        }
        out << text << "\n";
    };
    line(header);
    QString rule;
    for (qsizetype c = 0; c < header.size(); ++c) {
        if (c > 0)
            rule += QStringLiteral("-+-");
        rule += QString(width[static_cast<size_t>(c)], QLatin1Char('-'));
    }
    out << rule << "\n";
    for (const QStringList& row : rows)
        line(row);
}

QString EngineText(const QString& description) {
    const QString odbc = QStringLiteral("ODBC driver ");
    if (description.startsWith(odbc))
        return QStringLiteral("driver ODBC \"%1\"").arg(description.mid(odbc.size()));
    if (description.startsWith(QLatin1String("built-in")))
        return QStringLiteral("leitor embutido (libmdb e SQLite)");
    return description;
}

qsizetype ColumnIndex(const QStringList& columns, const QString& name) {
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString StateText(TScaleUpdateStatus status) {
    switch (status) {
    case susUpdated:
        return QStringLiteral("atualizada");
    case susOutdated:
        return QStringLiteral("desatualizada");
    case susInactive:
        break;
    }
    return QStringLiteral("inativa");
}

struct TRosterRow {
    int Position = 0;
    QString No;
    QString Stored;
    QString Pinged;
    QString Sector;
    QString Used;
    QString Updated;
    QString State;
};

// A field as the panel reads it; a missing column is said in words.
QString FieldText(const TFDQuery& query, const QString& name) {
    try {
        return Shown(query.FieldAsString(name));
    } catch (const std::exception&) {
        return QStringLiteral("(sem a coluna)");
    }
}

// "1, 2 e 3"
QString JoinedList(const QStringList& items) {
    if (items.size() <= 1)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" e ") +
           items.last();
}

// Flags the values of `key` that several roster rows share.
void FlagRepeated(const std::vector<TRosterRow>& rows, QString TRosterRow::*key,
                  const QString& what, QStringList& flags) {
    QMap<QString, QStringList> positions;
    QStringList order;
    for (const TRosterRow& r : rows) {
        const QString& value = r.*key;
        if (value.isEmpty())
            continue;
        if (!positions.contains(value))
            order << value;
        positions[value] << QString::number(r.Position);
    }
    for (const QString& value : order) {
        const QStringList& at = positions[value];
        if (at.size() > 1)
            flags << QStringLiteral("%1 %2 repetido nas posições %3.")
                         .arg(what, value, JoinedList(at));
    }
}

// The words of a statement outside quoted texts, bracketed names and date
// literals, in capitals.
QStringList StatementWords(const QString& sql) {
    QStringList words;
    QString word;
    QChar closing;
    for (const QChar c : sql) {
        if (!closing.isNull()) {
            if (c == closing)
                closing = QChar();
            continue;
        }
        if (c.isLetterOrNumber() || c == QLatin1Char('_')) {
            word += c.toUpper();
            continue;
        }
        if (!word.isEmpty())
            words << word;
        word.clear();
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('#'))
            closing = c;
        else if (c == QLatin1Char('['))
            closing = QLatin1Char(']');
    }
    if (!word.isEmpty())
        words << word;
    return words;
}

int RunStatement(TFDConnection& connection, const TDiagOptions& options, QTextStream& out,
                 QTextStream& err) {
    TFDConnection::TResult result;
    try {
        result = connection.ExecSQL(options.SQL);
    } catch (const std::exception& e) {
        err << "painel-diagnostico: a instrução falhou:\n" << Text(e) << "\n";
        return deUnreadable;
    }
    if (options.CSV) {
        out << result.columns.join(QLatin1Char(',')) << "\n";
        for (const QVariantList& row : result.rows) {
            QStringList cells;
            for (const QVariant& v : row)
                cells << CsvField(v);
            out << cells.join(QLatin1Char(',')) << "\n";
        }
        return deAllWell;
    }
    std::vector<QStringList> rows;
    rows.reserve(result.rows.size());
    for (const QVariantList& row : result.rows) {
        QStringList cells;
        for (const QVariant& v : row)
            cells << PlainText(v);
        rows.push_back(cells);
    }
    PrintTable(out, result.columns, rows);
    out << "\n"
        << (rows.size() == 1 ? QStringLiteral("(1 linha)")
                             : QStringLiteral("(%1 linhas)").arg(rows.size()))
        << "\n";
    return deAllWell;
}

int RunRoster(TDMMain& dm, QTextStream& out, QTextStream& err) {
    TFDConnection& connection = *dm.FDCMain;
    TFDQuery& query = *dm.qryScales;

    // The roster, read as the panel's roster build reads it.
    std::vector<TRosterRow> rows;
    try {
        query.Open();
        query.First();
        while (!query.Eof()) {
            TRosterRow r;
            r.Position = query.RecNo();
            r.No = query.FieldAsString(QStringLiteral("SC_No"));
            r.Stored = query.FieldAsString(QStringLiteral("SC_Ip"));
            r.Sector = query.FieldAsString(QStringLiteral("Sect_Name"));
            r.Pinged = PesagramIPToIP(r.Stored);
            r.Used = FieldText(query, QStringLiteral("SC_Used"));
            r.Updated = FieldText(query, QStringLiteral("SC_PLUUpdated"));
            rows.push_back(r);
            query.Next();
        }
    } catch (const std::exception& e) {
        query.Close();
        connection.Close();
        err << "painel-diagnostico: o rol de balanças não pode ser lido:\n" << Text(e) << "\n";
        return deUnreadable;
    }
    query.Close();
    connection.Close();

    QStringList flags;
    // The activity check of every scale, with its address as stored.
    const TScalarQueryFunc scalar = [&connection](const QString& sql, const QVariantList& params) {
        return connection.ExecSQLScalar(sql, params);
    };
    for (TRosterRow& r : rows) {
        try {
            r.State = StateText(ActivityCheckResult(scalar, r.Stored));
        } catch (const std::exception& e) {
            r.State = QStringLiteral("falha");
            flags << QStringLiteral("Posição %1 (SC_No %2): a verificação de atividade falha "
                                    "(%3); o bloco fica em \"Aguardando\".")
                         .arg(r.Position)
                         .arg(Shown(r.No), Text(e));
        }
    }

    out << "Balanças no painel: " << rows.size() << "\n";
    if (!rows.empty()) {
        std::vector<QStringList> cells;
        for (const TRosterRow& r : rows)
            cells.push_back({QString::number(r.Position), Shown(r.No), Shown(r.Stored),
                             Shown(r.Pinged), Shown(r.Sector), r.Used, r.Updated, r.State});
        out << "\n";
        PrintTable(out,
                   {QStringLiteral("Pos."), QStringLiteral("SC_No"),
                    QStringLiteral("Endereço gravado"), QStringLiteral("Endereço pingado"),
                    QStringLiteral("Setor"), QStringLiteral("SC_Used"),
                    QStringLiteral("SC_PLUUpdated"), QStringLiteral("Estado")},
                   cells);
    }

    // The Scale rows without a sector.
    out << "\n";
    try {
        const TFDConnection::TResult left = connection.ExecSQL(LeftOutSQL);
        const qsizetype no = ColumnIndex(left.columns, QStringLiteral("SC_No"));
        const qsizetype ip = ColumnIndex(left.columns, QStringLiteral("SC_IP"));
        const qsizetype sect = ColumnIndex(left.columns, QStringLiteral("SECT_No"));
        const auto cell = [](const QVariantList& row, qsizetype i) {
            return i >= 0 && i < row.size() ? ShownValue(row[i]) : QStringLiteral("(sem a coluna)");
        };
        out << "Linhas de Scale fora do painel (setor inexistente em Sect): " << left.rows.size()
            << "\n";
        for (const QVariantList& row : left.rows)
            out << "  SC_No " << cell(row, no) << ", SECT_No " << cell(row, sect) << ", SC_IP "
                << cell(row, ip) << "\n";
        if (!left.rows.empty())
            flags << (left.rows.size() == 1
                          ? QStringLiteral(
                                "1 linha de Scale fica fora do painel por não ter setor.")
                          : QStringLiteral("%1 linhas de Scale ficam fora do painel por não terem "
                                           "setor.")
                                .arg(left.rows.size()));
    } catch (const std::exception& e) {
        out << "Linhas de Scale fora do painel: não foi possível listá-las (" << Text(e) << ")\n";
        flags << QStringLiteral("As linhas de Scale sem setor não puderam ser listadas.");
    }
    connection.Close();

    FlagRepeated(rows, &TRosterRow::No, QStringLiteral("SC_No"), flags);
    FlagRepeated(rows, &TRosterRow::Pinged, QStringLiteral("Endereço pingado"), flags);
    for (const TRosterRow& r : rows) {
        if (r.Pinged.isEmpty())
            flags << QStringLiteral("Posição %1 (SC_No %2): o endereço gravado %3 não tem "
                                    "dígitos nem pontos; o ping não tem endereço.")
                         .arg(r.Position)
                         .arg(Shown(r.No), r.Stored.isEmpty()
                                               ? Shown(r.Stored)
                                               : QLatin1Char('"') + r.Stored + QLatin1Char('"'));
    }

    out << "\n";
    if (flags.isEmpty()) {
        out << "Nenhum aviso.\n";
        return deAllWell;
    }
    out << "Avisos: " << flags.size() << "\n";
    for (const QString& f : flags)
        out << "  - " << f << "\n";
    return deFlagged;
}

} // namespace

bool ParseDiagArguments(const QStringList& Args, TDiagOptions& Options, QString& Error) {
    for (qsizetype i = 0; i < Args.size(); ++i) {
        const QString& a = Args[i];
        const auto value = [&](const QString& name, QString& target) {
            if (a.startsWith(name + QLatin1Char('='))) {
                target = a.mid(name.size() + 1);
                return true;
            }
            if (i + 1 >= Args.size()) {
                Error = QStringLiteral("falta o valor de %1.").arg(name);
                return false;
            }
            target = Args[++i];
            return true;
        };
        const auto is = [&](const QString& name) {
            return a == name || a.startsWith(name + QLatin1Char('='));
        };
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            Options.Help = true;
        } else if (a == QLatin1String("--csv")) {
            Options.CSV = true;
        } else if (is(QStringLiteral("--arquivo"))) {
            if (!value(QStringLiteral("--arquivo"), Options.File))
                return false;
            if (Options.File.isEmpty()) {
                Error = QStringLiteral("--arquivo precisa de um nome de arquivo.");
                return false;
            }
        } else if (is(QStringLiteral("--sql"))) {
            if (!value(QStringLiteral("--sql"), Options.SQL))
                return false;
            Options.SQLGiven = true;
            if (Options.SQL.trimmed().isEmpty()) {
                Error = QStringLiteral("--sql precisa de uma instrução.");
                return false;
            }
            // Only reading: the database belongs to the scale-management
            // software.
            const QStringList words = StatementWords(Options.SQL);
            if (words.value(0) != QLatin1String("SELECT") ||
                words.contains(QLatin1String("INTO"))) {
                Error = QStringLiteral("--sql só executa consultas SELECT (sem INTO): o "
                                       "diagnóstico não altera o banco de dados.");
                return false;
            }
        } else {
            Error = QStringLiteral("opção desconhecida: %1").arg(a);
            return false;
        }
    }
    if (Options.CSV && !Options.SQLGiven && !Options.Help) {
        Error = QStringLiteral("--csv só vale com --sql.");
        return false;
    }
    return true;
}

QString DiagHelpText() {
    return QStringLiteral(
               "Uso: painel-diagnostico [--arquivo ARQUIVO] [--sql \"SELECT ...\" [--csv]]\n"
               "\n"
               "Mostra o que o Painel de Monitoramento lê do banco de dados do Pesagram,\n"
               "com o mesmo código do painel.\n"
               "\n"
               "Sem --sql, mostra:\n"
               "  - o arquivo encontrado: o caminho fixo %1,\n"
               "    resolvido como o painel o resolve (no Linux, no drive C: do prefixo\n"
               "    do Wine, $WINEPREFIX ou ~/.wine), e o motor que o lê (o driver ODBC\n"
               "    do Access ou o leitor embutido);\n"
               "  - as balanças na ordem do painel: posição, SC_No, o endereço gravado e\n"
               "    o endereço pingado, o setor, SC_Used, SC_PLUUpdated e o estado que a\n"
               "    verificação de atividade dá (atualizada, desatualizada, inativa ou\n"
               "    falha);\n"
               "  - as linhas de Scale que ficam fora do painel por não terem setor em\n"
               "    Sect;\n"
               "  - avisos: SC_No repetido, endereço repetido, endereço que fica vazio\n"
               "    depois de normalizado, linhas sem setor e verificações de atividade\n"
               "    que falham.\n"
               "\n"
               "Opções:\n"
               "  --arquivo ARQUIVO   lê ARQUIVO em vez do caminho fixo\n"
               "  --sql \"SELECT ...\"  executa uma consulta SELECT no mesmo motor e mostra o\n"
               "                      resultado em tabela (nada é alterado no arquivo)\n"
               "  --csv               com --sql: mostra o resultado em CSV, como o\n"
               "                      mdb-export (cabeçalho com os nomes das colunas;\n"
               "                      textos e datas entre aspas; Sim/Não como 1/0; nulo\n"
               "                      vazio; datas como aaaa-mm-dd hh:mm:ss)\n"
               "  -h, --help          mostra esta ajuda\n"
               "\n"
               "Códigos de saída:\n"
               "  0  tudo em ordem\n"
               "  1  há avisos\n"
               "  2  o arquivo não pode ser lido, o rol não pode ser lido ou a instrução\n"
               "     falhou (com o diagnóstico do motor)\n"
               "  3  linha de comando inválida\n")
        .arg(DatabasePath);
}

int RunDiagnosis(const TDiagOptions& Options, QTextStream& Out, QTextStream& Err) {
    TDMMain dm;
    TFDConnection& connection = *dm.FDCMain;
    QString database = DatabasePath;
    if (!Options.File.isEmpty())
        database = QDir::toNativeSeparators(QFileInfo(Options.File).absoluteFilePath());
    connection.SetParam(QStringLiteral("Database"), database);
    const QString found = QString::fromStdString(platform::NativePathOf(database.toStdString()));

    // The result of a statement stands alone on the output (CSV to be read by
    // programs); the file and the engine are said only when it fails.
    QTextStream& head = Options.SQLGiven ? Err : Out;
    const auto sayFile = [&] {
        head << "Arquivo: " << found;
        if (!QFileInfo::exists(found))
            head << " (não existe)";
        head << "\n";
        if (Options.File.isEmpty())
            head << "  (o caminho fixo do painel, " << DatabasePath << ")\n";
    };
    try {
        connection.Open();
    } catch (const std::exception& e) {
        sayFile();
        if (!connection.EngineDescription().isEmpty())
            head << "Motor: " << EngineText(connection.EngineDescription()) << "\n";
        Err << "painel-diagnostico: o arquivo não pode ser lido:\n" << Text(e) << "\n";
        return deUnreadable;
    }
    if (Options.SQLGiven)
        return RunStatement(connection, Options, Out, Err);
    sayFile();
    Out << "Motor: " << EngineText(connection.EngineDescription()) << "\n";
    return RunRoster(dm, Out, Err);
}
