#include "HiddenProcess.h"

#include "StartGate.h"
#include "SystemError.h"
#include "Widen_win.h"

#include <mutex>
#include <string>
#include <system_error>
#include <vector>
#include <windows.h>

namespace platform {

struct TStopSignal::TState {
    HANDLE Event = nullptr; // manual-reset: once raised it stays raised
};

TStopSignal::TStopSignal() : FState(std::make_unique<TState>()) {
    FState->Event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!FState->Event)
        throw std::system_error(static_cast<int>(GetLastError()), SystemCategory(), "CreateEventW");
}

TStopSignal::~TStopSignal() {
    CloseHandle(FState->Event);
}

void TStopSignal::Raise() {
    SetEvent(FState->Event);
    // A run still waiting for its turn to start gives up.
    StartGateInterrupt(FState.get());
}

bool TStopSignal::Raised() const {
    return WaitForSingleObject(FState->Event, 0) == WAIT_OBJECT_0;
}

namespace {

// Result files of stopped commands that could not be deleted yet because
// another program (a virus scanner, an editor) still held them open. Each
// later run tries them again, and so does the end of the program.
class TPendingRemovals {
public:
    ~TPendingRemovals() { Retry(); }

    void Add(const std::wstring& path) {
        std::lock_guard<std::mutex> guard(FLock);
        FPaths.push_back(path);
    }

    void Retry() {
        std::lock_guard<std::mutex> guard(FLock);
        std::vector<std::wstring> kept;
        for (const std::wstring& path : FPaths) {
            if (!TryDelete(path))
                kept.push_back(path);
        }
        FPaths.swap(kept);
    }

    // True when the file is gone (or was never there).
    static bool TryDelete(const std::wstring& path) {
        if (DeleteFileW(path.c_str()))
            return true;
        const DWORD err = GetLastError();
        return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
    }

private:
    std::mutex FLock;
    std::vector<std::wstring> FPaths;
};

TPendingRemovals& PendingRemovals() {
    static TPendingRemovals pending;
    return pending;
}

// Deletes the result file of a stopped command. Its processes have ended, so
// normally it goes at once; a handle the system is still closing gets a
// short grace, and a file held open elsewhere is left to later runs.
void RemoveWhenFree(const std::string& utf8Path) {
    if (utf8Path.empty())
        return;
    const std::wstring path = Widen(utf8Path);
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (TPendingRemovals::TryDelete(path))
            return;
        Sleep(10);
    }
    PendingRemovals().Add(path);
}

// A job object whose processes end when its last handle is closed: the
// command interpreter, `ping` and anything else the command starts. It is
// closed after every run and by the system when the program ends in any way.
HANDLE CreateKillOnCloseJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// Waits, at most `msec` milliseconds, until no process of `job` is left.
void WaitJobEmpty(HANDLE job, DWORD msec) {
    const ULONGLONG end = GetTickCount64() + msec;
    for (;;) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info,
                                       sizeof(info), nullptr) ||
            info.ActiveProcesses == 0 || GetTickCount64() >= end)
            return;
        Sleep(1);
    }
}

} // namespace

TRunEnd RunHiddenAndWait(const std::string& commandLine, TStopSignal* stop,
                         const std::string& removeWhenStopped) {
    PendingRemovals().Retry();
    if (stop && stop->Raised()) {
        RemoveWhenFree(removeWhenStopped);
        return TRunEnd::Stopped;
    }

    TStopSignal local;
    TStopSignal::TState& state = (stop ? stop : &local)->State();
    TStartPlace place;
    if (!StartGateEnter(
            &state, [&state] { return WaitForSingleObject(state.Event, 0) == WAIT_OBJECT_0; })) {
        RemoveWhenFree(removeWhenStopped);
        return TRunEnd::Stopped;
    }
    place.Taken();

    std::wstring wide = Widen(commandLine);
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(L'\0'); // CreateProcessW may write into the command line

    // Not inherited by the command (made without security attributes).
    HANDLE job = CreateKillOnCloseJob();

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.wShowWindow = SW_HIDE; // not in force (dwFlags is 0): CREATE_NO_WINDOW hides it
    PROCESS_INFORMATION pi{};
    // Suspended until it is in the job, so that nothing it starts escapes.
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &si, &pi)) {
        const DWORD err = GetLastError();
        if (job)
            CloseHandle(job);
        throw std::system_error(static_cast<int>(err), SystemCategory());
    }
    if (job && !AssignProcessToJobObject(job, pi.hProcess)) {
        // The program runs in a job that takes no nested one (before
        // Windows 8): a stop can then end the command interpreter only.
        CloseHandle(job);
        job = nullptr;
    }
    ResumeThread(pi.hThread);
    WaitForSingleObject(pi.hProcess, static_cast<DWORD>(StartWindow.count()));
    place.Leave();

    HANDLE waits[2] = {pi.hProcess, stop ? stop->State().Event : nullptr};
    const DWORD woke = WaitForMultipleObjects(stop ? 2 : 1, waits, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0 + 1) {
        if (job) {
            TerminateJobObject(job, 1);
            WaitForSingleObject(pi.hProcess, 5000);
            WaitJobEmpty(job, 5000);
        } else {
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 5000);
        }
    }
    const bool stopped = woke == WAIT_OBJECT_0 + 1 || (stop && stop->Raised());
    if (job)
        CloseHandle(job); // ends whatever the command left running
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    if (stopped) {
        RemoveWhenFree(removeWhenStopped);
        return TRunEnd::Stopped;
    }
    return TRunEnd::Ended;
}

} // namespace platform
