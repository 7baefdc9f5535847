#pragma once
// Fixtures shared by the monitor tests: a monitor thread with its protected
// operations opened up, a settable clock, a tile made of the controls the
// panel builds, and a fake `ping` placed first on PATH.

#include "TImage.h"
#include "TestSupport.h"
#include "UnitMonitorThread.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <mutex>

class TTestMonitor : public TMonitorThread {
public:
    using TMonitorThread::CheckStatus;
    using TMonitorThread::LastPing;
    using TMonitorThread::LastUpdateCheck;
    using TMonitorThread::MonitorPass;
    using TMonitorThread::NextPassWait;
    using TMonitorThread::Ping;
    using TMonitorThread::PingCommand;
    using TMonitorThread::PingFailCount;
    using TMonitorThread::PingResultFile;
    using TMonitorThread::SetClock;
    using TMonitorThread::SetScalarQuery;
    using TMonitorThread::StrListAux;
    using TMonitorThread::ThreadID;
    using TMonitorThread::TMonitorThread;
    using TMonitorThread::UpdateControls;
};

// A monitor thread built as the roster build does, bound to nothing yet.
inline std::unique_ptr<TTestMonitor> MakeMonitor(const QString& address,
                                                 TFDConnection* connection = nullptr,
                                                 quint16 storeId = 1, quint16 pingInterval = 10) {
    auto t = std::make_unique<TTestMonitor>(true, connection, storeId, QStringLiteral("7"), address,
                                            QStringLiteral("Frios"), QStringLiteral("7"),
                                            pingInterval, QThread::LowPriority);
    t->SetFreeOnTerminate(false);
    return t;
}

// A clock the test sets; read by the monitor thread.
class TFakeClock {
public:
    explicit TFakeClock(const QDateTime& start) : FNow(start) {}
    QDateTime Now() {
        std::lock_guard<std::mutex> guard(FLock);
        return FNow;
    }
    void Set(const QDateTime& value) {
        std::lock_guard<std::mutex> guard(FLock);
        FNow = value;
    }
    TMonitorThread::TClock Function() {
        return [this] {
            return Now();
        };
    }

private:
    std::mutex FLock;
    QDateTime FNow;
};

// The controls of one scale tile, owned by the container.
struct TTile {
    std::unique_ptr<QWidget> Container = std::make_unique<QWidget>();
    QLabel* Status = new QLabel(Container.get());
    QLabel* Name = new QLabel(Container.get());
    QLabel* Address = new QLabel(Container.get());
    QLabel* Sector = new QLabel(Container.get());
    TImage* Picture = new TImage(Container.get());
    TImage* Flag = new TImage(Container.get());

    void Bind(TMonitorThread& t) {
        t.SetControlContainer(Container.get());
        t.SetLabelScaleName(Name);
        t.SetLabelScaleIP(Address);
        t.SetLabelStatus(Status);
        t.SetLabelScaleSector(Sector);
        t.SetImageStatus(Picture);
        t.SetImageCommStatus(Flag);
    }
};

// A `ping` first on PATH that prints canned output per address: the file
// "<address>.out" of its directory (nothing when there is none). An address
// whose "<address>.mode" holds "missing" leaves no result file, "unreadable"
// leaves one that cannot be read, "hang" prints its output and then sleeps
// 30 s. Every call appends the address to calls.log.
class TFakePing {
public:
    TFakePing() {
        const QString script =
            QStringLiteral("#!/bin/sh\n"
                           "for a; do addr=$a; done\n"
                           "d='%1'\n"
                           "echo \"$addr\" >> \"$d/calls.log\"\n"
                           "out=$(readlink /proc/$$/fd/1)\n"
                           "mode=$(cat \"$d/$addr.mode\" 2>/dev/null)\n"
                           "case \"$mode\" in\n"
                           "missing) rm -f \"$out\"; exit 1;;\n"
                           "unreadable) rm -f \"$out\"; ln -s /proc/self/mem \"$out\"; "
                           "exit 1;;\n"
                           "esac\n"
                           "[ -f \"$d/$addr.out\" ] && cat \"$d/$addr.out\"\n"
                           "[ \"$mode\" = hang ] && sleep 30\n"
                           "exit 0\n")
                .arg(FDir.path());
        testsupport::InstallCommand(FDir.path(), QStringLiteral("ping"), script.toUtf8());
        testsupport::PrependToPath(FDir.path());
    }

    void SetOutput(const QString& address, const QString& output) {
        QFile f(FDir.filePath(address + QStringLiteral(".out")));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(output.toUtf8());
    }
    void SetMode(const QString& address, const QString& mode) {
        QFile f(FDir.filePath(address + QStringLiteral(".mode")));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(mode.toUtf8());
    }
    int Calls(const QString& address) const {
        QFile f(FDir.filePath(QStringLiteral("calls.log")));
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')).count(address);
    }

private:
    QTemporaryDir FDir;
};

// Canned outputs in the format of the Linux ping (iputils, LC_ALL=C).
inline QString LinuxReply(const QString& address, const QString& time) {
    return QStringLiteral("PING %1 (%1) 56(84) bytes of data.\n"
                          "64 bytes from %1: icmp_seq=1 ttl=64 time=%2 ms\n"
                          "\n"
                          "--- %1 ping statistics ---\n"
                          "1 packets transmitted, 1 received, 0% packet loss, time 0ms\n")
        .arg(address, time);
}
inline QString LinuxNoReply(const QString& address) {
    return QStringLiteral("PING %1 (%1) 56(84) bytes of data.\n"
                          "\n"
                          "--- %1 ping statistics ---\n"
                          "1 packets transmitted, 0 received, 100% packet loss, time 0ms\n")
        .arg(address);
}
