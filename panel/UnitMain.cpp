#include "UnitMain.h"

#include "Components.h"
#include "FlowLayout.h"
#include "PainelApplication.h"
#include "Resources.h"
#include "ScrollBox.h"
#include "TImage.h"
#include "TPanel.h"
#include "ToolButton.h"
#include "UnitDMMain.h"
#include "UnitMonitorThread.h"
#include "UnitWait.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <memory>
#include <tuple>

namespace {

const QColor WindowColor(0, 105, 136);
const QColor LegendColor(164, 209, 255);
const QColor BottomColor(223, 239, 255);

QFont LayoutFont(const QString& family, int pixelSize, bool bold = false) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

TPanel* NewPanel(QWidget* parent, const QString& name, const QColor& color) {
    auto* panel = new TPanel(parent);
    panel->setObjectName(name);
    panel->SetColor(color);
    return panel;
}

// The buttons' pictures have a white background that is drawn transparent.
QIcon ButtonIcon(const QString& name) {
    QImage picture = LoadResourcePicture(name).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) == 0x00FFFFFF)
                line[x] = qRgba(255, 255, 255, 0);
        }
    }
    return QIcon(QPixmap::fromImage(picture));
}

TToolButton* NewToolButton(QWidget* parent, const QString& name, const QString& caption,
                           const QString& picture) {
    auto* button = new TToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->SetSpacing(4);
    button->setIconSize(QSize(48, 48));
    button->setIcon(ButtonIcon(picture));
    button->setAutoRaise(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(85, 82);
    return button;
}

} // namespace

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Pesagram - Painel de Monitoramento"));
    setFont(LayoutFont(QStringLiteral("Tahoma"), 11));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, WindowColor);
    setPalette(pal);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);
    auto* areas = new QVBoxLayout(client);
    areas->setContentsMargins(0, 0, 0, 0);
    areas->setSpacing(0);

    // Tile area: the flow area on top of a filler of the same colour, so that
    // the flow area keeps the height of its rows.
    ScrollBox1 = new TScrollBox(client);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setPalette(pal);
    auto* content = NewPanel(nullptr, QStringLiteral("ScrollBox1Content"), WindowColor);
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(0);
    FlowPanel1 = NewPanel(content, QStringLiteral("FlowPanel1"), WindowColor);
    FFlowLayout = new TFlowLayout(FlowPanel1);
    contentLayout->addWidget(FlowPanel1);
    contentLayout->addStretch(1);
    ScrollBox1->setWidget(content);
    areas->addWidget(ScrollBox1, 1);

    // Legend bar.
    Panel1 = NewPanel(client, QStringLiteral("Panel1"), LegendColor);
    Panel1->setFixedHeight(40);
    auto* legend = new QHBoxLayout(Panel1);
    legend->setContentsMargins(0, 0, 0, 0);
    legend->setSpacing(0);
    auto addFlag = [&](const QString& name, const QString& picture) {
        auto* image = new TImage(Panel1);
        image->setObjectName(name);
        image->setFixedWidth(41);
        image->SetProportional(true);
        image->SetCenter(true);
        image->SetPicture(LoadResourcePicture(picture));
        legend->addWidget(image);
        return image;
    };
    auto addText = [&](const QString& name, const QString& text, int width) {
        auto* label = new QLabel(text, Panel1);
        label->setObjectName(name);
        label->setFont(LayoutFont(QStringLiteral("Tahoma"), 15, true));
        label->setAlignment(Qt::AlignCenter);
        label->setFixedWidth(width);
        legend->addWidget(label);
        return label;
    };
    auto addSpacer = [&](const QString& name) {
        auto* spacer = NewPanel(Panel1, name, LegendColor);
        spacer->setFixedWidth(20);
        legend->addWidget(spacer);
        return spacer;
    };
    Image3 = addFlag(QStringLiteral("Image3"), QStringLiteral("RED_CHK"));
    Label2 = addText(QStringLiteral("Label2"), QStringLiteral("Sem Comunicação"), 134);
    Panel2 = addSpacer(QStringLiteral("Panel2"));
    Image5 = addFlag(QStringLiteral("Image5"), QStringLiteral("GREEN_CHK"));
    Label3 = addText(QStringLiteral("Label3"), QStringLiteral("Comunicando e Atualizada"), 195);
    Panel4 = addSpacer(QStringLiteral("Panel4"));
    Image4 = addFlag(QStringLiteral("Image4"), QStringLiteral("YELLOW_CHK"));
    Label1 = addText(QStringLiteral("Label1"), QStringLiteral("Comunicando e Desatualizada"), 222);
    Panel6 = addSpacer(QStringLiteral("Panel6"));
    Image2 = addFlag(QStringLiteral("Image2"), QStringLiteral("BLACK_CHK"));
    Label5 = addText(QStringLiteral("Label5"), QStringLiteral("Desativada"), 84);

    // Version block: "Versão" on top, the version below.
    Panel5 = NewPanel(Panel1, QStringLiteral("Panel5"), LegendColor);
    legend->addWidget(Panel5, 1);
    auto* version = new QVBoxLayout(Panel5);
    version->setContentsMargins(0, 0, 0, 0);
    version->setSpacing(0);
    Label4 = new QLabel(QStringLiteral("Versão"), Panel5);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setFont(LayoutFont(QStringLiteral("Tahoma"), 16));
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setFixedHeight(19);
    lblVersao = new QLabel(QStringLiteral("1.0.0.4"), Panel5);
    lblVersao->setObjectName(QStringLiteral("lblVersao"));
    lblVersao->setFont(LayoutFont(QStringLiteral("Tahoma"), 16, true));
    lblVersao->setAlignment(Qt::AlignCenter);
    lblVersao->setFixedHeight(19);
    version->addWidget(Label4);
    version->addStretch(1);
    version->addWidget(lblVersao);
    areas->addWidget(Panel1);

    // Bottom bar: filter boxes on the left, the two buttons on the right.
    pnlBottom = NewPanel(client, QStringLiteral("pnlBottom"), BottomColor);
    pnlBottom->setFixedHeight(82);
    auto* bottom = new QHBoxLayout(pnlBottom);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setSpacing(0);
    pnlOpcoes = NewPanel(pnlBottom, QStringLiteral("pnlOpcoes"), BottomColor);
    pnlOpcoes->setFixedWidth(252);
    auto* options = new QVBoxLayout(pnlOpcoes);
    options->setContentsMargins(0, 5, 0, 0);
    options->setSpacing(0);
    auto addFilter = [&](const QString& name, const QString& caption) {
        auto* box = new QCheckBox(caption, pnlOpcoes);
        box->setObjectName(name);
        box->setChecked(true);
        box->setFixedSize(252, 17);
        // A narrow gap between box and caption, so that the longest caption
        // fits the 252 px in this font.
        box->setStyleSheet(QStringLiteral("QCheckBox { spacing: 3px; }"));
        options->addWidget(box);
        return box;
    };
    chkOffline = addFilter(QStringLiteral("chkOffline"),
                           QStringLiteral("Exibir balanças 'Sem comunicação'?"));
    chkOnline = addFilter(QStringLiteral("chkOnline"),
                          QStringLiteral("Exibir balanças 'Comunicando e Atualizadas'?"));
    chkOutdated = addFilter(QStringLiteral("chkOutdated"),
                            QStringLiteral("Exibir balanças 'Comunicando e Desatualizadas'?"));
    chkInactive =
        addFilter(QStringLiteral("chkInactive"), QStringLiteral("Exibir balanças 'Desativadas'?"));
    // Where the style draws a wider indicator or the font runs wider (the
    // Windows styles), the boxes widen so that no caption is cut.
    int filterWidth = 252;
    for (QCheckBox* box : {chkOffline, chkOnline, chkOutdated, chkInactive}) {
        box->ensurePolished();
        QStyleOptionButton option;
        option.initFrom(box);
        option.rect = QRect(0, 0, 252, 17);
        option.text = box->text();
        const QRect label = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        filterWidth =
            std::max(filterWidth, label.left() + box->fontMetrics().horizontalAdvance(box->text()));
    }
    if (filterWidth > 252) {
        pnlOpcoes->setFixedWidth(filterWidth);
        for (QCheckBox* box : {chkOffline, chkOnline, chkOutdated, chkInactive})
            box->setFixedSize(filterWidth, 17);
    }
    options->addStretch(1);
    setTabOrder(chkOffline, chkOnline);
    setTabOrder(chkOnline, chkOutdated);
    setTabOrder(chkOutdated, chkInactive);
    btnAtualizar = NewToolButton(pnlBottom, QStringLiteral("btnAtualizar"),
                                 QStringLiteral("Atualizar"), QStringLiteral("BTN_ATUALIZAR"));
    btnSair = NewToolButton(pnlBottom, QStringLiteral("btnSair"), QStringLiteral("Sair"),
                            QStringLiteral("BTN_SAIR"));
    bottom->addWidget(pnlOpcoes);
    bottom->addStretch(1);
    bottom->addWidget(btnAtualizar);
    bottom->addWidget(btnSair);
    areas->addWidget(pnlBottom);

    TimerUpdate = new QTimer(this);
    TimerUpdate->setObjectName(QStringLiteral("TimerUpdate"));
    TimerUpdate->setInterval(300000);

    TrayIcon1 = new QSystemTrayIcon(ApplicationIcon(), this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->setToolTip(windowTitle());

    connect(chkOffline, &QCheckBox::clicked, this, &TfrmMain::chkOfflineClick);
    connect(chkOnline, &QCheckBox::clicked, this, &TfrmMain::chkOnlineClick);
    connect(chkOutdated, &QCheckBox::clicked, this, &TfrmMain::chkOutdatedClick);
    connect(chkInactive, &QCheckBox::clicked, this, &TfrmMain::chkInactiveClick);
    connect(btnAtualizar, &QToolButton::clicked, this, &TfrmMain::btnAtualizarClick);
    connect(btnSair, &QToolButton::clicked, this, &TfrmMain::btnSairClick);
    connect(TimerUpdate, &QTimer::timeout, this, &TfrmMain::TimerUpdateTimer);
    connect(TrayIcon1, &QSystemTrayIcon::activated, this, &TfrmMain::TrayIcon1Activated);

    resize(1416, 610);
}

