#pragma once
// The status model of a scale (its probe and data-state records) and the look
// its tile gets from them: worked out on the monitor thread, applied on the
// GUI thread by the presentation (MonitorModel.cpp).

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>
#include <optional>

// Communication state of a scale.
enum TScaleCommStatus : quint8 { ssPingFail = 0, ssWaiting = 1, ssOnline = 2, ssOffline = 3 };

// Data state of a scale as the scale database records it.
enum TScaleUpdateStatus : quint8 { susUpdated = 0, susOutdated = 1, susInactive = 2 };

// The probe record of a scale.
struct TPingInfo {
    quint32 sent = 0;
    quint32 received = 0;
    quint32 fail = 0;
    quint16 response_time = 0;
    QDateTime last_time_offline; // a null date-time stands for none
    quint8 rate = 0;
    TScaleCommStatus scale_comm_status = ssOffline;
    QString scale_comm_status_str;
    bool operator==(const TPingInfo&) const = default;
};

// The data-state record of a scale.
struct TUpdateStatus {
    TScaleUpdateStatus update_status = susOutdated;
    QString update_status_str;
    bool operator==(const TUpdateStatus&) const = default;
};

// One consistent copy of a scale's records, taken by its monitor thread
// together with the look, so that the GUI thread never reads a record while
// the thread writes it.
struct TScaleSnapshot {
    QString ScaleID; // the scale's number
    QString Sector;
    QString StoredAddress; // as the database holds it
    QString Address;       // as pinged
    TPingInfo PingInfo;
    TUpdateStatus UpdateStatus;
    QDateTime LastPing;        // null: no probe yet
    QDateTime LastUpdateCheck; // null: no activity check yet
    bool operator==(const TScaleSnapshot&) const = default;
};

// The details a tile's tooltip gives for the records, one line each, in
// plain text; date-times as local times in the locale's short format.
QString ScaleToolTipText(const TScaleSnapshot& Records, const QLocale& Locale = QLocale::system());

// What one presentation does to a tile: the visibility (none: unchanged), the
// status label's text and the flag picture (empty: unchanged). Worked out on
// the monitor thread and applied on the GUI thread.
struct TTileLook {
    std::optional<bool> Visible;
    QString StatusText;
    QString FlagPicture;
    // The records the look was worked out from (the tile's tooltip).
    TScaleSnapshot Records;
    bool operator==(const TTileLook&) const = default;
    // Whether the tile's controls show the same (the records aside).
    bool SameView(const TTileLook& Other) const {
        return Visible == Other.Visible && StatusText == Other.StatusText &&
               FlagPicture == Other.FlagPicture;
    }
};

// Hears every look applied to a tile, on the GUI thread, after the tile shows
// it. Set on the monitor threads by their owner before they start.
class TLookListener : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    void LookApplied(const TTileLook& Look);
};

// The filter flags of a tile, as one presentation reads them.
struct TTileFilters {
    bool ShowOffline = true;
    bool ShowOnline = true;
    bool ShowOutdated = true;
    bool ShowInactive = true;
};

// The look a tile gets for the given records and filter flags.
TTileLook TileLookFor(TScaleUpdateStatus UpdateStatus, TScaleCommStatus CommStatus,
                      const QString& CommStatusStr, const TTileFilters& Filters);
