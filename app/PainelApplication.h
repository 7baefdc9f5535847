#pragma once
// The application object and the general error handler: a failure that
// escapes an event handler is shown in a box and the program goes on.

#include "ErrorBox.h"

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QWidget>

class TPainelApplication : public QApplication {
    Q_OBJECT
public:
    TPainelApplication(int& argc, char** argv);

    // The window whose closing ends the message loop. Other windows (the
    // wait dialog, message boxes) never end it, even while the main window
    // is hidden in the tray.
    void SetMainForm(QWidget* form);
    QWidget* MainForm() const { return FMainForm; }

    // Delivers the event; a failure that escapes its handler is shown by
    // ShowException and the program goes on.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    QPointer<QWidget> FMainForm;
};
