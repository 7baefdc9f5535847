#include "UnitUtils.h"

#include "HiddenProcess.h"

QString PesagramIPToIP(const QString& IP) {
    QString result;
    result.reserve(IP.size());
    for (const QChar c : IP) {
        const char16_t u = c.unicode();
        if ((u >= u'0' && u <= u'9') || u == u'.')
            result.append(c);
    }
    return result;
}

bool ExecuteAndWait(const QString& CommandLine) {
    return ExecuteAndWait(CommandLine, nullptr, QString());
}

bool ExecuteAndWait(const QString& CommandLine, platform::TStopSignal* Stop,
                    const QString& ResultFile) {
    qsizetype first = 0;
    qsizetype last = CommandLine.size();
    while (first < last && CommandLine.at(first).unicode() <= 32)
        ++first;
    while (last > first && CommandLine.at(last - 1).unicode() <= 32)
        --last;
    return platform::RunHiddenAndWait(CommandLine.mid(first, last - first).toStdString(), Stop,
                                      ResultFile.toStdString()) == platform::TRunEnd::Ended;
}
