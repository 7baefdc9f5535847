#pragma once
// Fixtures shared by the monitor tests: a monitor thread with its protected
// operations opened up, a settable clock and a tile made of the controls the
// panel builds. The fake `ping` is the shared one, printing canned output.

#include "FakePing.h"
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

using testsupport::TFakePing;

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
