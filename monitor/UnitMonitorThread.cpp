#include "UnitMonitorThread.h"

#include "PlatformPaths.h"
#include "Resources.h"
#include "TImage.h"
#include "UnitDMMain.h"
#include "UnitUtils.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QWidget>
#include <mutex>
#include <stdexcept>

namespace {

// Ping result files of the live monitor threads. Addresses that give the
// same digits (192.168.1.11 and 192.168.11.1, or one address twice) would
// otherwise share a file: the first keeps "p<digits>.txt", the others get
// "p<digits>-2.txt", "p<digits>-3.txt", ... (the lowest number not in use).
std::mutex g_fileNamesLock;
QSet<QString> g_fileNamesInUse;

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

// Whole seconds between two date-times: both in whole milliseconds, the
// absolute difference, the remainder dropped. A clock set back therefore
// makes things due instead of stalling them.
qint64 SecondsBetween(const QDateTime& A, const QDateTime& B) {
    return qAbs(A.toMSecsSinceEpoch() - B.toMSecsSinceEpoch()) / 1000;
}

// Decoded pictures by name, used on the GUI thread only.
QImage CachedPicture(const QString& Name) {
    static QHash<QString, QImage> cache;
    auto it = cache.constFind(Name);
    if (it != cache.constEnd())
        return *it;
    QImage picture = LoadResourcePicture(Name);
    cache.insert(Name, picture);
    return picture;
}

// Loads a picture into a control; a picture that cannot be loaded leaves the
// control as it was (a posted change has nobody to report to).
void TryLoadImage(TImage* Image, const QString& Name) {
    try {
        TMonitorThread::LoadImage(Image, Name);
    } catch (const std::exception&) {
    }
}

void ApplyLook(QWidget* Container, QLabel* Status, TImage* Flag, const TTileLook& Look) {
    if (Container && Look.Visible && Container->isHidden() == *Look.Visible)
        Container->setVisible(*Look.Visible);
    if (Status)
        Status->setText(Look.StatusText);
    if (Flag && !Look.FlagPicture.isEmpty())
        TryLoadImage(Flag, Look.FlagPicture);
}

} // namespace

// ------------------------------------------------------------- presentation

TTileLook TileLookFor(TScaleUpdateStatus UpdateStatus, TScaleCommStatus CommStatus,
                      const QString& CommStatusStr, const TTileFilters& Filters) {
    TTileLook look;
    look.StatusText = CommStatusStr;
    if (UpdateStatus == susInactive) {
        look.Visible = Filters.ShowInactive;
        look.FlagPicture = QStringLiteral("BLACK_CHK");
        return look;
    }
    switch (CommStatus) {
    case ssOnline:
        if (UpdateStatus == susUpdated) {
            look.Visible = Filters.ShowOnline;
            look.FlagPicture = QStringLiteral("GREEN_CHK");
        } else {
            look.Visible = Filters.ShowOutdated;
            look.FlagPicture = QStringLiteral("YELLOW_CHK");
        }
        break;
    case ssOffline:
        look.Visible = Filters.ShowOffline;
        look.FlagPicture = QStringLiteral("RED_CHK");
        break;
    case ssPingFail:
        look.FlagPicture = QStringLiteral("RED_CHK");
        break;
    case ssWaiting:
        break;
    }
    return look;
}

// ------------------------------------------------------------------- probe

TPingTextMarkers PlatformPingMarkers() {
    const platform::TPingMarkers m = platform::PingMarkers();
    return {QString::fromStdString(m.reply), QString::fromStdString(m.time),
            QString::fromStdString(m.unit)};
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

// ---------------------------------------------------------- activity check

bool ResultAsTruthValue(const QVariant& Value) {
    if (!Value.isValid())
        return false; // no row
    if (Value.isNull())
        throw std::runtime_error("Could not convert variant of type (Null) into type (Boolean)");
    switch (Value.typeId()) {
    case QMetaType::Bool:
        return Value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return Value.toLongLong() != 0;
    case QMetaType::Double:
    case QMetaType::Float:
        return Value.toDouble() != 0.0;
    case QMetaType::QString: {
        const QString text = Value.toString().trimmed();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
        bool ok = false;
        double number = QLocale::system().toDouble(text, &ok);
        if (!ok)
            number = QLocale::c().toDouble(text, &ok);
        if (ok)
            return number != 0.0;
        break;
    }
    default:
        break;
    }
    throw std::runtime_error("Could not convert variant of type (" +
                             std::string(Value.typeName() ? Value.typeName() : "?") +
                             ") into type (Boolean)");
}

// ---------------------------------------------------------- monitor thread

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
    FPingCommand = QString::fromStdString(platform::PingCommandFront());
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
    return FClock ? FClock() : QDateTime::currentDateTime();
}

