#include "UnitMonitorThread.h"

#include "MonitorLog.h"
#include "UnitUtils.h"

#include <QFile>
#include <QFileInfo>
#include <exception>

namespace {

// Whole seconds between two date-times: both in whole milliseconds, the
// absolute difference, the remainder dropped. A clock set back therefore
// makes things due instead of stalling them.
qint64 SecondsBetween(const QDateTime& A, const QDateTime& B) {
    return qAbs(A.toMSecsSinceEpoch() - B.toMSecsSinceEpoch()) / 1000;
}

} // namespace

TMonitorThread::TMonitorThread(bool CreateSuspended) : TThread(CreateSuspended) {
    FirstStage();
    StartUnlessSuspended(CreateSuspended);
}

TMonitorThread::TMonitorThread(bool CreateSuspended, TFDConnection* FDCON, quint16 StoreID,
                               const QString& ScaleID, const QString& IPAddress,
                               const QString& Sector, const QString& Name, quint16 PingInterval,
                               QThread::Priority Priority)
    : TThread(CreateSuspended) {
    Q_UNUSED(StoreID);
    Q_UNUSED(PingInterval);
    FirstStage();
    SetThreadPriority(Priority);
    FFDConnection = FDCON;
    FIPAddressMSACCESS = IPAddress;
    FIPAddress = PesagramIPToIP(FIPAddressMSACCESS);
    FScaleID = ScaleID;
    FName = Name;
    FSector = Sector;
    FThreadID = FIPAddress;
    FThreadID.remove(QLatin1Char('.'));
    FPingResultFile = ClaimPingResultFile(FThreadID);
    const QDateTime now = Now();
    FLastPing = now.addMSecs(-(static_cast<qint64>(FPingInterval.load()) + 1) * 1000);
    FLastUpdateCheck = now.addMSecs(-(static_cast<qint64>(FUpdateCheckInterval) + 1) * 1000);
    StartUnlessSuspended(CreateSuspended);
}

void TMonitorThread::FirstStage() {
    SetFreeOnTerminate(true);
    setStackSize(StackSize);
    FPingCommand = PingCommandFront();
    FPingInterval.store(10000);
    FUpdateCheckInterval = 5000;
    FIPAddress.clear();
    FSector.clear();
    FThreadID.clear();
    FPingResultFile.clear();
    FLabelStatus = nullptr;
    FShowOffline.store(true);
    FShowOnline.store(true);
    FShowOutdated.store(true);
    FShowInactive.store(true);
    PingInfo = TPingInfo{};
    PingInfo.scale_comm_status = ssOffline;
    PingInfo.scale_comm_status_str = ScaleCommStatusToStr(ssOffline);
    PingInfo.last_time_offline = Now();
    UpdateStatus.update_status = susOutdated;
    UpdateStatus.update_status_str = ScaleUpdateStatusToStr(susOutdated);
    FPing_Fail_Count = 0;
    FStrListAux.clear();
}

TMonitorThread::~TMonitorThread() {
    // The body uses this object's fields: it must have ended before they go.
    if (!Suspended()) {
        Terminate();
        WaitFor();
    }
    if (!FPingResultFile.isEmpty())
        ReleasePingResultFile(FPingResultFile);
}

QString TMonitorThread::ScaleCommStatusToStr(TScaleCommStatus Status) {
    switch (Status) {
    case ssPingFail:
        return QStringLiteral("Falha no ping");
    case ssWaiting:
        return QStringLiteral("Aguardando");
    case ssOnline:
        return QStringLiteral("Comunicando");
    case ssOffline:
        return QStringLiteral("Sem comunicação");
    }
    return QString();
}

QString TMonitorThread::ScaleUpdateStatusToStr(TScaleUpdateStatus Status) {
    switch (Status) {
    case susUpdated:
        return QStringLiteral("Atualizada");
    case susOutdated:
        return QStringLiteral("Desatualizada");
    case susInactive:
        break;
    }
    return QString();
}

QDateTime TMonitorThread::Now() const {
    // In UTC: the thread only measures intervals with it, which needs no
    // time zone, and what is shown is turned into local time there.
    return FClock ? FClock() : QDateTime::currentDateTimeUtc();
}

void TMonitorThread::Execute() {
    // The ping result file goes with the thread however the body ends, also
    // when a failed activity check ends it: no temporary file is left behind.
    struct TRemoveResultFile {
        const QString& File;
        ~TRemoveResultFile() { QFile::remove(File); }
    } removeResultFile{FPingResultFile};

    PostFirstFill();
    while (!Terminated()) {
        // A filter click is shown before anything that is due: a probe may
        // have to wait for its turn to start.
        if (FFilterChanged.exchange(false, std::memory_order_relaxed))
            UpdateControls(false);
        MonitorPass();
        // The pass ran everything that was due: the thread sleeps until the
        // next check or probe, a filter change or a stop request.
        Sleep(NextPassWait());
    }
}

