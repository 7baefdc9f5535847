// painel-diagnostico: the scale roster as the panel reads it.
#include "Diagnosis.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    TDiagOptions options;
    QString error;
    QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty())
        args.removeFirst();
    if (!ParseDiagArguments(args, options, error)) {
        err << "painel-diagnostico: " << error << "\n"
            << "Use \"painel-diagnostico --help\" para ver as opções.\n";
        return deUsage;
    }
    if (options.Help) {
        out << DiagHelpText();
        return deAllWell;
    }
    return RunDiagnosis(options, out, err);
}
