#include "FakePing.h"

#include "TestSupport.h"

#include <QFile>

namespace testsupport {

TFakePing::TFakePing(const QString& DefaultMode) {
    QFile script(QStringLiteral(PAINEL_FAKE_PING_SCRIPT));
    if (script.open(QIODevice::ReadOnly))
        InstallCommand(FDir.path(), QStringLiteral("ping"), script.readAll());
    SetDefaultMode(DefaultMode);
    FOldPath = PrependToPath(FDir.path());
}

TFakePing::~TFakePing() {
    qputenv("PATH", FOldPath);
}

void TFakePing::WriteFile(const QString& Name, const QString& Text) {
    QFile f(FDir.filePath(Name));
    if (Text.isEmpty()) {
        f.remove();
        return;
    }
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(Text.toUtf8());
}

void TFakePing::SetMode(const QString& Address, const QString& Mode) {
    WriteFile(Address + QStringLiteral(".mode"), Mode);
}

void TFakePing::SetDefaultMode(const QString& Mode) {
    WriteFile(QStringLiteral("default.mode"), Mode);
}

void TFakePing::SetOutput(const QString& Address, const QString& Output) {
    QFile f(FDir.filePath(Address + QStringLiteral(".out")));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(Output.toUtf8());
}

int TFakePing::Calls(const QString& Address) const {
    QFile f(FDir.filePath(QStringLiteral("calls.log")));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')).count(Address);
}

QList<QStringList> TFakePing::Calls() const {
    QFile f(FDir.filePath(QStringLiteral("args.log")));
    QList<QStringList> calls;
    if (!f.open(QIODevice::ReadOnly))
        return calls;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.isEmpty())
            continue;
        QStringList args = line.split(QLatin1Char('|'));
        if (!args.isEmpty() && args.last().isEmpty())
            args.removeLast();
        calls << args;
    }
    return calls;
}

void TFakePing::ClearCalls() {
    QFile::remove(FDir.filePath(QStringLiteral("args.log")));
    QFile::remove(FDir.filePath(QStringLiteral("calls.log")));
}

} // namespace testsupport
