#pragma once
// The reachability probe's recipe, in one place and on Qt Core alone: the
// ping command line with its quoting, the result files, and the reading of
// ping's output (the reply line, the time text, the round-trip time).

#include <QString>
#include <QStringList>
#include <optional>

// The markers that pick the reply line and the time out of ping's output: the
// reply line is the first line holding `Reply` and `Time`; the time text runs
// from the first character after the time marker's sign up to `Unit`.
struct TPingTextMarkers {
    QString Reply;
    QString Time;
    QString Unit;
};

// The markers of this system's ping: "Resposta de", "tempo", "ms" on Windows
// (the Portuguese ping), "bytes from", "time", "ms" elsewhere (run with
// LC_ALL=C).
TPingTextMarkers PlatformPingMarkers();

// The fixed front of the ping command line, with its trailing blank; the
// address and the output redirection follow it.
// Windows: %WINDIR%\System32\cmd.exe /C ping -n 1
// POSIX:   LC_ALL=C ping -n -c 1 -W 4   (run through /bin/sh -c)
QString PingCommandFront();

// `Path` quoted as one word for the command interpreter that runs the ping
// command line (double quotes for cmd.exe, single quotes for /bin/sh).
QString QuotePathForShell(const QString& Path);

// The whole probe command: `Front`, the address, and the output redirected
// into `ResultFile`.
QString PingCommandLine(const QString& Front, const QString& Address, const QString& ResultFile);

// Claims the result file of a monitor thread whose address digits are
// `ThreadID`, in the platform's ping result directory. Addresses that give
// the same digits (192.168.1.11 and 192.168.11.1, or one address twice) would
// otherwise share a file: the first keeps "p<digits>.txt", the others get
// "p<digits>-2.txt", "p<digits>-3.txt", ... (the lowest number not in use).
QString ClaimPingResultFile(const QString& ThreadID);
// Gives a claimed name back (the thread that held it has gone).
void ReleasePingResultFile(const QString& FileName);

// The time text of the first line holding both the reply and the time marker,
// running from the first character after the time marker's sign up to the
// first unit marker of the line (empty when the unit marker stands before it
// or is missing). None when no line is a reply line.
std::optional<QString> FindReplyTimeText(const QStringList& Lines, const TPingTextMarkers& Markers);

// The round-trip time of a time text in whole milliseconds (low 16 bits).
// Blanks around the number are ignored; fractional milliseconds are truncated
// and a time under 1 ms with a fraction counts 1. Throws std::invalid_argument
// when the text is no number.
quint16 ReplyTimeToMs(const QString& TimeText);

// Reads a ping result file as lines, at most `MaxBytes` of it (a runaway
// output cannot take the memory). Throws std::runtime_error when the file
// cannot be opened or read.
QStringList ReadPingResultLines(const QString& FileName, qint64 MaxBytes = 64 * 1024);
