#pragma once
// The monitor thread of one scale with its schedules. Its parts stand in
// files of their own: the status model and the tile's look (MonitorModel),
// the reachability probe (MonitorProbe, a library of its own on Qt Core),
// the activity check (MonitorCheck).

#include "MonitorCheck.h"
#include "MonitorModel.h"
#include "MonitorProbe.h"
#include "TImage.h"
#include "TThread.h"

#include <QDateTime>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <functional>
#include <optional>

class TFDConnection;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PAINEL_STACK_FACTOR 4
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PAINEL_STACK_FACTOR 4
#endif
#endif
#ifndef PAINEL_STACK_FACTOR
#define PAINEL_STACK_FACTOR 1
#endif

class TMonitorThread : public TThread {
    Q_OBJECT
public:
    using TClock = std::function<QDateTime()>;
    using TScalarQuery = TScalarQueryFunc;

    // First stage of construction: defaults only.
    explicit TMonitorThread(bool CreateSuspended);
    // StoreID and PingInterval are accepted and ignored: the probe interval
    // always starts at 10000 ms.
    TMonitorThread(bool CreateSuspended, TFDConnection* FDCON, quint16 StoreID,
                   const QString& ScaleID, const QString& IPAddress, const QString& Sector,
                   const QString& Name, quint16 PingInterval, QThread::Priority Priority);
    // Destroy: stops the body when it still runs and waits for its end.
    ~TMonitorThread() override;

    static QString ScaleCommStatusToStr(TScaleCommStatus Status);
    // "Atualizada", "Desatualizada"; no text (the null text) for susInactive.
    static QString ScaleUpdateStatusToStr(TScaleUpdateStatus Status);

    TPingInfo PingInfo;
    TUpdateStatus UpdateStatus;

    QString GetIPAddress() const { return FIPAddress; }

    // Properties. The control references are set by the owner on the GUI
    // thread before Start(); the body hands changes for them to the GUI thread,
    // where they are applied unless the control has been freed by then.
    quint16 PingInterval() const { return FPingInterval.load(std::memory_order_relaxed); }
    void SetPingInterval(quint16 Value) { FPingInterval.store(Value, std::memory_order_relaxed); }
    QLabel* LabelScaleName() const { return FLabelScaleName; }
    void SetLabelScaleName(QLabel* Value) { FLabelScaleName = Value; }
    QLabel* LabelScaleIP() const { return FLabelScaleIP; }
    void SetLabelScaleIP(QLabel* Value) { FLabelScaleIP = Value; }
    QLabel* LabelScaleSector() const { return FLabelSector; }
    void SetLabelScaleSector(QLabel* Value) { FLabelSector = Value; }
    QLabel* LabelStatus() const { return FLabelStatus; }
    void SetLabelStatus(QLabel* Value) { FLabelStatus = Value; }
    TImage* ImageStatus() const { return FImageStatus; }
    void SetImageStatus(TImage* Value) { FImageStatus = Value; }
    TImage* ImageCommStatus() const { return FImageFlagStatus; }
    void SetImageCommStatus(TImage* Value) { FImageFlagStatus = Value; }
    QWidget* ControlContainer() const { return FControlContainer; }
    void SetControlContainer(QWidget* Value) { FControlContainer = Value; }
    // The filter flags. Changing one wakes the running body, which presents
    // the tile with it at once instead of at its next due check or probe.
    bool ShowOffline() const { return FShowOffline.load(std::memory_order_relaxed); }
    void SetShowOffline(bool Value) { SetFilter(FShowOffline, Value); }
    bool ShowOnline() const { return FShowOnline.load(std::memory_order_relaxed); }
    void SetShowOnline(bool Value) { SetFilter(FShowOnline, Value); }
    bool ShowOutdated() const { return FShowOutdated.load(std::memory_order_relaxed); }
    void SetShowOutdated(bool Value) { SetFilter(FShowOutdated, Value); }
    bool ShowInactive() const { return FShowInactive.load(std::memory_order_relaxed); }
    void SetShowInactive(bool Value) { SetFilter(FShowInactive, Value); }
    // Hears the looks applied to the tile (GUI thread); tracked like the
    // controls.
    TLookListener* LookListener() const { return FLookListener; }
    void SetLookListener(TLookListener* Value) { FLookListener = Value; }
    QString ScaleID() const { return FScaleID; }
    void SetScaleID(const QString& Value) { FScaleID = Value; }

