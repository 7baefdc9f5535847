#include "PainelApplication.h"

#include "ErrorBox.h"
#include "Resources.h"

TPainelApplication::TPainelApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(ApplicationDefaultName));
    // The installed desktop entry, by which desktops match the window to its
    // menu entry and icon.
    setDesktopFileName(QStringLiteral("painel-pesagram"));
    // Every window without an icon of its own (the wait dialog, the message
    // boxes) shows the application's icon.
    setWindowIcon(ApplicationIcon());
}

void TPainelApplication::SetMainForm(QWidget* form) {
    FMainForm = form;
    setQuitOnLastWindowClosed(false);
}

bool TPainelApplication::notify(QObject* receiver, QEvent* event) {
    try {
        const bool handled = QApplication::notify(receiver, event);
        if (event->type() == QEvent::Close && receiver && receiver == FMainForm.data() &&
            event->isAccepted())
            QCoreApplication::exit(0);
        return handled;
    } catch (...) {
        HandleCurrentException();
    }
    return false;
}
