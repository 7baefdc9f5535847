#pragma once
// The tray's watch over the tiles: the counts by state for the tray icon's
// tooltip, and messages for scales that lose or regain communication while
// the window is in the tray.

#include "MonitorModel.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>
#include <array>
#include <functional>

class TTrayWatch : public QObject {
    Q_OBJECT
public:
    using TInTray = std::function<bool()>;
    using TShowMessage = std::function<void(const QString& Title, const QString& Text,
                                            QSystemTrayIcon::MessageIcon)>;
    using TSetToolTip = std::function<void(const QString& Text)>;

    // What a tile shows, as the tray counts it.
    enum TTileState : quint8 { tsNone, tsOnline, tsOutdated, tsOffline, tsInactive };

    TTrayWatch(const QString& Title, TInTray InTray, TShowMessage ShowMessage,
               TSetToolTip SetToolTip, QObject* Parent = nullptr);

    // Changes seen within this time are gathered into one message.
    void SetGatherInterval(int MSecs) { FGather.setInterval(MSecs); }

    // A roster build starts: the tiles built so far are gone. A scale of the
    // last roster whose first look shows the state it had gets no message.
    void BeginRoster();

    // A tile shows a new look.
    void LookApplied(const TTileLook& Look);

    static TTileState StateOf(const TTileLook& Look);
    // "12 comunicando e atualizadas, 1 desatualizada, 2 sem comunicação,
    // 1 desativada" for the tiles of the current roster.
    QString CountsText() const;

private:
    struct TScale {
        QString Name; // "Balança 7 (Padaria)"
        TTileState State = tsNone;
        bool Current = false;          // has a tile in the current roster
        bool Previous = false;         // had one in the roster before it
        TTileState Announced = tsNone; // what the last message said, or the baseline
    };
    void Flush();
    void RefreshToolTip();

    QString FTitle;
    TInTray FInTray;
    TShowMessage FShowMessage;
    TSetToolTip FSetToolTip;
    QHash<QString, TScale> FScales; // by number and stored address
    QStringList FPending;           // keys with a change to tell, in order
    QTimer FGather;
    // Tiles of the current roster by the state they show, kept as looks
    // come (a roster of hundreds would otherwise be counted at every look).
    std::array<int, tsInactive + 1> FCounts{};
    std::array<int, tsInactive + 1> FToolTipCounts{}; // behind FToolTip
    QString FToolTip;                                 // the last one given
};