    // Loads the picture stored among the resources under `RSName` into
    // `Image` (GUI thread only; decoded pictures are kept for reuse).
    static void LoadImage(TImage* Image, const QString& RSName);

protected:
    void Execute() override;
    // One pass of the monitor loop; gives the pass counter.
    quint8 MonitorPass();
    // How long the loop may wait after a pass: until the next activity check
    // or probe is due (a probe is never due for an inactive scale, whose look
    // only an activity check or a filter change can alter), at least the
    // 100 ms pacing and at most one activity check period, so that a wall
    // clock set back or forward is noticed within that period.
    quint32 NextPassWait() const;
    static constexpr quint32 MaxPassWait = 6000;
    // The stack of a monitor thread. Its body is shallow (the activity check
    // runs on the GUI thread); a small stack is what lets the system keep
    // the stacks of a whole roster for the next one, so that a refresh does
    // not map and unmap hundreds of 8 MiB stacks (on Linux it made starting
    // 300 threads three to six times faster).
    // The body needs between 32 and 64 KiB; sanitizers' frames take
    // several times more.
    static constexpr uint StackSize = 256 * 1024 * PAINEL_STACK_FACTOR;
    void Ping();
    void CheckStatus();
    // true: the presentation body on the GUI thread, waiting for it; false:
    // the look handed to the GUI thread without waiting.
    void UpdateControls(bool fSynchronize);
    // The presentation body (GUI thread only).
    void UpdateControls();

    // The clock of the schedules and stamps (set before Start()).
    void SetClock(TClock Clock) { FClock = std::move(Clock); }
    // Replaces the connection's scalar query (set before Start()).
    void SetScalarQuery(TScalarQuery Query) { FScalarQuery = std::move(Query); }
    QString PingResultFile() const { return FPingResultFile; }
    QString PingCommand() const { return FPingCommand; }
    quint8 PingFailCount() const { return FPing_Fail_Count; }
    QDateTime LastPing() const { return FLastPing; }
    QDateTime LastUpdateCheck() const { return FLastUpdateCheck; }
    QString ThreadID() const { return FThreadID; }
    const QStringList& StrListAux() const { return FStrListAux; }

private:
    void FirstStage();
    QDateTime Now() const;
    TTileLook CurrentLook() const;
    // A copy of the records (monitor thread, or GUI thread while it waits).
    TScaleSnapshot Snapshot() const;
    void SetFilter(std::atomic<bool>& Flag, bool Value);
    void PostFirstFill();
    // ViewChanged false: the tile's controls show this look already, only its
    // records are new.
    void PostLook(const TTileLook& Look, bool ViewChanged);

    QString FIPAddress;
    QString FThreadID;
    QString FPingResultFile;
    QString FPingCommand;
    QString FName;
    QString FSector;
    QString FScaleID;
    QString FIPAddressMSACCESS;
    std::atomic<quint16> FPingInterval{0};
    quint16 FUpdateCheckInterval = 0;
    QStringList FStrListAux;
    // The tile's controls: tracked, so that a change still on its way to a
    // control that has been freed meanwhile is dropped.
    QPointer<QLabel> FLabelStatus;
    QPointer<QLabel> FLabelScaleName;
    QPointer<QLabel> FLabelScaleIP;
    QPointer<QLabel> FLabelSector;
    QPointer<TImage> FImageStatus;
    QPointer<TImage> FImageFlagStatus;
    QPointer<QWidget> FControlContainer;
    QPointer<TLookListener> FLookListener;
    quint8 FPing_Fail_Count = 0;
    QDateTime FLastPing;
    QDateTime FLastUpdateCheck;
    bool FPinged = false;  // FLastPing is a probe's, not the start's
    bool FChecked = false; // FLastUpdateCheck is a check's, not the start's
    std::atomic<bool> FShowOffline{false};
    std::atomic<bool> FShowOnline{false};
    std::atomic<bool> FShowOutdated{false};
    std::atomic<bool> FShowInactive{false};
    std::atomic<bool> FFilterChanged{false}; // since the body last looked
    TFDConnection* FFDConnection = nullptr;

    TClock FClock;
    TScalarQuery FScalarQuery;
    std::optional<TTileLook> FLastLook; // the last look handed over (monitor thread)
};
