// The main window's layout, its own handlers and the scale tile.

#include "Components.h"
#include "FlowLayout.h"
#include "ScrollBox.h"
#include "TImage.h"
#include "TPanel.h"
#include "ToolButton.h"
#include "UnitMain.h"
#include "UnitWait.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <stdexcept>

namespace {

const QColor WindowColor(0, 105, 136);

// Opens a main window at its creation size and waits until it is on screen.
struct TShownWindow {
    TfrmMain Window;
    TShownWindow() {
        Window.show();
        if (!QTest::qWaitForWindowExposed(&Window))
            throw std::runtime_error("main window not exposed");
    }
};

// The colour of the window's pixel at `at` (client coordinates).
QColor PixelAt(QWidget& window, const QPoint& at) {
    return QColor(window.grab().toImage().pixel(at));
}

} // namespace

// Lets a test act as if the desktop had a system tray.
class TTrayWindow : public TfrmMain {
protected:
    bool TrayAvailable() const override { return true; }
};

class TMainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void Frame();
    void Areas();
    void Legend_data();
    void Legend();
    void FilterBoxes_data();
    void FilterBoxes();
    void Buttons_data();
    void Buttons();
    void TileNames_data();
    void TileNames();
    void TileGeometry_data();
    void TileGeometry();
    void TileLooks();
    void DuplicateTileNameThrows();
    void TilesFlowAndScroll();
    void FreedTileLeavesFlowAndName();
    void ResizeRewraps();
    void MinimizeWithoutTray();
    void MinimizeToTrayAndBack_data();
    void MinimizeToTrayAndBack();
    void TrayMenuSairClosesBehindTheWaitDialog();
    void SairCloses();
};

