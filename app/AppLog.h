#pragma once
// The logging category of the program's entry ("painel.app"). Off by default;
// QT_LOGGING_RULES="painel.*=true" switches it on.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
