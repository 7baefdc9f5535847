#pragma once
// Small helpers shared by the data module and the monitor threads.

#include <QString>

namespace platform {
class TStopSignal;
}

// The address as handed to ping: the ASCII digits and full stops of an address
// as stored in the scale database, in their order; everything else is dropped.
// Never fails; an input without digits or full stops gives the empty text.
QString PesagramIPToIP(const QString& IP);

// Runs `CommandLine` hidden and waits, without a time-out, until it has ended.
// Characters with a code of 32 or below are trimmed from both ends first.
// Returns true once the command has ended (its exit code is not looked at);
// a command that cannot be started raises std::system_error with the
// operating system's error code and message.
bool ExecuteAndWait(const QString& CommandLine);

// The same, ended at once by the stop request `Stop` (when given): then every
// process of the command has ended, `ResultFile` (when not empty) is removed,
// and the result is false. A stop raised before the call starts nothing.
bool ExecuteAndWait(const QString& CommandLine, platform::TStopSignal* Stop,
                    const QString& ResultFile);
