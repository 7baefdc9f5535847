#pragma once
// painel-diagnostico: what the panel reads from the scale database, printed
// for support staff. The database is read through the panel's data module and
// engines, addresses go through the panel's normalization and every scale
// through the panel's activity check.

#include <QString>
#include <QStringList>
#include <QTextStream>

struct TDiagOptions {
    QString File; // --arquivo; empty: the panel's fixed path
    QString SQL;  // --sql
    bool SQLGiven = false;
    bool CSV = false;  // --csv (with --sql)
    bool Help = false; // -h, --help
};

// Exit codes of the program.
enum TDiagExit : int {
    deAllWell = 0,    // nothing flagged
    deFlagged = 1,    // something flagged
    deUnreadable = 2, // the file, the roster or the statement cannot be read
    deUsage = 3       // the command line is wrong
};

// Reads the arguments (the program's name left out). False with `Error` set
// when they are wrong.
bool ParseDiagArguments(const QStringList& Args, TDiagOptions& Options, QString& Error);

QString DiagHelpText();

// Does what `Options` ask, printing results on `Out` and failures on `Err`;
// gives the exit code.
int RunDiagnosis(const TDiagOptions& Options, QTextStream& Out, QTextStream& Err);