TfrmMain::~TfrmMain() {
    // A window that never ran its shutdown (the start-up ended early) still
    // stops its threads and releases the database.
    DeleteThreads();
    ReleaseDatabase();
}

TPanel* TfrmMain::CreateMonitorControl(quint16 Index) {
    const QString n = QString::number(static_cast<int>(Index) + 1);
    const QColor white(255, 255, 255);

    // The tile joins the flow area only once it is complete: a name already
    // taken leaves nothing half-built behind.
    auto owned = std::make_unique<TPanel>();
    TPanel* tile = owned.get();
    SetComponentName(tile, FlowPanel1, QStringLiteral("pnlMain") + n);
    tile->SetColor(WindowColor);
    tile->resize(200, 168);

    auto newImage = [&](const QString& role, const QRect& geometry) {
        auto* image = new TImage(tile);
        SetComponentName(image, tile, role + n);
        image->setGeometry(geometry);
        image->SetProportional(true);
        return image;
    };
    auto newLabel = [&](const QString& role, const QRect& geometry, int pixelSize,
                        const QString& text) {
        auto* label = new QLabel(tile);
        SetComponentName(label, tile, role + n);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setGeometry(geometry);
        label->setFont(LayoutFont(QStringLiteral("Verdana"), pixelSize));
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, white);
        label->setPalette(pal);
        label->setText(text);
        return label;
    };

    newImage(QStringLiteral("imgScale"), QRect(0, 0, 184, 154));
    for (const auto& [role, top, text] :
         {std::tuple{QStringLiteral("lblScaleName"), 0, QStringLiteral("Balança")},
          std::tuple{QStringLiteral("lblScaleSector"), 18, QStringLiteral("Setor")},
          std::tuple{QStringLiteral("lblScaleIP"), 36, QStringLiteral("IP")}}) {
        tile->DockTop(newLabel(role, QRect(0, top, 184, 18), 15, text));
    }
    newLabel(QStringLiteral("lblStatus"), QRect(8, 137, 144, 12), 9, QStringLiteral("Comunicação"))
        ->hide();
    newImage(QStringLiteral("imgCommStatus"), QRect(157, 127, 41, 42));
    newImage(QStringLiteral("imgUpdateStatus"), QRect(103, 142, 41, 42))->hide();

    tile->setParent(FlowPanel1);
    FFlowLayout->addWidget(owned.release());
    return tile;
}

