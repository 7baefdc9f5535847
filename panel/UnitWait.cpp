#include "UnitWait.h"

#include "Resources.h"
#include "TImage.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QTimer>
#include <QWindow>

TfrmWait* frmWait = nullptr;

TfrmWait::TfrmWait(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmWait"));
    setWindowTitle(QStringLiteral("Aguarde"));
    setFixedSize(391, 90);
    setSizeGripEnabled(false);
    setAttribute(Qt::WA_QuitOnClose, false);

    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 255));
    setPalette(pal);
    setAutoFillBackground(true);

    Image1 = new TImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 85, 90);
    Image1->SetProportional(true);
    Image1->SetCenter(true);
    Image1->SetPicture(LoadResourcePicture(QStringLiteral("CLOCK")));

    Label1 = new QLabel(QStringLiteral("Por favor, aguarde ..."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(85, 0, 306, 90);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont labelFont(QStringLiteral("Verdana"));
    labelFont.setPixelSize(16);
    labelFont.setBold(true);
    Label1->setFont(labelFont);
    QPalette labelPal = Label1->palette();
    labelPal.setColor(QPalette::WindowText, QColor(0, 0, 0));
    Label1->setPalette(labelPal);
}

void TfrmWait::CenterOver(const QWidget* Sender) {
    if (!Sender)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(Sender->frameGeometry().center());
    move(frame.topLeft());
}

void TfrmWait::ShowWait(QWidget* Sender) {
    CenterOver(Sender);
    show();
    CenterOver(Sender); // again, now that the window frame is known
    // Where the window system maps windows asynchronously (X11), a window that
    // is not exposed yet cannot be painted: wait for that briefly, taking no
    // user input meanwhile, or the dialog would stay blank while the caller
    // keeps the GUI thread busy. The wait sleeps until the window system
    // answers (spinning would take the processor from the display server
    // that maps the window), and is short: the close behind the dialog takes
    // a fraction of a second, and must not be made to wait for the dialog.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(250);
    while (windowHandle() && !windowHandle()->isExposed() && deadline.isActive())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    if (Sender)
        Sender->repaint();
    repaint();
}