void TMainWindowTest::Frame() {
    TfrmMain window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Pesagram - Painel de Monitoramento"));
    QCOMPARE(window.size(), QSize(1416, 610));
    QCOMPARE(window.font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(window.font().pixelSize(), 11);
    QVERIFY(!window.isMaximized());
    QCOMPARE(window.TimerUpdate->interval(), 300000);
    QVERIFY(!window.TimerUpdate->isActive());
    QVERIFY(!window.TrayIcon1->isVisible());
    QVERIFY(!window.TrayIcon1->icon().isNull());
    for (int size : {16, 32, 48, 64, 128, 256}) {
        QVERIFY2(window.TrayIcon1->icon().availableSizes().contains(QSize(size, size)),
                 qPrintable(QString::number(size)));
        // The window carries the application's icon (the title bar, the
        // taskbar; _NET_WM_ICON on X11), in every size, as stored.
        const QImage stored(QStringLiteral(":/icon/app_%1.png").arg(size));
        QVERIFY(!stored.isNull());
        QCOMPARE(window.windowIcon()
                     .pixmap(QSize(size, size))
                     .toImage()
                     .convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 stored.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
}

void TMainWindowTest::Areas() {
    TShownWindow shown;
    TfrmMain& w = shown.Window;
    QCOMPARE(w.centralWidget()->geometry(), QRect(0, 0, 1416, 610));
    QCOMPARE(w.ScrollBox1->geometry(), QRect(0, 0, 1416, 488));
    QCOMPARE(w.Panel1->geometry(), QRect(0, 488, 1416, 40));
    QCOMPARE(w.pnlBottom->geometry(), QRect(0, 528, 1416, 82));
    QCOMPARE(w.ScrollBox1->frameShape(), QFrame::NoFrame);
    QVERIFY(!w.ScrollBox1->verticalScrollBar()->isVisible());

    // No scales: the tile area is empty and shows the window background.
    QCOMPARE(w.FlowPanel1->geometry(), QRect(0, 0, 1416, 6));
    QCOMPARE(PixelAt(w, {700, 300}), WindowColor);
    QCOMPARE(PixelAt(w, {1410, 5}), WindowColor);
    // The legend bar's spacer and the bottom bar's empty middle.
    QCOMPARE(PixelAt(w, w.Panel2->mapTo(&w, QPoint(10, 20))), QColor(164, 209, 255));
    QCOMPARE(PixelAt(w, {700, 570}), QColor(223, 239, 255));
}

void TMainWindowTest::Legend_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text");
    QTest::newRow("Image3") << "Image3" << 0 << 41 << "";
    QTest::newRow("Label2") << "Label2" << 41 << 134 << "Sem Comunicação";
    QTest::newRow("Panel2") << "Panel2" << 175 << 20 << "";
    QTest::newRow("Image5") << "Image5" << 195 << 41 << "";
    QTest::newRow("Label3") << "Label3" << 236 << 195 << "Comunicando e Atualizada";
    QTest::newRow("Panel4") << "Panel4" << 431 << 20 << "";
    QTest::newRow("Image4") << "Image4" << 451 << 41 << "";
    QTest::newRow("Label1") << "Label1" << 492 << 222 << "Comunicando e Desatualizada";
    QTest::newRow("Panel6") << "Panel6" << 714 << 20 << "";
    QTest::newRow("Image2") << "Image2" << 734 << 41 << "";
    QTest::newRow("Label5") << "Label5" << 775 << 84 << "Desativada";
    QTest::newRow("Panel5") << "Panel5" << 859 << 557 << "";
}

void TMainWindowTest::Legend() {
    QFETCH(QString, name);
    QFETCH(int, left);
    QFETCH(int, width);
    QFETCH(QString, text);
    TShownWindow shown;
    TfrmMain& w = shown.Window;
    auto* control = qobject_cast<QWidget*>(FindComponent(w.Panel1, name));
    QVERIFY(control);
    QCOMPARE(control->geometry(), QRect(left, 0, width, 40));
    if (auto* label = qobject_cast<QLabel*>(control)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(label->font().pixelSize(), 15);
        QVERIFY(label->font().bold());
        QCOMPARE(label->alignment(), Qt::AlignCenter);
    }
    if (auto* image = qobject_cast<TImage*>(control)) {
        QCOMPARE(image->Picture().size(), QSize(41, 40));
        QVERIFY(image->Proportional());
        QVERIFY(image->Center());
    }
    if (name == QStringLiteral("Panel5")) {
        QCOMPARE(w.Label4->parentWidget(), w.Panel5);
        QCOMPARE(w.Label4->geometry(), QRect(0, 0, 557, 19));
        QCOMPARE(w.Label4->text(), QStringLiteral("Versão"));
        QCOMPARE(w.Label4->font().pixelSize(), 16);
        QVERIFY(!w.Label4->font().bold());
        QCOMPARE(w.lblVersao->parentWidget(), w.Panel5);
        QCOMPARE(w.lblVersao->geometry(), QRect(0, 21, 557, 19));
        QCOMPARE(w.lblVersao->text(), QStringLiteral("1.0.0.4"));
        QCOMPARE(w.lblVersao->font().pixelSize(), 16);
        QVERIFY(w.lblVersao->font().bold());
    }
}

void TMainWindowTest::FilterBoxes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("top");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("next"); // the next box in the keyboard tab order
    QTest::newRow("chkOffline") << "chkOffline" << 5 << "Exibir balanças 'Sem comunicação'?"
                                << "chkOnline";
    QTest::newRow("chkOnline") << "chkOnline" << 22
                               << "Exibir balanças 'Comunicando e Atualizadas'?"
                               << "chkOutdated";
    QTest::newRow("chkOutdated") << "chkOutdated" << 39
                                 << "Exibir balanças 'Comunicando e Desatualizadas'?"
                                 << "chkInactive";
    QTest::newRow("chkInactive") << "chkInactive" << 56 << "Exibir balanças 'Desativadas'?"
                                 << "";
}

void TMainWindowTest::FilterBoxes() {
    QFETCH(QString, name);
    QFETCH(int, top);
    QFETCH(QString, caption);
    QFETCH(QString, next);
    TShownWindow shown;
    TfrmMain& w = shown.Window;
    QCOMPARE(w.pnlOpcoes->geometry(), QRect(0, 0, 252, 82));
    auto* box = qobject_cast<QCheckBox*>(FindComponent(w.pnlOpcoes, name));
    QVERIFY(box);
    QCOMPARE(box->geometry(), QRect(0, top, 252, 17));
    QCOMPARE(box->text(), caption);
    QVERIFY(box->isChecked());
    QCOMPARE(box->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(box->font().pixelSize(), 11);
    if (!next.isEmpty()) {
        QWidget* after = box->nextInFocusChain();
        while (after && !(after->focusPolicy() & Qt::TabFocus))
            after = after->nextInFocusChain();
        QVERIFY(after);
        QCOMPARE(after->objectName(), next);
    }
}

void TMainWindowTest::Buttons_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("caption");
    QTest::newRow("btnAtualizar") << "btnAtualizar" << 1246 << "Atualizar";
    QTest::newRow("btnSair") << "btnSair" << 1331 << "Sair";
}

void TMainWindowTest::Buttons() {
    QFETCH(QString, name);
    QFETCH(int, left);
    QFETCH(QString, caption);
    TShownWindow shown;
    TfrmMain& w = shown.Window;
    auto* button = qobject_cast<TToolButton*>(FindComponent(w.pnlBottom, name));
    QVERIFY(button);
    QCOMPARE(button->geometry(), QRect(left, 0, 85, 82));
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QCOMPARE(button->iconSize(), QSize(48, 48));
    QVERIFY(!button->autoRaise());
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    QCOMPARE(button->font().pixelSize(), 11);
    // Picture above the caption, 4 px apart, the two centred in the button.
    const QRect picture = button->PictureRect();
    const QRect text = button->CaptionRect();
    QCOMPARE(picture.size(), QSize(48, 48));
    QVERIFY(qAbs(picture.left() - (button->width() - 1 - picture.right())) <= 1);
    QCOMPARE(text.top() - picture.bottom() - 1, 4);
    QVERIFY(qAbs(picture.top() - (button->height() - 1 - text.bottom())) <= 1);
    // The picture's white background is drawn transparent; its disc is not.
    const QImage icon = button->icon().pixmap(48, 48).toImage();
    QCOMPARE(icon.size(), QSize(48, 48));
    QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(icon.pixel(24, 6)), 255);
}

