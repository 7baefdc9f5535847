// The tray's watch over the tiles, driven through the looks the tiles take:
// the tray icon's tooltip with the counts, and the messages while the window
// is in the tray.

#include "TrayWatch.h"
#include "UnitMain.h"

#include <QTest>

namespace {

const QString Title = QStringLiteral("Pesagram - Painel de Monitoramento");

// A window as if the desktop had a tray, keeping the messages it shows.
class TWatchedWindow : public TfrmMain {
public:
    struct TMessage {
        QString Title;
        QString Text;
        QSystemTrayIcon::MessageIcon Icon;
    };
    QList<TMessage> Messages;

protected:
    bool TrayAvailable() const override { return true; }
    void ShowTrayMessage(const QString& title, const QString& text,
                         QSystemTrayIcon::MessageIcon icon) override {
        Messages.append({title, text, icon});
    }
};

enum TShown { Green, Yellow, Red, Black, Waiting };

TTileLook Look(const QString& number, const QString& sector, TShown shown) {
    TTileLook look;
    TScaleSnapshot& r = look.Records;
    r.ScaleID = number;
    r.Sector = sector;
    r.StoredAddress = QStringLiteral("10.0.9.") + number;
    r.Address = r.StoredAddress;
    r.UpdateStatus.update_status =
        shown == Black ? susInactive : (shown == Yellow ? susOutdated : susUpdated);
    r.PingInfo.scale_comm_status =
        shown == Red ? ssOffline : (shown == Waiting ? ssWaiting : ssOnline);
    return look;
}

} // namespace

class TTrayWatchTest : public QObject {
    Q_OBJECT
private:
    TWatchedWindow* W = nullptr;

    void Show(const QString& number, const QString& sector, TShown shown) {
        emit W->LookListener->LookApplied(Look(number, sector, shown));
    }
    // Lets the gathering end and gives the texts of the messages shown.
    QStringList Told() {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QStringList texts;
        for (const auto& message : std::as_const(W->Messages)) {
            if (message.Title != Title)
                texts << QStringLiteral("wrong title: ") + message.Title;
            texts << message.Text;
        }
        W->Messages.clear();
        return texts;
    }
    void ToTray() {
        W->showMinimized();
        QTRY_VERIFY(W->InTray());
    }

private slots:
    void init() {
        W = new TWatchedWindow;
        W->TrayWatch()->SetGatherInterval(0);
        W->show();
        QVERIFY(QTest::qWaitForWindowExposed(W));
    }
    void cleanup() {
        delete W;
        W = nullptr;
    }

    void toolTipCounts() {
        QCOMPARE(W->TrayIcon1->toolTip(), Title);
        Show(QStringLiteral("1"), QStringLiteral("Padaria"), Waiting);
        QCOMPARE(W->TrayIcon1->toolTip(), Title);
        for (int i = 1; i <= 12; ++i)
            Show(QString::number(i), QStringLiteral("Frios"), Green);
        Show(QStringLiteral("13"), QStringLiteral("Açougue"), Yellow);
        Show(QStringLiteral("14"), QStringLiteral("Padaria"), Red);
        Show(QStringLiteral("15"), QStringLiteral("Padaria"), Red);
        Show(QStringLiteral("16"), QString(), Black);
        QCOMPARE(W->TrayIcon1->toolTip(),
                 Title + QStringLiteral("\n12 comunicando e atualizadas, 1 desatualizada, "
                                        "2 sem comunicação, 1 desativada"));
        // Refreshed as a tile changes; a scale counts once.
        Show(QStringLiteral("1"), QStringLiteral("Frios"), Yellow);
        Show(QStringLiteral("16"), QString(), Black);
        QCOMPARE(W->TrayIcon1->toolTip(),
                 Title + QStringLiteral("\n11 comunicando e atualizadas, 2 desatualizadas, "
                                        "2 sem comunicação, 1 desativada"));
        // A rebuild counts only the tiles it builds.
        W->TrayWatch()->BeginRoster();
        QCOMPARE(W->TrayIcon1->toolTip(), Title);
        Show(QStringLiteral("2"), QStringLiteral("Frios"), Green);
        QCOMPARE(W->TrayIcon1->toolTip(),
                 Title + QStringLiteral("\n1 comunicando e atualizada, 0 desatualizadas, "
                                        "0 sem comunicação, 0 desativadas"));
    }

