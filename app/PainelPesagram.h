#pragma once
// The program's entry: the single-instance rule, the application title, the
// two windows and the message loop.

#include "PainelVersion.h"
#include "SingleInstance.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QWidget;
class TfrmMain;
class TPainelApplication;

// The text a second start shows.
QString SecondInstanceMessage();

// Program-wide state of the entry (GUI thread only).
extern std::unique_ptr<platform::TAppMutex> AppMutex; // absent until CheckSecondInstance
extern std::int32_t MutexErr;                         // 0: this process holds the marker
extern platform::TWindowHandle AppHandle;             // the running panel's window, or null
extern TfrmMain* frmMain;                             // the main window

// Creates or opens the single-instance marker into AppMutex and its last-error
// value into MutexErr; when MutexErr is not 0, shows SecondInstanceMessage in
// a modal box (one OK button, no icon, the application's default name as its
// caption) and returns true once the user has closed it. Throws when the
// system refuses the marker.
bool CheckSecondInstance();

// Runs the program after the application object has been made: a second
// instance raises the running panel's window if it is on screen and ends; the
// first sets the title, creates the main window with `createMainForm`, then
// the hidden wait dialog, and runs the message loop until the main window
// closes; a `createMainForm` that gives no window ends the program normally.
// The marker is released however this ends. Returns the exit code of
// a normal end (0); failures escape to the caller.
int PainelPesagram(TPainelApplication& app, const std::function<QWidget*()>& createMainForm);

// Reports a failure that escaped start-up; the caller then ends with code 1.
void ReportStartupFailure(const std::exception* failure);