void TMonitorThread::LoadImage(TImage* Image, const QString& RSName) {
    Image->SetPicture(CachedPicture(RSName));
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
        const bool filterChanged = FFilterChanged.exchange(false, std::memory_order_relaxed);
        if (MonitorPass() == 0 && filterChanged)
            UpdateControls(false);
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
        const QString commandLine =
            FPingCommand + FIPAddress + QStringLiteral(" > ") +
            QString::fromStdString(platform::QuotePathForShell(FPingResultFile.toStdString()));
        // Whatever stands at the file's name goes first, so that the
        // redirection makes a new file and never writes through a link.
        QFile::remove(FPingResultFile);
        bool ended = false;
        try {
            // A stop request ends the command at once and removes its file.
            ended = ExecuteAndWait(commandLine, StopSignal(), FPingResultFile);
        } catch (const std::exception&) {
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
            if (PingInfo.sent == PingInfo.fail)
                PingInfo.rate = 0;
            else
                PingInfo.rate = static_cast<quint8>(
                    (static_cast<quint64>(PingInfo.sent) - PingInfo.fail) * 100 / PingInfo.sent);
            if (PingInfo.sent == 4294967295u) {
                PingInfo.sent = 0;
                PingInfo.received = 0;
                PingInfo.fail = 0;
            }
            FLastPing = Now();
            FStrListAux.clear();
        }
        PingInfo.scale_comm_status_str = ScaleCommStatusToStr(PingInfo.scale_comm_status);
    } catch (...) {
        // The probe reports nothing; the next pass probes again.
    }
}

void TMonitorThread::CheckStatus() {
    const QVariantList params{QVariant(FIPAddressMSACCESS)};
    const auto scalar = [&](const QString& sql) {
        if (FScalarQuery)
            return FScalarQuery(sql, params);
        if (!FFDConnection)
            throw std::runtime_error("No database connection");
        return FFDConnection->ExecSQLScalar(sql, params);
    };
    TScaleUpdateStatus status = susInactive;
    if (ResultAsTruthValue(scalar(QStringLiteral("SELECT SC_Used FROM SCALE WHERE SC_IP = :ip"))))
        status = ResultAsTruthValue(
                     scalar(QStringLiteral("SELECT SC_PLUUpdated FROM SCALE WHERE SC_IP = :ip")))
                     ? susUpdated
                     : susOutdated;
    UpdateStatus.update_status = status;
    FLastUpdateCheck = Now();
}

TTileLook TMonitorThread::CurrentLook() const {
    TTileFilters filters;
    filters.ShowOffline = ShowOffline();
    filters.ShowOnline = ShowOnline();
    filters.ShowOutdated = ShowOutdated();
    filters.ShowInactive = ShowInactive();
    return TileLookFor(UpdateStatus.update_status, PingInfo.scale_comm_status,
                       PingInfo.scale_comm_status_str, filters);
}

void TMonitorThread::UpdateControls(bool fSynchronize) {
    if (fSynchronize) {
        Synchronize([this] { UpdateControls(); });
        FLastLook.reset();
        return;
    }
    const TTileLook look = CurrentLook();
    if (FLastLook && *FLastLook == look)
        return; // the tile shows this already
    FLastLook = look;
    PostLook(look);
}

void TMonitorThread::UpdateControls() {
    ApplyLook(FControlContainer, FLabelStatus, FImageFlagStatus, CurrentLook());
}

void TMonitorThread::PostLook(const TTileLook& Look) {
    // Applied on the GUI thread in the order handed over, and dropped when
    // the tile has been freed meanwhile.
    Queue([container = FControlContainer, status = FLabelStatus, flag = FImageFlagStatus, Look] {
        if (container)
            ApplyLook(container, status, flag, Look);
    });
}

void TMonitorThread::PostFirstFill() {
    FLastLook.reset();
    Queue([container = FControlContainer, status = FLabelStatus, address = FLabelScaleIP,
           name = FLabelScaleName, sector = FLabelSector, picture = FImageStatus,
           flag = FImageFlagStatus, waiting = ScaleCommStatusToStr(ssWaiting), ip = FIPAddress,
           scaleName = FName, sectorName = FSector] {
        if (!container)
            return;
        if (status)
            status->setText(waiting);
        if (address)
            address->setText(ip);
        if (name)
            name->setText(scaleName);
        if (sector)
            sector->setText(sectorName);
        if (picture)
            TryLoadImage(picture, QStringLiteral("CPU"));
        if (flag)
            TryLoadImage(flag, QStringLiteral("RED_CHK"));
    });
}