    void messages() {
        // Start-up: red or not, nobody is told.
        Show(QStringLiteral("7"), QStringLiteral("Padaria"), Red);
        Show(QStringLiteral("8"), QStringLiteral("Frios"), Green);
        Show(QStringLiteral("9"), QString(), Yellow);
        Show(QStringLiteral("10"), QStringLiteral("Caixa"), Green);
        QCOMPARE(Told(), QStringList());

        // The window is open: its tiles tell.
        Show(QStringLiteral("10"), QStringLiteral("Caixa"), Red);
        QCOMPARE(Told(), QStringList());

        ToTray();
        QCOMPARE(Told(), QStringList());
        // One change, one message; the same look again tells nothing new.
        Show(QStringLiteral("8"), QStringLiteral("Frios"), Red);
        QCOMPARE(Told(), QStringList{QStringLiteral("Balança 8 (Frios) sem comunicação")});
        Show(QStringLiteral("8"), QStringLiteral("Frios"), Red);
        QCOMPARE(Told(), QStringList());
        QCOMPARE(W->Messages.size(), 0);

        // Many at once (a switch fails or comes back): one message.
        Show(QStringLiteral("7"), QStringLiteral("Padaria"), Green);
        Show(QStringLiteral("9"), QString(), Red);
        Show(QStringLiteral("10"), QStringLiteral("Caixa"), Yellow);
        Show(QStringLiteral("8"), QStringLiteral("Frios"), Green);
        Show(QStringLiteral("8"), QStringLiteral("Frios"), Red); // back where it was: no news
        QCOMPARE(Told(), QStringList{QStringLiteral("Balança 7 (Padaria) comunicando novamente\n"
                                                    "Balança 9 sem comunicação\n"
                                                    "Balança 10 (Caixa) comunicando novamente")});

        // Between communicating states, and to inactive: nothing to tell.
        Show(QStringLiteral("7"), QStringLiteral("Padaria"), Yellow);
        Show(QStringLiteral("10"), QStringLiteral("Caixa"), Black);
        QCOMPARE(Told(), QStringList());

        // A rebuild: scales already red stay quiet, a new scale starts quiet,
        // a scale that turned red across it is told.
        W->TrayWatch()->BeginRoster();
        Show(QStringLiteral("8"), QStringLiteral("Frios"), Waiting);
        Show(QStringLiteral("8"), QStringLiteral("Frios"), Red);
        Show(QStringLiteral("9"), QString(), Red);
        Show(QStringLiteral("7"), QStringLiteral("Padaria"), Red);
        Show(QStringLiteral("11"), QStringLiteral("Novo"), Red);
        QCOMPARE(Told(), QStringList{QStringLiteral("Balança 7 (Padaria) sem comunicação")});

        // Back on screen: quiet again, also for what was still being gathered.
        Show(QStringLiteral("9"), QString(), Green);
        W->TrayIcon1DblClick();
        QCOMPARE(Told(), QStringList());
        Show(QStringLiteral("8"), QStringLiteral("Frios"), Green);
        QCOMPARE(Told(), QStringList());

        // Back in the tray, the window's last state is the starting point.
        ToTray();
        Show(QStringLiteral("8"), QStringLiteral("Frios"), Red);
        QCOMPARE(Told(), QStringList{QStringLiteral("Balança 8 (Frios) sem comunicação")});
    }

    // A great many changes name the first scales and count the rest.
    void manyChanges() {
        for (int i = 1; i <= 25; ++i)
            Show(QString::number(i), QStringLiteral("S"), Green);
        ToTray();
        for (int i = 1; i <= 25; ++i)
            Show(QString::number(i), QStringLiteral("S"), Red);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(W->Messages.size(), 1);
        QCOMPARE(W->Messages[0].Icon, QSystemTrayIcon::Warning);
        const QStringList lines = W->Messages[0].Text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 10);
        QCOMPARE(lines.first(), QStringLiteral("Balança 1 (S) sem comunicação"));
        QCOMPARE(lines.last(), QStringLiteral("e mais 16 balanças"));
    }
};

QTEST_MAIN(TTrayWatchTest)
#include "tst_panel_traywatch.moc"
