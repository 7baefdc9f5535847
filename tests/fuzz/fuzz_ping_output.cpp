// The ping output parser on arbitrary output: the result file is read as
// lines (bounded), the reply line and its time text are picked with the
// markers of either platform, and the time text becomes milliseconds or is
// refused with std::invalid_argument; nothing else may happen.

#include "MonitorProbe.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace {

QString ResultFile() {
    static const QString name =
        QDir::temp().filePath(QStringLiteral("fuzz-ping-%1.txt").arg(getpid()));
    return name;
}

void Parse(const QStringList& lines, const TPingTextMarkers& markers) {
    const std::optional<QString> timeText = FindReplyTimeText(lines, markers);
    if (!timeText)
        return;
    // The time text is a piece of one reply line.
    bool inLine = false;
    for (const QString& line : lines)
        if (line.contains(markers.Reply) && line.contains(markers.Time)) {
            inLine = line.contains(*timeText);
            break;
        }
    if (!inLine)
        std::abort();
    try {
        (void)ReplyTimeToMs(*timeText);
    } catch (const std::invalid_argument&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString name = ResultFile();
    {
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    QStringList lines;
    try {
        lines = ReadPingResultLines(name, 4096);
    } catch (const std::runtime_error&) {
        std::abort(); // a file just written must be readable
    }
    for (const QString& line : lines)
        if (line.contains(QLatin1Char('\n')))
            std::abort();
    Parse(lines, {QStringLiteral("bytes from"), QStringLiteral("time"), QStringLiteral("ms")});
    Parse(lines, {QStringLiteral("Resposta de"), QStringLiteral("tempo"), QStringLiteral("ms")});
    Parse(lines, PlatformPingMarkers());
    return 0;
}
