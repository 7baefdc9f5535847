#pragma once
// The general error box: a failure's message in a modal box captioned with
// the application title. Shown by the application object for a failure that
// escapes an event handler, and by the handlers that catch their own.

#include <QString>
#include <exception>

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

// The general error handler for a failure caught by a handler itself (a slot
// may not let it escape): the current exception is shown as the application
// object would show it, "Erro desconhecido" for one that is no std::exception.
// Call only inside a catch block.
void HandleCurrentException();

// Whether a box shown by ShowException is open right now (a caller that would
// otherwise show one box over another can wait for the next occasion).
bool ErrorBoxOpen();
