#pragma once
// The application object and the general error handler: a failure that
// escapes an event handler is shown in a box and the program goes on.

#include <QApplication>
#include <QPointer>
#include <QString>
#include <exception>

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

// The program's neutral name, the application's caption until a title is set.
inline constexpr char ApplicationDefaultName[] = "PainelPesagram";

// The application title, the caption of the general error box. Until it is
// set, the program's default name.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// The text the general error box shows for a failure's message: the message,
// with a full stop appended when its last character's code is above that of
// the full stop (U+002E). An empty message stays empty.
QString ExceptionMessageText(const QString& message);

// Shows a failure's message in a modal box: caption the application title,
// error icon, one OK button, text by ExceptionMessageText (shown as plain
// text, never as markup). Returns when the user has closed it. GUI thread
// only, like ErrorBoxOpen.
void ShowException(const QString& message);
void ShowException(const std::exception& failure);

// Whether a box shown by ShowException is open right now (a caller that would
// otherwise show one box over another can wait for the next occasion).
bool ErrorBoxOpen();