void TMainWindowTest::TileNames_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("first scale") << 0 << "1";
    QTest::newRow("tenth scale") << 9 << "10";
    QTest::newRow("largest index") << 65535 << "65536";
}

void TMainWindowTest::TileNames() {
    QFETCH(int, index);
    QFETCH(QString, suffix);
    TfrmMain w;
    // The scale whose suffix is a prefix of this one's ("1" for "10") is
    // built too, so that lookups must tell them apart.
    TPanel* other = index != 0 ? w.CreateMonitorControl(0) : nullptr;
    TPanel* tile = w.CreateMonitorControl(static_cast<quint16>(index));
    QCOMPARE(tile->objectName(), QStringLiteral("pnlMain") + suffix);
    QCOMPARE(tile->parent(), w.FlowPanel1);
    QCOMPARE(FindComponent(w.FlowPanel1, QStringLiteral("PNLMAIN") + suffix), tile);
    const QStringList roles{"imgScale",  "lblScaleName",  "lblScaleSector", "lblScaleIP",
                            "lblStatus", "imgCommStatus", "imgUpdateStatus"};
    QCOMPARE(tile->children().size(), roles.size());
    for (const QString& role : roles) {
        QObject* control = FindComponent(tile, role + suffix);
        QVERIFY2(control, qPrintable(role + suffix));
        QCOMPARE(control->objectName(), role + suffix);
        QCOMPARE(FindComponent(tile, (role + suffix).toLower()), control);
        QCOMPARE(FindComponent(tile, (role + suffix).toUpper()), control);
        if (other) {
            QVERIFY(FindComponent(other, role + "1") != control);
            QVERIFY(!FindComponent(tile, role + "1"));
        }
    }
}

