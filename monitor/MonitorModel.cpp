#include "MonitorModel.h"

#include "MonitorLog.h"
#include "Resources.h"
#include "TImage.h"
#include "UnitMonitorThread.h"

#include <QHash>
#include <QImage>
#include <QLabel>
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

void ApplyLook(QWidget* Container, QLabel* Status, TImage* Flag, const TTileLook& Look) {
    if (Container && Look.Visible && Container->isHidden() == *Look.Visible)
        Container->setVisible(*Look.Visible);
    if (Status)
        Status->setText(Look.StatusText);
    if (Flag && !Look.FlagPicture.isEmpty())
        TryLoadImage(Flag, Look.FlagPicture);
}

} // namespace

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
