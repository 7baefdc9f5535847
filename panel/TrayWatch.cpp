#include "TrayWatch.h"

namespace {

// At most this many scales are named in one message.
constexpr int MaxNamedScales = 10;

QString Counted(int Count, const QString& One, const QString& Many) {
    return QStringLiteral("%1 %2").arg(Count).arg(Count == 1 ? One : Many);
}

} // namespace

TTrayWatch::TTrayWatch(const QString& Title, TInTray InTray, TShowMessage ShowMessage,
                       TSetToolTip SetToolTip, QObject* Parent)
    : QObject(Parent), FTitle(Title), FInTray(std::move(InTray)),
      FShowMessage(std::move(ShowMessage)), FSetToolTip(std::move(SetToolTip)) {
    FGather.setSingleShot(true);
    FGather.setInterval(3000);
    connect(&FGather, &QTimer::timeout, this, &TTrayWatch::Flush);
    RefreshToolTip();
}

TTrayWatch::TTileState TTrayWatch::StateOf(const TTileLook& Look) {
    const TPingInfo& ping = Look.Records.PingInfo;
    if (Look.Records.UpdateStatus.update_status == susInactive)
        return tsInactive;
    switch (ping.scale_comm_status) {
    case ssOnline:
        return Look.Records.UpdateStatus.update_status == susUpdated ? tsOnline : tsOutdated;
    case ssOffline:
    case ssPingFail:
        return tsOffline;
    case ssWaiting:
        break;
    }
    return tsNone;
}

void TTrayWatch::BeginRoster() {
    for (auto it = FScales.begin(); it != FScales.end();) {
        if (!it->Current) {
            // Missing from a whole roster: the scale is gone.
            FPending.removeAll(it.key());
            it = FScales.erase(it);
            continue;
        }
        it->Previous = true;
        it->Current = false;
        ++it;
    }
    FCounts.fill(0);
    RefreshToolTip();
}

void TTrayWatch::LookApplied(const TTileLook& Look) {
    const TTileState state = StateOf(Look);
    if (state == tsNone)
        return; // waiting for the first probe: nothing to count or tell yet
    const TScaleSnapshot& records = Look.Records;
    const QString key = records.ScaleID + QChar(0x1F) + records.StoredAddress;
    auto it = FScales.find(key);
    if (it == FScales.end()) {
        // First seen (start-up, or new in this roster): the state it starts in.
        TScale scale;
        scale.State = state;
        scale.Announced = state;
        it = FScales.insert(key, scale);
    }
    it->Name = records.Sector.isEmpty()
                   ? QStringLiteral("Balança %1").arg(records.ScaleID)
                   : QStringLiteral("Balança %1 (%2)").arg(records.ScaleID, records.Sector);
    if (!it->Current) {
        it->Current = true;
        ++FCounts[state];
    } else if (it->State != state) {
        --FCounts[it->State];
        ++FCounts[state];
    }
    const bool changed = it->State != state;
    it->State = state;
    if (changed) {
        if (FInTray && FInTray()) {
            if (!FPending.contains(key))
                FPending.append(key);
            if (!FGather.isActive())
                FGather.start();
        } else {
            it->Announced = state; // the window shows it
        }
    }
    RefreshToolTip();
}

void TTrayWatch::Flush() {
    const bool inTray = FInTray && FInTray();
    QStringList lines;
    bool anyOffline = false;
    for (const QString& key : std::as_const(FPending)) {
        auto it = FScales.find(key);
        if (it == FScales.end())
            continue;
        const bool wasOffline = it->Announced == tsOffline;
        const bool isOffline = it->State == tsOffline;
        const bool communicating = it->State == tsOnline || it->State == tsOutdated;
        if (inTray) {
            if (isOffline && !wasOffline) {
                lines << it->Name + QStringLiteral(" sem comunicação");
                anyOffline = true;
            } else if (communicating && wasOffline) {
                lines << it->Name + QStringLiteral(" comunicando novamente");
            }
        }
        it->Announced = it->State;
    }
    FPending.clear();
    if (lines.isEmpty() || !FShowMessage)
        return;
    if (lines.size() > MaxNamedScales) {
        const qsizetype more = lines.size() - (MaxNamedScales - 1);
        lines.resize(MaxNamedScales - 1);
        lines << QStringLiteral("e mais %1 balanças").arg(more);
    }
    FShowMessage(FTitle, lines.join(QLatin1Char('\n')),
                 anyOffline ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
}

QString TTrayWatch::CountsText() const {
    const int online = FCounts[tsOnline], outdated = FCounts[tsOutdated],
              offline = FCounts[tsOffline], inactive = FCounts[tsInactive];
    if (online + outdated + offline + inactive == 0)
        return QString();
    return QStringList{
        Counted(online, QStringLiteral("comunicando e atualizada"),
                QStringLiteral("comunicando e atualizadas")),
        Counted(outdated, QStringLiteral("desatualizada"), QStringLiteral("desatualizadas")),
        Counted(offline, QStringLiteral("sem comunicação"), QStringLiteral("sem comunicação")),
        Counted(inactive, QStringLiteral("desativada"), QStringLiteral("desativadas"))}
        .join(QStringLiteral(", "));
}

void TTrayWatch::RefreshToolTip() {
    // Most looks change no count: the text is made only when one changed.
    if (FToolTipCounts == FCounts && !FToolTip.isEmpty())
        return;
    FToolTipCounts = FCounts;
    const QString counts = CountsText();
    const QString tip = counts.isEmpty() ? FTitle : FTitle + QLatin1Char('\n') + counts;
    if (tip == FToolTip)
        return;
    FToolTip = tip;
    if (FSetToolTip)
        FSetToolTip(tip);
}