void TMainWindowTest::TileGeometry_data() {
    QTest::addColumn<QString>("role");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("visible");
    QTest::newRow("imgScale") << "imgScale" << QRect(0, 0, 184, 154) << true;
    QTest::newRow("lblScaleName") << "lblScaleName" << QRect(0, 0, 200, 18) << true;
    QTest::newRow("lblScaleSector") << "lblScaleSector" << QRect(0, 18, 200, 18) << true;
    QTest::newRow("lblScaleIP") << "lblScaleIP" << QRect(0, 36, 200, 18) << true;
    QTest::newRow("lblStatus") << "lblStatus" << QRect(8, 137, 144, 12) << false;
    QTest::newRow("imgCommStatus") << "imgCommStatus" << QRect(157, 127, 41, 42) << true;
    QTest::newRow("imgUpdateStatus") << "imgUpdateStatus" << QRect(103, 142, 41, 42) << false;
}

void TMainWindowTest::TileGeometry() {
    QFETCH(QString, role);
    QFETCH(QRect, geometry);
    QFETCH(bool, visible);
    TShownWindow shown;
    TPanel* tile = shown.Window.CreateMonitorControl(4);
    QTRY_VERIFY(tile->isVisible());
    QCOMPARE(tile->geometry(), QRect(3, 3, 200, 168));
    auto* control = qobject_cast<QWidget*>(FindComponent(tile, role + "5"));
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->isVisible(), visible);
    // The text lines stay full width when the tile changes width.
    tile->resize(240, 168);
    if (role.startsWith(QStringLiteral("lblScale")))
        QCOMPARE(control->width(), 240);
}

void TMainWindowTest::TileLooks() {
    TShownWindow shown;
    TfrmMain& w = shown.Window;
    TPanel* tile = w.CreateMonitorControl(0);
    QTRY_VERIFY(tile->isVisible());
    QCOMPARE(tile->Color(), WindowColor);
    QVERIFY(tile->autoFillBackground());
    const QList<std::pair<QString, QString>> texts{{"lblScaleName1", "Balança"},
                                                   {"lblScaleSector1", "Setor"},
                                                   {"lblScaleIP1", "IP"},
                                                   {"lblStatus1", "Comunicação"}};
    for (const auto& [name, text] : texts) {
        auto* label = FindComponentAs<QLabel>(tile, name);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(label->font().pixelSize(), name == "lblStatus1" ? 9 : 15);
        QVERIFY(!label->font().bold());
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 255, 255));
        QVERIFY(!label->autoFillBackground());
    }
    QCOMPARE(FindComponentAs<QLabel>(tile, "lblScaleName1")->alignment(),
             Qt::AlignHCenter | Qt::AlignTop);
    for (const QString name : {"imgScale1", "imgCommStatus1", "imgUpdateStatus1"}) {
        auto* image = FindComponentAs<TImage>(tile, name);
        QVERIFY(image->Picture().isNull());
        QVERIFY(image->Proportional());
        QVERIFY(!image->Center());
    }

    // White text on the tile colour; nothing else drawn yet.
    const QImage picture = tile->grab().toImage();
    QCOMPARE(QColor(picture.pixel(100, 100)), WindowColor);
    QCOMPARE(QColor(picture.pixel(180, 150)), WindowColor);
    int white = 0;
    for (int y = 0; y < 54; ++y)
        for (int x = 0; x < 200; ++x)
            white += QColor(picture.pixel(x, y)) == QColor(255, 255, 255);
    QVERIFY2(white > 20, qPrintable(QString::number(white)));
}

void TMainWindowTest::DuplicateTileNameThrows() {
    TfrmMain w;
    w.CreateMonitorControl(0);
    const auto childrenBefore = w.FlowPanel1->children().size();
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, w.CreateMonitorControl(0));
    // Nothing half-built is left in the flow area.
    QCOMPARE(w.FlowPanel1->children().size(), childrenBefore);
    QCOMPARE(w.FlowLayout()->count(), 1);
}

