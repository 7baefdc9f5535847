#include "MonitorModel.h"

#include "MonitorLog.h"
#include "Resources.h"
#include "TImage.h"
#include "UnitMonitorThread.h"

#include <QCursor>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QTextDocument>
#include <QToolTip>
#include <QWidget>
#include <exception>

namespace {

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
    } catch (const std::exception& failure) {
        qCDebug(lcMonitor) << "picture" << Name << "not loaded:" << failure.what();
    }
}

QString LocalDateTimeText(const QDateTime& Moment, const QLocale& Locale) {
    return Locale.toString(Moment.toLocalTime(), QLocale::ShortFormat);
}

// Gives the tile its tooltip; a tooltip on screen for the tile follows at
// once. A text that Qt would take for rich text is shown as written.
void SetTileToolTip(QWidget* Container, const TScaleSnapshot& Records) {
    QString tip = ScaleToolTipText(Records);
    if (Qt::mightBeRichText(tip))
        tip = QStringLiteral("<p style='white-space:pre'>") + tip.toHtmlEscaped() +
              QStringLiteral("</p>");
    if (Container->toolTip() == tip)
        return;
    Container->setToolTip(tip);
    if (QToolTip::isVisible() && Container->underMouse())
        QToolTip::showText(QCursor::pos(), tip, Container);
}

// ViewChanged false: only the records changed, the controls are left alone.
void ApplyLook(QWidget* Container, QLabel* Status, TImage* Flag, const TTileLook& Look,
               TLookListener* Listener, bool ViewChanged = true) {
    if (ViewChanged) {
        if (Container && Look.Visible && Container->isHidden() == *Look.Visible)
            Container->setVisible(*Look.Visible);
        if (Status)
            Status->setText(Look.StatusText);
        if (Flag && !Look.FlagPicture.isEmpty())
            TryLoadImage(Flag, Look.FlagPicture);
    }
    if (!Container)
        return; // the tile is gone: nothing is applied
    SetTileToolTip(Container, Look.Records);
    if (Listener)
        emit Listener->LookApplied(Look);
}

} // namespace

QString ScaleToolTipText(const TScaleSnapshot& Records, const QLocale& Locale) {
    const TPingInfo& ping = Records.PingInfo;
    QStringList lines;
    lines << QStringLiteral("Balança %1 — %2").arg(Records.ScaleID, Records.Sector);
    if (Records.StoredAddress == Records.Address)
        lines << QStringLiteral("Endereço: %1").arg(Records.Address);
    else
        lines << QStringLiteral("Endereço: %1 (pingado: %2)")
                     .arg(Records.StoredAddress, Records.Address);
    lines << QStringLiteral("Comunicação: %1").arg(ping.scale_comm_status_str);
    if (ping.response_time == 0)
        lines << QStringLiteral("Tempo de resposta: sem resposta");
    else
        lines << QStringLiteral("Tempo de resposta: %1 ms").arg(ping.response_time);
    if (ping.sent == 0)
        lines << QStringLiteral("Taxa de sucesso: sem pings");
    else
        lines << QStringLiteral("Taxa de sucesso: %1 % (%2 de %3)")
                     .arg(ping.rate)
                     .arg(ping.received)
                     .arg(ping.sent);
    if (ping.scale_comm_status == ssOffline && ping.last_time_offline.isValid())
        lines << QStringLiteral("Sem comunicação desde %1")
                     .arg(LocalDateTimeText(ping.last_time_offline, Locale));
    switch (Records.UpdateStatus.update_status) {
    case susUpdated:
        lines << QStringLiteral("Dados: Atualizada");
        break;
    case susOutdated:
        lines << QStringLiteral("Dados: Desatualizada");
        break;
    case susInactive:
        lines << QStringLiteral("Dados: Desativada");
        break;
    }
    lines << QStringLiteral("Último ping: %1")
                 .arg(Records.LastPing.isValid() ? LocalDateTimeText(Records.LastPing, Locale)
                                                 : QStringLiteral("nenhum"));
    lines << QStringLiteral("Última verificação: %1")
                 .arg(Records.LastUpdateCheck.isValid()
                          ? LocalDateTimeText(Records.LastUpdateCheck, Locale)
                          : QStringLiteral("nenhuma"));
    return lines.join(QLatin1Char('\n'));
}

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

void TMonitorThread::LoadImage(TImage* Image, const QString& RSName) {
    Image->SetPicture(CachedPicture(RSName));
}

TTileLook TMonitorThread::CurrentLook() const {
    TTileFilters filters;
    filters.ShowOffline = ShowOffline();
    filters.ShowOnline = ShowOnline();
    filters.ShowOutdated = ShowOutdated();
    filters.ShowInactive = ShowInactive();
    TTileLook look = TileLookFor(UpdateStatus.update_status, PingInfo.scale_comm_status,
                                 PingInfo.scale_comm_status_str, filters);
    look.Records = Snapshot();
    return look;
}

TScaleSnapshot TMonitorThread::Snapshot() const {
    TScaleSnapshot records;
    records.ScaleID = FName;
    records.Sector = FSector;
    records.StoredAddress = FIPAddressMSACCESS;
    records.Address = FIPAddress;
    records.PingInfo = PingInfo;
    records.UpdateStatus = UpdateStatus;
    if (FPinged)
        records.LastPing = FLastPing;
    if (FChecked)
        records.LastUpdateCheck = FLastUpdateCheck;
    return records;
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
    const bool viewChanged = !FLastLook || !FLastLook->SameView(look);
    FLastLook = look;
    PostLook(look, viewChanged);
}

void TMonitorThread::UpdateControls() {
    ApplyLook(FControlContainer, FLabelStatus, FImageFlagStatus, CurrentLook(), FLookListener);
}

void TMonitorThread::PostLook(const TTileLook& Look, bool ViewChanged) {
    // Applied on the GUI thread in the order handed over, and dropped when
    // the tile has been freed meanwhile.
    Queue([container = FControlContainer, status = FLabelStatus, flag = FImageFlagStatus,
           listener = FLookListener, Look, ViewChanged] {
        if (container)
            ApplyLook(container, status, flag, Look, listener, ViewChanged);
    });
}

void TMonitorThread::PostFirstFill() {
    FLastLook.reset();
    // The tooltip says what the tile says: waiting for the first probe.
    TScaleSnapshot records = Snapshot();
    records.PingInfo.scale_comm_status = ssWaiting;
    records.PingInfo.scale_comm_status_str = ScaleCommStatusToStr(ssWaiting);
    Queue([records, container = FControlContainer, status = FLabelStatus, address = FLabelScaleIP,
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
        SetTileToolTip(container, records);
    });
}