const QString DatabaseErrorLeadIn =
    QStringLiteral("Ocorreu o seguinte erro ao abrir o banco de dados do Pesagram:");
const QString StartupErrorLeadIn =
    QStringLiteral("Ocorreu o seguinte erro ao iniciar o Pesagram Monitor:");

void ShowErrorMessage(QWidget* Parent, const QString& LeadIn, const QString& Message) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Erro"),
                    LeadIn + QStringLiteral("\r\r") + Message, QMessageBox::Ok, Parent);
    box.setObjectName(QStringLiteral("ErrorMessage"));
    box.setTextFormat(Qt::PlainText);
    box.setAttribute(Qt::WA_QuitOnClose, false);
    box.exec();
}

void TfrmMain::FormCreate() {
    MonitorThreadList.reset();
    try {
        MonitorThreadList = std::make_unique<QList<TMonitorThread*>>();
        if (!InitializeDatabase()) {
            // The program ends without the window ever being shown.
            FStartupAborted = true;
            return;
        }
        TFDQuery* query = DMMain->qryScales;
        query->Open();
        query->First();
        InitializeThreads();
        query->Close();
        DMMain->FDCMain->Close();
        TimerUpdate->start();
    } catch (const std::exception& failure) {
        // The window opens with the tiles built so far and without the
        // periodic refresh; "Atualizar" builds everything again.
        ShowErrorMessage(this, StartupErrorLeadIn, QString::fromUtf8(failure.what()));
    }
}