void TMainWindowTest::TilesFlowAndScroll() {
    TShownWindow shown;
    TfrmMain& w = shown.Window;
    QList<TPanel*> tiles;
    for (quint16 i = 0; i < 14; ++i)
        tiles << w.CreateMonitorControl(i);
    // Two rows of seven fit in the 488 px tile area: no scroll bar.
    QTRY_COMPARE(w.FlowPanel1->height(), 2 * 168 + 6);
    QCOMPARE(w.FlowPanel1->width(), 1416);
    QCOMPARE(tiles[6]->pos(), QPoint(1203, 3));
    QCOMPARE(tiles[7]->pos(), QPoint(3, 171));
    QVERIFY(!w.ScrollBox1->verticalScrollBar()->isVisible());

    // A third row is taller than the area: the scroll bar appears, the flow
    // area narrows by its width and the bars stay in place.
    tiles << w.CreateMonitorControl(14);
    QTRY_VERIFY(w.ScrollBox1->verticalScrollBar()->isVisible());
    const int bar = w.ScrollBox1->verticalScrollBar()->width();
    QCOMPARE(w.FlowPanel1->width(), 1416 - bar);
    QCOMPARE(w.FlowPanel1->height(), 3 * 168 + 6);
    // A bar wider than 10 px leaves room for only six tiles per row.
    QVERIFY(bar > 10);
    QCOMPARE(tiles[5]->pos(), QPoint(1003, 3));
    QCOMPARE(tiles[6]->pos(), QPoint(3, 171));
    QVERIFY(w.ScrollBox1->verticalScrollBar()->maximum() > 0);
    QCOMPARE(w.Panel1->geometry(), QRect(0, 488, 1416, 40));
    QCOMPARE(w.pnlBottom->geometry(), QRect(0, 528, 1416, 82));

    // Hiding a tile closes the gap; with two rows again the bar goes away.
    tiles[0]->hide();
    QTRY_VERIFY(!w.ScrollBox1->verticalScrollBar()->isVisible());
    QCOMPARE(tiles[1]->pos(), QPoint(3, 3));
    QCOMPARE(tiles[7]->pos(), QPoint(1203, 3));
    QCOMPARE(tiles[8]->pos(), QPoint(3, 171));
    QCOMPARE(w.FlowPanel1->geometry(), QRect(0, 0, 1416, 2 * 168 + 6));
}

void TMainWindowTest::FreedTileLeavesFlowAndName() {
    TShownWindow shown;
    TfrmMain& w = shown.Window;
    TPanel* first = w.CreateMonitorControl(0);
    TPanel* second = w.CreateMonitorControl(1);
    QTRY_COMPARE(second->pos(), QPoint(203, 3));
    delete first;
    QCOMPARE(w.FlowLayout()->count(), 1);
    QTRY_COMPARE(second->pos(), QPoint(3, 3));
    // The name is free again for the next roster build.
    TPanel* again = w.CreateMonitorControl(0);
    QCOMPARE(again->objectName(), QStringLiteral("pnlMain1"));
    QTRY_COMPARE(again->pos(), QPoint(203, 3));
}

void TMainWindowTest::ResizeRewraps() {
    TShownWindow shown;
    TfrmMain& w = shown.Window;
    QList<TPanel*> tiles;
    for (quint16 i = 0; i < 8; ++i)
        tiles << w.CreateMonitorControl(i);
    QTRY_COMPARE(tiles[7]->pos(), QPoint(3, 171));
    w.resize(1406, 610);
    QTRY_COMPARE(w.FlowPanel1->width(), 1406);
    QCOMPARE(tiles[6]->pos(), QPoint(3, 171));
    QCOMPARE(tiles[7]->pos(), QPoint(203, 171));
    // Widening past 7 x 200 + 6 moves the seventh tile back up.
    w.resize(1407, 610);
    QTRY_COMPARE(tiles[6]->pos(), QPoint(1203, 3));
    QCOMPARE(tiles[7]->pos(), QPoint(3, 171));
}

