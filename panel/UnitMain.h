#pragma once
// The main window: the tile area, the legend bar and the bottom bar with the
// filter boxes and the two buttons; the tray icon and the refresh timer.

#include <QFont>
#include <QList>
#include <QMainWindow>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QTimer;
class TFlowLayout;
class TImage;
class TPanel;
class TScrollBox;
class TToolButton;
class TMonitorThread;
class TLookListener;
class TTrayWatch;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Builds the tile of the scale at roster position Index (counted from 0)
    // and appends it at the end of the flow area. Its controls are named by
    // role followed by Index + 1; a name already taken throws.
    TPanel* CreateMonitorControl(quint16 Index);

    // Roster build, refresh and shutdown.
    // Opens the database and builds the first roster; called once, after the
    // window has been made and before it is first shown. When the database
    // cannot be opened, StartupAborted() is true afterwards: the program then
    // ends without showing the window.
    void FormCreate();
    void FormClose();
    bool InitializeDatabase();
    void InitializeThreads();
    void DeleteThreads();
    void Atualiza();
    void TimerUpdateTimer();
    void chkOfflineClick();
    void chkOnlineClick();
    void chkOutdatedClick();
    void chkInactiveClick();

    // The window's own handlers.
    void FormResize();
    void ApplicationEvents1Minimize();
    void TrayIcon1DblClick();
    void btnSairClick();
    void btnAtualizarClick();

    // Controls of the layout.
    TScrollBox* ScrollBox1 = nullptr;
    TPanel* FlowPanel1 = nullptr;
    TPanel* Panel1 = nullptr;
    TImage* Image3 = nullptr;
    QLabel* Label2 = nullptr;
    TPanel* Panel2 = nullptr;
    TImage* Image5 = nullptr;
    QLabel* Label3 = nullptr;
    TPanel* Panel4 = nullptr;
    TImage* Image4 = nullptr;
    QLabel* Label1 = nullptr;
    TPanel* Panel6 = nullptr;
    TImage* Image2 = nullptr;
    QLabel* Label5 = nullptr;
    TPanel* Panel5 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* lblVersao = nullptr;
    TPanel* pnlBottom = nullptr;
    TPanel* pnlOpcoes = nullptr;
    QCheckBox* chkOffline = nullptr;
    QCheckBox* chkOnline = nullptr;
    QCheckBox* chkOutdated = nullptr;
    QCheckBox* chkInactive = nullptr;
    TToolButton* btnAtualizar = nullptr;
    TToolButton* btnSair = nullptr;
    QTimer* TimerUpdate = nullptr;
    QSystemTrayIcon* TrayIcon1 = nullptr;
    // The tray icon's menu: "Restaurar" brings the window back as a click on
    // the icon does, "Sair" closes it as the button does.
    QMenu* pmTray = nullptr;
    QAction* mniRestaurar = nullptr;
    QAction* mniSair = nullptr;
    // Hears the looks the tiles take, for the tray's watch.
    TLookListener* LookListener = nullptr;

    // The monitor threads of the last roster build, in roster order (null
    // before FormCreate and after FormClose).
    std::unique_ptr<QList<TMonitorThread*>> MonitorThreadList;

    bool StartupAborted() const { return FStartupAborted; }

    // The flow layout of FlowPanel1.
    TFlowLayout* FlowLayout() const { return FFlowLayout; }
    // The tray's watch: the tray icon's tooltip and its messages.
    TTrayWatch* TrayWatch() const { return FTrayWatch; }
    // Whether the window is hidden in the tray.
    bool InTray() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Whether minimizing may hide the window in the system tray; where the
    // desktop has no tray the window stays minimized on the taskbar.
    virtual bool TrayAvailable() const;
    // Shows one of the tray's messages.
    virtual void ShowTrayMessage(const QString& Title, const QString& Text,
                                 QSystemTrayIcon::MessageIcon Icon);

private:
    // `Handler` as a slot that hands its failures to the general error
    // handler instead of letting them escape.
    std::function<void()> Guarded(void (TfrmMain::*Handler)());
    void TrayIcon1Activated(QSystemTrayIcon::ActivationReason reason);

    void ReleaseDatabase();
    // Frees the retired threads that have ended; with Wait, waits for the
    // others first (the close).
    void FreeRetiredThreads(bool Wait);
    // Sets one filter flag of every thread, in list order.
    void SetFilterOnAll(void (TMonitorThread::*Setter)(bool), bool Value);

    TFlowLayout* FFlowLayout = nullptr;
    // The tiles' texts: name, sector and address, and the smaller status.
    QFont FTileFont;
    QFont FTileStatusFont;
    // Threads of an earlier roster that were still ending (a probe in flight
    // being ended, a database check being served) when it was rebuilt: no
    // tile is theirs any longer, and each is freed once it has ended.
    QList<TMonitorThread*> FRetiredThreads;
    TTrayWatch* FTrayWatch = nullptr;
    bool FStartupAborted = false;
    bool FClosed = false;
};

// Shows one of the main window's own messages: a modal box titled "Erro" with
// an error icon and one OK button; the text is `LeadIn`, two carriage returns
// and `Message`.
void ShowErrorMessage(QWidget* Parent, const QString& LeadIn, const QString& Message);

// The two lead-ins of those messages.
extern const QString DatabaseErrorLeadIn; // opening the database
extern const QString StartupErrorLeadIn;  // any other start-up failure
