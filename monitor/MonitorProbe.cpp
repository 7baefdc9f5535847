#include "MonitorProbe.h"

#include "MonitorLog.h"
#include "PlatformPaths.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <mutex>
#include <stdexcept>

Q_LOGGING_CATEGORY(lcMonitor, "painel.monitor", QtFatalMsg)

namespace {

// Ping result files of the live monitor threads.
std::mutex g_fileNamesLock;
QSet<QString> g_fileNamesInUse;

} // namespace

TPingTextMarkers PlatformPingMarkers() {
#ifdef Q_OS_WIN
    return {QStringLiteral("Resposta de"), QStringLiteral("tempo"), QStringLiteral("ms")};
#else
    return {QStringLiteral("bytes from"), QStringLiteral("time"), QStringLiteral("ms")};
#endif
}

QString PingCommandFront() {
#ifdef Q_OS_WIN
    return qEnvironmentVariable("WINDIR") + QStringLiteral("\\System32\\cmd.exe /C ping -n 1 ");
#else
    return QStringLiteral("LC_ALL=C ping -n -c 1 -W 4 ");
#endif
}

QString QuotePathForShell(const QString& Path) {
#ifdef Q_OS_WIN
    return QLatin1Char('"') + Path + QLatin1Char('"');
#else
    QString out = QStringLiteral("'");
    for (const QChar c : Path) {
        if (c == QLatin1Char('\''))
            out += QStringLiteral("'\\''");
        else
            out += c;
    }
    out += QLatin1Char('\'');
    return out;
#endif
}

QString PingCommandLine(const QString& Front, const QString& Address, const QString& ResultFile) {
    return Front + Address + QStringLiteral(" > ") + QuotePathForShell(ResultFile);
}

QString ClaimPingResultFile(const QString& ThreadID) {
    const QString base =
        QString::fromStdString(platform::PingResultDirectory() + platform::PathSeparator()) +
        QStringLiteral("p") + ThreadID;
    std::lock_guard<std::mutex> guard(g_fileNamesLock);
    QString name = base + QStringLiteral(".txt");
    for (int n = 2; g_fileNamesInUse.contains(name); ++n)
        name = base + QStringLiteral("-%1.txt").arg(n);
    g_fileNamesInUse.insert(name);
    return name;
}

void ReleasePingResultFile(const QString& FileName) {
    std::lock_guard<std::mutex> guard(g_fileNamesLock);
    g_fileNamesInUse.remove(FileName);
}

std::optional<QString> FindReplyTimeText(const QStringList& Lines,
                                         const TPingTextMarkers& Markers) {
    for (const QString& line : Lines) {
        if (!line.contains(Markers.Reply) || !line.contains(Markers.Time))
            continue;
        const qsizetype t = line.indexOf(Markers.Time);
        const qsizetype m = line.indexOf(Markers.Unit); // -1 when missing
        const qsizetype start = t + Markers.Time.size() + 1;
        const qsizetype length = m - start;
        if (start >= line.size() || length <= 0)
            return QString();
        return line.mid(start, length);
    }
    return std::nullopt;
}

quint16 ReplyTimeToMs(const QString& TimeText) {
    static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]+$"));
    static const QRegularExpression fraction(QStringLiteral("^([0-9]+)\\.([0-9]+)$"));
    const QString text = TimeText.trimmed();
    bool ok = false;
    if (whole.match(text).hasMatch()) {
        const qint64 value = text.toLongLong(&ok);
        if (ok && value >= INT32_MIN && value <= INT32_MAX)
            return static_cast<quint16>(static_cast<quint64>(value) & 0xFFFF);
    } else if (const QRegularExpressionMatch match = fraction.match(text); match.hasMatch()) {
        const qint64 value = match.captured(1).toLongLong(&ok);
        if (ok && value <= INT32_MAX)
            return value == 0 ? 1 : static_cast<quint16>(value & 0xFFFF);
    }
    throw std::invalid_argument("'" + TimeText.toStdString() + "' is not a valid time");
}

QStringList ReadPingResultLines(const QString& FileName, qint64 MaxBytes) {
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot open " + FileName.toStdString() + ": " +
                                 file.errorString().toStdString());
    const QByteArray data = file.read(MaxBytes);
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error("Cannot read " + FileName.toStdString() + ": " +
                                 file.errorString().toStdString());
    QStringList lines = QString::fromLocal8Bit(data).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the end of the last line is no line of its own
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}