void TMainWindowTest::MinimizeWithoutTray() {
    if (QSystemTrayIcon::isSystemTrayAvailable())
        QSKIP("this desktop has a system tray");
    TShownWindow shown;
    TfrmMain& w = shown.Window;
    w.showMinimized();
    QTRY_VERIFY(w.isMinimized());
    QTest::qWait(50);
    // Nowhere to hide it: it stays minimized on the taskbar.
    QVERIFY(w.isVisible());
    QVERIFY(!w.TrayIcon1->isVisible());
}

// The icon brings the window back however the desktop's tray reports it:
// trays of the StatusNotifier kind report a click and never a double-click.
void TMainWindowTest::MinimizeToTrayAndBack_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("double-click") << QStringLiteral("double-click");
    QTest::newRow("click") << QStringLiteral("click");
    QTest::newRow("menu Restaurar") << QStringLiteral("Restaurar");
}

void TMainWindowTest::MinimizeToTrayAndBack() {
    QFETCH(QString, how);
    TTrayWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.showMinimized();
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(w.isMinimized());
    QVERIFY(w.TrayIcon1->isVisible());

    if (how == QStringLiteral("double-click")) {
        emit w.TrayIcon1->activated(QSystemTrayIcon::DoubleClick);
    } else if (how == QStringLiteral("click")) {
        emit w.TrayIcon1->activated(QSystemTrayIcon::Trigger);
    } else {
        QMenu* menu = w.TrayIcon1->contextMenu();
        QVERIFY(menu);
        QStringList texts;
        QAction* restore = nullptr;
        for (QAction* action : menu->actions()) {
            texts << action->text();
            if (action->text() == how)
                restore = action;
        }
        QCOMPARE(texts, QStringList({"Restaurar", "Sair"}));
        restore->trigger();
    }
    QVERIFY(!w.TrayIcon1->isVisible());
    QVERIFY(w.isVisible());
    QVERIFY(w.isMaximized());
    QVERIFY(!w.isMinimized());
}

// "Sair" of the tray icon's menu closes the window hidden in the tray the
// normal way: the wait dialog shows while the threads stop.
void TMainWindowTest::TrayMenuSairClosesBehindTheWaitDialog() {
    TTrayWindow w;
    // What a roster build of no scales leaves (the shutdown frees it).
    w.MonitorThreadList = std::make_unique<QList<TMonitorThread*>>();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.showMinimized();
    QTRY_VERIFY(w.TrayIcon1->isVisible());

    frmWait = new TfrmWait;
    bool waitShown = false;
    class TShowSpy : public QObject {
    public:
        bool* Shown;
        explicit TShowSpy(bool* shown) : Shown(shown) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Show)
                *Shown = true;
            return false;
        }
    } spy(&waitShown);
    frmWait->installEventFilter(&spy);

    QVERIFY(w.TrayIcon1->contextMenu());
    QAction* sair = nullptr;
    for (QAction* action : w.TrayIcon1->contextMenu()->actions())
        if (action->text() == QStringLiteral("Sair"))
            sair = action;
    QVERIFY(sair);
    sair->trigger();
    QVERIFY(waitShown);
    QVERIFY(!frmWait->isVisible());
    QVERIFY(!w.MonitorThreadList); // the shutdown ran
    QVERIFY(!w.isVisible());
    delete frmWait;
    frmWait = nullptr;
}

void TMainWindowTest::SairCloses() {
    TShownWindow shown;
    TfrmMain& w = shown.Window;
    QTest::mouseClick(w.btnSair, Qt::LeftButton);
    QTRY_VERIFY(!w.isVisible());
}

QTEST_MAIN(TMainWindowTest)
#include "tst_panel_mainwindow.moc"