bool TfrmMain::InitializeDatabase() {
    DMMain = new TDMMain(this);
    try {
        DMMain->FDCMain->SetParam(QStringLiteral("Database"), DatabasePath);
        DMMain->FDCMain->Open();
        return true;
    } catch (const std::exception& failure) {
        ShowErrorMessage(this, DatabaseErrorLeadIn, QString::fromUtf8(failure.what()));
        return false;
    }
}

void TfrmMain::InitializeThreads() {
    TFDQuery* query = DMMain->qryScales;
    while (!query->Eof()) {
        const auto position = static_cast<quint16>(query->RecNo() - 1);
        const QString n = QString::number(static_cast<int>(position) + 1);
        TPanel* tile = CreateMonitorControl(position);

        const QString scaleNo = query->FieldAsString(QStringLiteral("SC_No"));
        const QString address = query->FieldAsString(QStringLiteral("SC_Ip"));
        const QString sector = query->FieldAsString(QStringLiteral("Sect_Name"));

        auto* thread = new TMonitorThread(true, DMMain->FDCMain, 1, scaleNo, address, sector,
                                          scaleNo, 10, QThread::LowPriority);
        MonitorThreadList->append(thread);

        // Every reference is set before the thread starts: its body fills the
        // tile at once.
        thread->SetFreeOnTerminate(false);
        thread->SetControlContainer(tile);
        thread->SetLabelScaleName(
            FindComponentAs<QLabel>(tile, QStringLiteral("lblScaleName") + n));
        thread->SetLabelScaleIP(FindComponentAs<QLabel>(tile, QStringLiteral("lblScaleIP") + n));
        thread->SetLabelStatus(FindComponentAs<QLabel>(tile, QStringLiteral("lblStatus") + n));
        thread->SetLabelScaleSector(
            FindComponentAs<QLabel>(tile, QStringLiteral("lblScaleSector") + n));
        thread->SetImageStatus(FindComponentAs<TImage>(tile, QStringLiteral("imgScale") + n));
        thread->SetImageCommStatus(
            FindComponentAs<TImage>(tile, QStringLiteral("imgCommStatus") + n));
        thread->SetShowOffline(chkOffline->isChecked());
        thread->SetShowOnline(chkOnline->isChecked());
        thread->SetShowOutdated(chkOutdated->isChecked());
        thread->SetShowInactive(chkInactive->isChecked());
        thread->Start();

        query->Next();
    }
}

