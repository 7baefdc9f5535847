#include "UnitMain.h"

#include "Components.h"
#include "ErrorBox.h"
#include "FlowLayout.h"
#include "PainelVersion.h"
#include "PanelLog.h"
#include "Resources.h"
#include "ScrollBox.h"
#include "TImage.h"
#include "TPanel.h"
#include "ToolButton.h"
#include "TrayWatch.h"
#include "UnitMonitorThread.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <memory>
#include <tuple>

Q_LOGGING_CATEGORY(lcPanel, "painel.panel", QtFatalMsg)

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
    setWindowTitle(QString::fromUtf8(PainelTitle));
    setWindowIcon(ApplicationIcon());
    setFont(LayoutFont(QStringLiteral("Tahoma"), 11));
    FTileFont = LayoutFont(QStringLiteral("Verdana"), 15);
    FTileStatusFont = LayoutFont(QStringLiteral("Verdana"), 9);
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
    lblVersao = new QLabel(QString::fromUtf8(PainelVersion), Panel5);
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
    pmTray = new QMenu(this);
    pmTray->setObjectName(QStringLiteral("pmTray"));
    mniRestaurar = pmTray->addAction(QStringLiteral("Restaurar"));
    mniRestaurar->setObjectName(QStringLiteral("mniRestaurar"));
    mniSair = pmTray->addAction(QStringLiteral("Sair"));
    mniSair->setObjectName(QStringLiteral("mniSair"));
    TrayIcon1->setContextMenu(pmTray);
    LookListener = new TLookListener(this);
    LookListener->setObjectName(QStringLiteral("LookListener"));
    FTrayWatch = new TTrayWatch(
        windowTitle(), [this] { return InTray(); },
        [this](const QString& title, const QString& text, QSystemTrayIcon::MessageIcon icon) {
            ShowTrayMessage(title, text, icon);
        },
        [this](const QString& tip) { TrayIcon1->setToolTip(tip); }, this);
    connect(LookListener, &TLookListener::LookApplied, FTrayWatch, &TTrayWatch::LookApplied);

    // Every handler catches its own failures (a slot may not let one escape)
    // and hands them to the general error handler.
    connect(chkOffline, &QCheckBox::clicked, this, Guarded(&TfrmMain::chkOfflineClick));
    connect(chkOnline, &QCheckBox::clicked, this, Guarded(&TfrmMain::chkOnlineClick));
    connect(chkOutdated, &QCheckBox::clicked, this, Guarded(&TfrmMain::chkOutdatedClick));
    connect(chkInactive, &QCheckBox::clicked, this, Guarded(&TfrmMain::chkInactiveClick));
    connect(btnAtualizar, &QToolButton::clicked, this, Guarded(&TfrmMain::btnAtualizarClick));
    connect(btnSair, &QToolButton::clicked, this, Guarded(&TfrmMain::btnSairClick));
    connect(TimerUpdate, &QTimer::timeout, this, Guarded(&TfrmMain::TimerUpdateTimer));
    connect(TrayIcon1, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                try {
                    TrayIcon1Activated(reason);
                } catch (...) {
                    HandleCurrentException();
                }
            });
    connect(mniRestaurar, &QAction::triggered, this, Guarded(&TfrmMain::TrayIcon1DblClick));
    connect(mniSair, &QAction::triggered, this, Guarded(&TfrmMain::btnSairClick));

    resize(1416, 610);
}

std::function<void()> TfrmMain::Guarded(void (TfrmMain::*Handler)()) {
    return [this, Handler] {
        try {
            (this->*Handler)();
        } catch (...) {
            HandleCurrentException();
        }
    };
}

TfrmMain::~TfrmMain() {
    // A window that never ran its shutdown (the start-up ended early) still
    // stops its threads and releases the database.
    DeleteThreads();
    FreeRetiredThreads(true);
    ReleaseDatabase();
}

TPanel* TfrmMain::CreateMonitorControl(quint16 Index) {
    const QString n = QString::number(static_cast<int>(Index) + 1);

    // The tile joins the flow area only once it is complete: a name already
    // taken leaves nothing half-built behind.
    auto owned = std::make_unique<TPanel>();
    TPanel* tile = owned.get();
    SetComponentName(tile, FlowPanel1, QStringLiteral("pnlMain") + n);
    // Colours and font are set on the tile, before its parts exist: the parts
    // inherit them, and only the status text has a font of its own.
    tile->SetColor(WindowColor);
    QPalette pal = tile->palette();
    pal.setColor(QPalette::WindowText, QColor(255, 255, 255));
    tile->setPalette(pal);
    tile->setFont(FTileFont);
    tile->resize(200, 168);

    auto newImage = [&](const QString& role, const QRect& geometry) {
        auto* image = new TImage(tile);
        SetComponentName(image, tile, role + n);
        image->setGeometry(geometry);
        image->SetProportional(true);
        return image;
    };
    auto newLabel = [&](const QString& role, const QRect& geometry, const QString& text) {
        auto* label = new QLabel(tile);
        SetComponentName(label, tile, role + n);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setGeometry(geometry);
        label->setText(text);
        return label;
    };

    newImage(QStringLiteral("imgScale"), QRect(0, 0, 184, 154));
    for (const auto& [role, top, text] :
         {std::tuple{QStringLiteral("lblScaleName"), 0, QStringLiteral("Balança")},
          std::tuple{QStringLiteral("lblScaleSector"), 18, QStringLiteral("Setor")},
          std::tuple{QStringLiteral("lblScaleIP"), 36, QStringLiteral("IP")}}) {
        tile->DockTop(newLabel(role, QRect(0, top, 184, 18), text));
    }
    QLabel* status = newLabel(QStringLiteral("lblStatus"), QRect(8, 137, 144, 12),
                              QStringLiteral("Comunicação"));
    status->setFont(FTileStatusFont);
    status->hide();
    newImage(QStringLiteral("imgCommStatus"), QRect(157, 127, 41, 42));
    newImage(QStringLiteral("imgUpdateStatus"), QRect(103, 142, 41, 42))->hide();

    tile->setParent(FlowPanel1);
    FFlowLayout->addWidget(owned.release());
    return tile;
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

bool TfrmMain::InTray() const {
    return TrayIcon1->isVisible() && isHidden();
}

void TfrmMain::ShowTrayMessage(const QString& Title, const QString& Text,
                               QSystemTrayIcon::MessageIcon Icon) {
    TrayIcon1->showMessage(Title, Text, Icon);
}

void TfrmMain::TrayIcon1Activated(QSystemTrayIcon::ActivationReason reason) {
    // Trays that speak the StatusNotifier protocol report a click and never a
    // double-click: either brings the window back.
    if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
        TrayIcon1DblClick();
}
