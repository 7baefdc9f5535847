#pragma once
// Fixtures of the fault tests: a fake `ping` first on PATH whose behaviour is
// chosen per address, a temporary Wine prefix with the database at the fixed
// path, and a closer for the message boxes the panel opens.

#include "MdbWriter.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

// A `ping` that behaves per address as the file "<address>.mode" of its
// directory says (no file: it answers at once):
//   reply           a reply line with time=0.3 ms
//   silent          no reply line
//   slow <s>        sleeps <s> seconds, then answers
//   hang <s>        sleeps <s> seconds, then answers nothing
//   time <text>     a reply line with time=<text> ms
//   big <bytes>     <bytes> bytes of text with no reply line, then a reply line
//   bigreply <bytes> a reply line, then <bytes> bytes of text
//   garbage         binary bytes, no line ends
// Every call appends its arguments, each followed by '|', as one line to
// args.log (in one write, so that calls side by side do not mix).
class THardPing {
public:
    THardPing() {
        const QString script =
            QStringLiteral(
                "#!/bin/sh\n"
                "d='%1'\n"
                "line=; for a; do line=\"$line$a|\"; done\n"
                "printf '%s\\n' \"$line\" >> \"$d/args.log\"\n"
                "for a; do addr=$a; done\n"
                "set -- $(cat \"$d/$addr.mode\" 2>/dev/null)\n"
                "reply() { echo \"64 bytes from $addr: icmp_seq=1 ttl=64 time=$1 ms\"; }\n"
                "echo \"PING $addr ($addr) 56(84) bytes of data.\"\n"
                "case \"$1\" in\n"
                "silent) ;;\n"
                "slow) sleep \"$2\"; reply 0.3;;\n"
                "hang) sleep \"$2\";;\n"
                "time) reply \"$2\";;\n"
                "big) head -c \"$2\" /dev/zero | tr '\\0' 'x'; echo; reply 0.3;;\n"
                "bigreply) reply 0.3; head -c \"$2\" /dev/zero | tr '\\0' 'y';;\n"
                "garbage) head -c 4096 /dev/urandom;;\n"
                "*) reply 0.3;;\n"
                "esac\n"
                "exit 0\n")
                .arg(FDir.path());
        testsupport::InstallCommand(FDir.path(), QStringLiteral("ping"), script.toUtf8());
        FOldPath = testsupport::PrependToPath(FDir.path());
    }
    ~THardPing() { qputenv("PATH", FOldPath); }
    THardPing(const THardPing&) = delete;
    THardPing& operator=(const THardPing&) = delete;

    QString Dir() const { return FDir.path(); }
    void SetMode(const QString& address, const QString& mode) {
        QFile f(FDir.filePath(address + QStringLiteral(".mode")));
        if (mode.isEmpty()) {
            f.remove();
            return;
        }
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(mode.toUtf8());
    }
    // The argument lists of every call so far, each as its arguments.
    QList<QStringList> Calls() const {
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
    void ClearCalls() { QFile::remove(FDir.filePath(QStringLiteral("args.log"))); }

private:
    QTemporaryDir FDir;
    QByteArray FOldPath;
};

// Closes every modal message box as soon as it shows and keeps its texts.
class THardBoxCloser : public QObject {
public:
    THardBoxCloser() {
        connect(&FTimer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                Titles << box->windowTitle();
                Texts << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        FTimer.start(10);
    }
    QStringList Titles;
    QStringList Texts;

private:
    QTimer FTimer;
};

// Tables `Scale` and `Sect` with the columns the panel reads; every cell of
// a scale row is given (NULL allowed where the file can hold it).
struct THardScale {
    mdbw::TValue no;
    mdbw::TValue ip;
    mdbw::TValue sect;
    mdbw::TValue used = true;
    mdbw::TValue updated = true;
};

inline mdbw::TTable HardScaleTable(const std::vector<THardScale>& scales,
                                   mdbw::TColumnType noType = mdbw::TColumnType::Long,
                                   mdbw::TColumnType flagType = mdbw::TColumnType::YesNo) {
    using mdbw::TColumnType;
    mdbw::TTable t{"Scale",
                   {{"SC_No", noType, 20},
                    {"SC_IP", TColumnType::Text, 255},
                    {"SECT_No", TColumnType::Long},
                    {"SC_Used", flagType},
                    {"SC_PLUUpdated", flagType}},
                   {}};
    for (const THardScale& s : scales)
        t.rows.push_back({s.no, s.ip, s.sect, s.used, s.updated});
    return t;
}

inline mdbw::TTable HardSectTable(const std::vector<std::pair<int, std::string>>& sectors) {
    using mdbw::TColumnType;
    mdbw::TTable t{
        "Sect", {{"SECT_No", TColumnType::Long}, {"SECT_Name", TColumnType::Text, 255}}, {}};
    for (const auto& [no, name] : sectors)
        t.rows.push_back({std::int64_t(no), name});
    return t;
}

// Whether `args` is exactly the ping command of the probe with an address
// made of digits and full stops only (none at all for an address without
// any).
inline bool IsPlainProbe(const QStringList& args) {
    static const QRegularExpression address(QStringLiteral("^[0-9.]+$"));
    return args.mid(0, 5) == QStringList({"-n", "-c", "1", "-W", "4"}) &&
           (args.size() == 5 || (args.size() == 6 && address.match(args[5]).hasMatch()));
}
