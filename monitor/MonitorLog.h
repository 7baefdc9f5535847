#pragma once
// The logging category of the monitor threads and the probe ("painel.monitor").
// Off by default; QT_LOGGING_RULES="painel.*=true" switches it on.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcMonitor)