quint8 TMonitorThread::MonitorPass() {
    quint8 counter = 0;
    if (SecondsBetween(Now(), FLastUpdateCheck) > FUpdateCheckInterval / 1000.0) {
        Synchronize([this] { CheckStatus(); });
        ++counter;
    }
    if (SecondsBetween(Now(), FLastPing) > FPingInterval.load(std::memory_order_relaxed) / 1000.0) {
        if (UpdateStatus.update_status != susInactive)
            Ping();
        ++counter;
    }
    if (counter > 0)
        UpdateControls(false);
    return counter;
}

namespace {

// Milliseconds from `Now` until whole seconds elapsed since `Last` exceed
// `IntervalMs` / 1000 (0 when they already do).
qint64 MSecsUntilDue(const QDateTime& Now, const QDateTime& Last, quint32 IntervalMs) {
    const qint64 elapsed = Now.toMSecsSinceEpoch() - Last.toMSecsSinceEpoch();
    if (elapsed < 0)
        return 0; // the clock went back: the next pass decides
    const qint64 dueAfter = (static_cast<qint64>(IntervalMs) / 1000 + 1) * 1000;
    return qMax<qint64>(0, dueAfter - elapsed);
}

} // namespace

quint32 TMonitorThread::NextPassWait() const {
    const QDateTime now = Now();
    qint64 wait = MSecsUntilDue(now, FLastUpdateCheck, FUpdateCheckInterval);
    if (UpdateStatus.update_status != susInactive)
        wait = qMin(wait, MSecsUntilDue(now, FLastPing, PingInterval()));
    return static_cast<quint32>(qBound<qint64>(100, wait, MaxPassWait));
}

void TMonitorThread::SetFilter(std::atomic<bool>& Flag, bool Value) {
    if (Flag.exchange(Value, std::memory_order_relaxed) == Value)
        return;
    FFilterChanged.store(true, std::memory_order_relaxed);
    WakeUp();
}

void TMonitorThread::Ping() {
    try {
        const QString commandLine = PingCommandLine(FPingCommand, FIPAddress, FPingResultFile);
        // Whatever stands at the file's name goes first, so that the
        // redirection makes a new file and never writes through a link.
        QFile::remove(FPingResultFile);
        bool ended = false;
        try {
            // A stop request ends the command at once and removes its file.
            ended = ExecuteAndWait(commandLine, StopSignal(), FPingResultFile);
        } catch (const std::exception& failure) {
            qCDebug(lcMonitor) << "ping of" << FIPAddress << "not started:" << failure.what();
            // The command could not be run: say so rather than keep a state
            // nobody has checked.
            PingInfo.scale_comm_status = ssPingFail;
            PingInfo.scale_comm_status_str = ScaleCommStatusToStr(PingInfo.scale_comm_status);
            return;
        }
        if (!ended)
            return; // ended by the stop request: as if it had never run

        if (QFileInfo(FPingResultFile).isFile()) {
            ++PingInfo.sent;
            // At their last value the counters return to 0 however this probe
            // ends, also when reading its result fails below: otherwise the
            // next probe would wrap `sent` to 0 alone.
            struct TResetAtWrap {
                TPingInfo& Info;
                ~TResetAtWrap() {
                    if (Info.sent == 4294967295u) {
                        Info.sent = 0;
                        Info.received = 0;
                        Info.fail = 0;
                    }
                }
            } resetAtWrap{PingInfo};
            FStrListAux = ReadPingResultLines(FPingResultFile);
            const std::optional<QString> timeText =
                FindReplyTimeText(FStrListAux, PlatformPingMarkers());
            if (timeText) {
                ++PingInfo.received;
                FPing_Fail_Count = 0;
                PingInfo.response_time = ReplyTimeToMs(*timeText);
                PingInfo.scale_comm_status = ssOnline;
                PingInfo.last_time_offline = QDateTime();
                FPingInterval.store(10000, std::memory_order_relaxed);
            } else {
                ++PingInfo.fail;
                if (FPing_Fail_Count < 255)
                    ++FPing_Fail_Count;
                PingInfo.response_time = 0;
                if (FPing_Fail_Count < 4) {
                    FPingInterval.store(500, std::memory_order_relaxed);
                } else {
                    PingInfo.scale_comm_status = ssOffline;
                    if (!PingInfo.last_time_offline.isValid())
                        PingInfo.last_time_offline = Now();
                    FPingInterval.store(10000, std::memory_order_relaxed);
                }
            }
            if (PingInfo.sent == 0 || PingInfo.sent <= PingInfo.fail)
                PingInfo.rate = 0;
            else
                PingInfo.rate = static_cast<quint8>(
                    (static_cast<quint64>(PingInfo.sent) - PingInfo.fail) * 100 / PingInfo.sent);
            FLastPing = Now();
            FPinged = true;
            FStrListAux.clear();
        }
        PingInfo.scale_comm_status_str = ScaleCommStatusToStr(PingInfo.scale_comm_status);
    } catch (const std::exception& failure) {
        // The probe reports nothing; the next pass probes again.
        qCDebug(lcMonitor) << "probe of" << FIPAddress << "failed:" << failure.what();
    } catch (...) {
        qCDebug(lcMonitor) << "probe of" << FIPAddress << "failed";
    }
}
