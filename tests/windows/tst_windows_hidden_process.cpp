// The hidden command runner on Windows (Win32 only, no Qt): a command that
// waits 30 s through cmd.exe is ended by the stop request within a bounded
// time, leaves no process behind and its result file is gone; a command that
// ends by itself returns normally, also with a stop signal that is never
// raised; a stop raised before the run starts nothing; a program that does
// not exist raises the system's error.
//
// Built by the Windows build (scripts/build-windows) and run under Wine as
// the test windows_hidden_process: exit code 0 when every check held.
//
// The program is its own child: "--sleep MS PIDFILE" writes its process id to
// PIDFILE, sleeps MS milliseconds and prints "slept".
#include "HiddenProcess.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <system_error>
#include <thread>
#include <vector>
#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

namespace {

int g_failures = 0;

void Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
    if (!ok)
        ++g_failures;
}

std::string Narrow(const std::wstring& w) {
    if (w.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

std::wstring OwnPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size())
            return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring TempDir() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    std::wstring dir(buffer, n);
    wchar_t name[64];
    std::swprintf(name, 64, L"painel-runner-%lu\\", GetCurrentProcessId());
    dir += name;
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadText(const std::wstring& path) {
    std::string text;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return text;
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(f);
    return text;
}

// The command line that runs this program as a sleeping child through cmd.exe
// with its output redirected into `result`.
std::string SleeperCommand(DWORD msec, const std::wstring& pidFile, const std::wstring& result) {
    wchar_t windir[MAX_PATH];
    std::wstring cmd = L"cmd.exe";
    if (const DWORD n = GetEnvironmentVariableW(L"WINDIR", windir, MAX_PATH); n > 0 && n < MAX_PATH)
        cmd = std::wstring(windir) + L"\\System32\\cmd.exe";
    // cmd /C "..." drops the outer quotes and runs the rest as it stands.
    return Narrow(cmd + L" /C \"\"" + OwnPath() + L"\" --sleep " + std::to_wstring(msec) + L" \"" +
                  pidFile + L"\" > \"" + result + L"\"\"");
}

// The processes started by this one and their children, as the system lists
// them now.
std::vector<DWORD> Descendants() {
    std::vector<DWORD> found{GetCurrentProcessId()};
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return {};
    std::vector<PROCESSENTRY32W> all;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Process32FirstW(snap, &entry); ok; ok = Process32NextW(snap, &entry))
        all.push_back(entry);
    CloseHandle(snap);
    for (size_t i = 0; i < found.size(); ++i)
        for (const PROCESSENTRY32W& e : all)
            if (e.th32ParentProcessID == found[i] && e.th32ProcessID != found[i])
                found.push_back(e.th32ProcessID);
    found.erase(found.begin());
    return found;
}

// Whether process `pid` still runs.
bool Running(DWORD pid) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!h)
        return false;
    const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return running;
}

bool WaitFor(const std::wstring& file, DWORD msec) {
    const ULONGLONG end = GetTickCount64() + msec;
    while (GetTickCount64() < end) {
        if (!ReadText(file).empty())
            return true;
        Sleep(10);
    }
    return false;
}

int Sleeper(int argc, wchar_t** argv) {
    if (argc < 4)
        return 2;
    const DWORD pid = GetCurrentProcessId();
    const std::string text = std::to_string(pid) + "\n";
    HANDLE f =
        CreateFileW(argv[3], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(f);
    }
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    std::printf("slept\n");
    return 0;
}

void StopEndsCommand(const std::wstring& dir) {
    const std::wstring pidFile = dir + L"stop.pid";
    const std::wstring result = dir + L"stop.txt";
    platform::TStopSignal stop;
    platform::TRunEnd end = platform::TRunEnd::Ended;
    ULONGLONG returned = 0;
    std::thread runner([&] {
        end = platform::RunHiddenAndWait(SleeperCommand(30000, pidFile, result), &stop,
                                         Narrow(result));
        returned = GetTickCount64();
    });
    const bool started = WaitFor(pidFile, 20000);
    Check(started, "the 30 s command has started");
    const std::vector<DWORD> children = Descendants();
    Check(children.size() >= 2, "cmd.exe and its child are seen running");
    Check(FileExists(result), "the result file exists while the command runs");
    const ULONGLONG raised = GetTickCount64();
    stop.Raise();
    runner.join();
    const ULONGLONG took = returned - raised;
    std::printf("stop to return: %llu ms\n", took);
    Check(end == platform::TRunEnd::Stopped, "the run reports the stop");
    Check(took < 2000, "the stop request ended the command within 2 s");
    bool left = false;
    for (DWORD pid : children)
        left = left || Running(pid);
    Check(!left, "no process of the command is left");
    Check(!FileExists(result), "the result file is gone");
    DeleteFileW(pidFile.c_str());
}

void CommandEndsByItself(const std::wstring& dir) {
    const std::wstring pidFile = dir + L"end.pid";
    const std::wstring result = dir + L"end.txt";
    platform::TStopSignal stop; // never raised
    const ULONGLONG start = GetTickCount64();
    const platform::TRunEnd end =
        platform::RunHiddenAndWait(SleeperCommand(300, pidFile, result), &stop, Narrow(result));
    const ULONGLONG took = GetTickCount64() - start;
    Check(end == platform::TRunEnd::Ended, "a command that ends by itself returns Ended");
    Check(took >= 300, "the run waited for the command's end");
    Check(ReadText(result).find("slept") != std::string::npos, "its output is in the result file");
    Check(platform::RunHiddenAndWait(SleeperCommand(0, pidFile, result)) ==
              platform::TRunEnd::Ended,
          "without a stop signal it returns Ended");
    DeleteFileW(result.c_str());
    DeleteFileW(pidFile.c_str());
}

void StopBeforeRun(const std::wstring& dir) {
    const std::wstring pidFile = dir + L"before.pid";
    const std::wstring result = dir + L"before.txt";
    platform::TStopSignal stop;
    stop.Raise();
    const platform::TRunEnd end =
        platform::RunHiddenAndWait(SleeperCommand(30000, pidFile, result), &stop, Narrow(result));
    Check(end == platform::TRunEnd::Stopped, "a stop raised before the run stops it");
    Sleep(200);
    Check(!FileExists(pidFile) && !FileExists(result), "nothing was started");
}

void MissingProgram() {
    bool thrown = false;
    try {
        platform::RunHiddenAndWait("C:\\no\\such\\program.exe");
    } catch (const std::system_error& e) {
        thrown =
            e.code().value() == ERROR_PATH_NOT_FOUND || e.code().value() == ERROR_FILE_NOT_FOUND;
    }
    Check(thrown, "a program that does not exist raises the system's error");
}

} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv && argc >= 2 && std::wcscmp(argv[1], L"--sleep") == 0)
        return Sleeper(argc, argv);
    const std::wstring dir = TempDir();
    StopEndsCommand(dir);
    CommandEndsByItself(dir);
    StopBeforeRun(dir);
    MissingProgram();
    RemoveDirectoryW(dir.c_str());
    std::printf("%s\n", g_failures == 0 ? "PASS" : "FAILED");
    return g_failures == 0 ? 0 : 1;
}