void TfrmMain::DeleteThreads() {
    if (!MonitorThreadList)
        return;
    // Every thread is asked to stop before the first is waited for: threads
    // in the middle of a probe then finish their ping commands side by side,
    // and the whole stop takes about one ping wait instead of one per scale.
    for (TMonitorThread* thread : *MonitorThreadList) {
        if (!thread->Suspended())
            thread->Terminate();
    }
    while (!MonitorThreadList->isEmpty()) {
        TMonitorThread* thread = MonitorThreadList->first();
        if (!thread->Suspended()) {
            thread->Terminate();
            thread->WaitFor();
        }
        // Freed at once (not later): the rebuild reuses the tiles' names.
        delete thread->ControlContainer();
        delete thread;
        MonitorThreadList->removeFirst();
    }
    // A build that failed between a tile and its thread left a tile without a
    // thread; it goes too, or the rebuild would find its name taken.
    for (TPanel* orphan : FlowPanel1->findChildren<TPanel*>(Qt::FindDirectChildrenOnly))
        delete orphan;
}

void TfrmMain::Atualiza() {
    std::exception_ptr failure;
    try {
        TimerUpdate->stop();
        TFDQuery* query = DMMain->qryScales;
        // The roster is read before the old threads go: a database that cannot
        // be reached leaves the running tiles alone.
        query->Open();
        query->First();
        DeleteThreads();
        InitializeThreads();
    } catch (...) {
        failure = std::current_exception();
    }
    if (DMMain) {
        DMMain->qryScales->Close();
        DMMain->FDCMain->Close();
    }
    TimerUpdate->start();
    if (failure)
        std::rethrow_exception(failure);
}

void TfrmMain::TimerUpdateTimer() {
    try {
        Atualiza();
    } catch (const std::exception&) {
        // Nobody may be at the panel: one box is enough, the next attempt
        // comes with the timer.
        if (ErrorBoxOpen())
            return;
        throw;
    }
}

void TfrmMain::SetFilterOnAll(void (TMonitorThread::*Setter)(bool), bool Value) {
    // Each tile follows at its thread's next presentation.
    if (MonitorThreadList)
        for (TMonitorThread* thread : *MonitorThreadList)
            (thread->*Setter)(Value);
}

void TfrmMain::chkOfflineClick() {
    SetFilterOnAll(&TMonitorThread::SetShowOffline, chkOffline->isChecked());
}

void TfrmMain::chkOnlineClick() {
    SetFilterOnAll(&TMonitorThread::SetShowOnline, chkOnline->isChecked());
}

void TfrmMain::chkOutdatedClick() {
    SetFilterOnAll(&TMonitorThread::SetShowOutdated, chkOutdated->isChecked());
}

void TfrmMain::chkInactiveClick() {
    SetFilterOnAll(&TMonitorThread::SetShowInactive, chkInactive->isChecked());
}

void TfrmMain::FormClose() {
    if (FClosed)
        return;
    FClosed = true;
    // The timer goes off first: showing the dialog lets timers run while it
    // waits to be on screen, and no refresh may start now.
    TimerUpdate->stop();
    if (frmWait)
        frmWait->ShowWait(this);
    DeleteThreads();
    ReleaseDatabase();
    MonitorThreadList.reset();
    if (frmWait)
        frmWait->hide();
}

void TfrmMain::ReleaseDatabase() {
    if (!DMMain)
        return;
    DMMain->qryScales->Close();
    DMMain->FDCMain->Close();
    delete DMMain;
    DMMain = nullptr;
}

void TfrmMain::FormResize() {
    // Place every tile again for the current width of the tile area.
    FFlowLayout->SetWrap(false);
    FFlowLayout->SetWrap(true);
}

void TfrmMain::ApplicationEvents1Minimize() {
    // Without a system tray a hidden window could not be brought back: it
    // stays minimized on the taskbar instead.
    if (!TrayAvailable())
        return;
    hide();
    setWindowState(windowState() | Qt::WindowMinimized);
    TrayIcon1->show();
}

void TfrmMain::TrayIcon1DblClick() {
    TrayIcon1->hide();
    show();
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    raise();
    activateWindow();
    setWindowState(windowState() | Qt::WindowMaximized);
}

void TfrmMain::btnSairClick() {
    close();
}

void TfrmMain::btnAtualizarClick() {
    Atualiza();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TfrmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && isVisible() &&
        !TrayIcon1->isVisible()) {
        // Hide once the window system has finished minimizing.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && isVisible())
                ApplicationEvents1Minimize();
        });
    }
}

bool TfrmMain::TrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TfrmMain::TrayIcon1Activated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick)
        TrayIcon1DblClick();
}
