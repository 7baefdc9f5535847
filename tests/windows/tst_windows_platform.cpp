// The Windows facilities on Windows itself (run under Wine): the
// single-instance mutex seen from other processes, finding and raising a
// window by its title, the hidden runner with cmd.exe, the system's messages
// in UTF-8, and the ping command's pieces when WINDIR or TEMP is unset.

#include "HiddenProcess.h"
#include "MonitorProbe.h"
#include "PlatformPaths.h"
#include "SingleInstance.h"
#include "SystemError.h"
#include "UnitUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace {

std::wstring Widen(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::wstring SelfPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// The child modes of this program (the mutex seen from other processes):
//   --probe-mutex            exits with the last error of creating the mutex
//   --hold-mutex <event>     creates the mutex, sets the named event "<event>-ready",
//                            waits for "<event>-quit" (or to be killed), exits 0
int ChildMain(int argc, char** argv) {
    const std::string mode = argv[1];
    if (mode == "--probe-mutex") {
        platform::TAppMutex mutex(platform::AppMutexName);
        return mutex.LastError();
    }
    if (mode == "--hold-mutex" && argc == 3) {
        platform::TAppMutex mutex(platform::AppMutexName);
        const std::wstring name = Widen(argv[2]);
        HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L"-ready").c_str());
        HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, (name + L"-quit").c_str());
        if (!ready || !quit || mutex.LastError() != 0)
            return 100;
        SetEvent(ready);
        WaitForSingleObject(quit, 30000);
        return 0;
    }
    return 99;
}

// Starts this program with `arguments`; the process handle, or nullptr.
HANDLE StartSelf(const std::wstring& arguments) {
    std::wstring line = L"\"" + SelfPath() + L"\" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

DWORD RunSelf(const std::wstring& arguments) {
    HANDLE process = StartSelf(arguments);
    if (!process)
        return 0xFFFFFFFF;
    WaitForSingleObject(process, 30000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

bool ValidUtf8(const std::string& text) {
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                               static_cast<int>(text.size()), nullptr, 0) > 0 ||
           text.empty();
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    return DefWindowProcW(window, message, w, l);
}

HWND MakeWindow(const wchar_t* title) {
    static const wchar_t* const ClassName = L"PainelTestWindow";
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = PlainWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = ClassName;
        registered = RegisterClassW(&wc) != 0;
    }
    HWND window = CreateWindowExW(0, ClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                  300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    return window;
}

QString ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    return QString::fromUtf8(f.readAll());
}

} // namespace

class TestWindowsPlatform : public QObject {
    Q_OBJECT

private slots:
    void mutexHeldSeenAndFreed_data();
    void mutexHeldSeenAndFreed();
    void mutexSeenFromThisProcess();
    void windowFoundAndRaisedByTitle();
    void hiddenRunnerTrims_data();
    void hiddenRunnerTrims();
    void hiddenRunnerRunsThePingCommand();
    void hiddenRunnerCommandThatCannotStart();
    void systemMessagesAreUtf8_data();
    void systemMessagesAreUtf8();
    void pingPiecesWithoutWindirAndTemp();
};

void TestWindowsPlatform::mutexHeldSeenAndFreed_data() {
    QTest::addColumn<bool>("kill");
    QTest::newRow("holder ends") << false;
    QTest::newRow("holder killed") << true;
}

// Held by one process, seen (ERROR_ALREADY_EXISTS) by a second one and by
// this one, free again once the holder has gone, however it went.
void TestWindowsPlatform::mutexHeldSeenAndFreed() {
    QFETCH(bool, kill);
    const std::wstring event =
        L"PainelMutexTest-" + std::to_wstring(GetCurrentProcessId()) + (kill ? L"-kill" : L"-end");
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, (event + L"-ready").c_str());
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, (event + L"-quit").c_str());
    QVERIFY(ready && quit);
    {
        platform::TAppMutex free(platform::AppMutexName);
        QCOMPARE(free.LastError(), 0);
    }
    HANDLE holder = StartSelf(L"--hold-mutex " + event);
    QVERIFY(holder);
    QCOMPARE(WaitForSingleObject(ready, 20000), static_cast<DWORD>(WAIT_OBJECT_0));

    QCOMPARE(RunSelf(L"--probe-mutex"), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    {
        platform::TAppMutex seen(platform::AppMutexName);
        QCOMPARE(seen.LastError(), static_cast<int>(ERROR_ALREADY_EXISTS));
    }

    if (kill)
        QVERIFY(TerminateProcess(holder, 9));
    else
        SetEvent(quit);
    QCOMPARE(WaitForSingleObject(holder, 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    GetExitCodeProcess(holder, &code);
    QCOMPARE(code, kill ? DWORD(9) : DWORD(0));
    CloseHandle(holder);
    CloseHandle(ready);
    CloseHandle(quit);

    QCOMPARE(RunSelf(L"--probe-mutex"), DWORD(0));
    platform::TAppMutex again(platform::AppMutexName);
    QCOMPARE(again.LastError(), 0);
}

// The same process creating the mutex twice sees it too (a second start in
// the same session is a second process, but the rule is the system's).
void TestWindowsPlatform::mutexSeenFromThisProcess() {
    platform::TAppMutex first(platform::AppMutexName);
    QCOMPARE(first.LastError(), 0);
    platform::TAppMutex second(platform::AppMutexName);
    QCOMPARE(second.LastError(), static_cast<int>(ERROR_ALREADY_EXISTS));
}

void TestWindowsPlatform::windowFoundAndRaisedByTitle() {
    HWND target = MakeWindow(L"Pesagram - Painel de Monitoramento Ação");
    HWND other = MakeWindow(L"Outra janela");
    QVERIFY(target && other);
    ::SetForegroundWindow(other);
    QCOMPARE(GetForegroundWindow(), other);

    // Found whatever the letter case, UTF-8 title.
    platform::TWindowHandle found =
        platform::FindTopLevelWindow("PESAGRAM - painel de monitoramento AÇÃO");
    QCOMPARE(static_cast<HWND>(found), target);
    platform::SetForegroundWindow(found);
    QCOMPARE(GetForegroundWindow(), target);
    platform::ReleaseWindowHandle(found);

    QVERIFY(platform::FindTopLevelWindow("Pesagram - Painel de Monitoramento") == nullptr);
    platform::SetForegroundWindow(nullptr); // nothing happens
    QCOMPARE(GetForegroundWindow(), target);
    DestroyWindow(target);
    DestroyWindow(other);
    QVERIFY(platform::FindTopLevelWindow("Pesagram - Painel de Monitoramento Ação") == nullptr);
}

void TestWindowsPlatform::hiddenRunnerTrims_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("nothing around") << QString() << QString();
    QTest::newRow("blanks") << QStringLiteral("   ") << QStringLiteral("  ");
    QTest::newRow("tabs and line ends") << QStringLiteral("\t\r\n") << QStringLiteral("\r\n");
    QTest::newRow("control characters") << QStringLiteral("\x01\x1f ") << QStringLiteral(" \x1f");
}

// The command line is trimmed of characters up to code 32 at both ends: the
// result file gets exactly the name written, and the command's output.
void TestWindowsPlatform::hiddenRunnerTrims() {
    QFETCH(QString, before);
    QFETCH(QString, after);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = QDir::toNativeSeparators(dir.filePath(QStringLiteral("resultado.txt")));
    const QString line = before + QStringLiteral("cmd.exe /C echo Resposta de 10.1.1.2> \"") + out +
                         QStringLiteral("\"") + after;
    QVERIFY(ExecuteAndWait(line));
    QCOMPARE(ReadAll(out), QStringLiteral("Resposta de 10.1.1.2\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("resultado.txt")});
}

// The probe's own command line: %WINDIR%\System32\cmd.exe /C ping -n 1 <address>
// > "<file>", the file in %TEMP%. (Wine's ping replies in English.)
void TestWindowsPlatform::hiddenRunnerRunsThePingCommand() {
    const std::string file =
        platform::PingResultDirectory() + platform::PathSeparator() + "painel-ping-test.txt";
    std::remove(file.c_str());
    const std::string line = (PingCommandFront() + QStringLiteral("127.0.0.1 > ") +
                              QuotePathForShell(QString::fromStdString(file)))
                                 .toStdString();
    QVERIFY(QString::fromStdString(line).contains(
        QStringLiteral("\\System32\\cmd.exe /C ping -n 1 127.0.0.1 > \"")));
    platform::RunHiddenAndWait(line);
    const QString text = ReadAll(QString::fromStdString(file));
    QVERIFY2(text.contains(QStringLiteral("127.0.0.1")), qPrintable(text));
    std::remove(file.c_str());
}

void TestWindowsPlatform::hiddenRunnerCommandThatCannotStart() {
    try {
        ExecuteAndWait(QStringLiteral("C:\\Nao\\Existe\\programa-inexistente.exe /C x"));
        QFAIL("no exception for a program that does not exist");
    } catch (const std::system_error& e) {
        const int code = e.code().value();
        QVERIFY2(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND,
                 qPrintable(QString::number(code)));
        QCOMPARE(&e.code().category(), &platform::SystemCategory());
        const std::string what = e.what();
        QVERIFY(ValidUtf8(what));
        QVERIFY2(what.find(platform::SystemMessage(code)) != std::string::npos, what.c_str());
        QVERIFY(!platform::SystemMessage(code).empty());
    }
}

void TestWindowsPlatform::systemMessagesAreUtf8_data() {
    QTest::addColumn<int>("code");
    QTest::newRow("file not found") << static_cast<int>(ERROR_FILE_NOT_FOUND);
    QTest::newRow("access denied") << static_cast<int>(ERROR_ACCESS_DENIED);
    QTest::newRow("already exists") << static_cast<int>(ERROR_ALREADY_EXISTS);
    QTest::newRow("no such code") << 0x2ffff;
}

// The system's text for an error code, in UTF-8, without the full stop and
// line break Windows ends it with. The tests run in a Portuguese locale, whose texts
// have accented letters: in the ANSI code page they would not be UTF-8.
void TestWindowsPlatform::systemMessagesAreUtf8() {
    QFETCH(int, code);
    const std::string text = platform::SystemMessage(code);
    QVERIFY(!text.empty());
    QVERIFY2(ValidUtf8(text), text.c_str());
    QVERIFY(text.back() != '\n' && text.back() != '\r' && text.back() != ' ' && text.back() != '.');

    wchar_t* wide = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&wide), 0, nullptr);
    if (n == 0) {
        QCOMPARE(QString::fromStdString(text), QStringLiteral("Error %1").arg(code));
        return;
    }
    QString expected = QString::fromWCharArray(wide, static_cast<int>(n)).trimmed();
    while (expected.endsWith(QLatin1Char('.')))
        expected.chop(1);
    LocalFree(wide);
    QCOMPARE(QString::fromUtf8(text.c_str()), expected);
    std::system_error error(code, platform::SystemCategory(), "CreateMutexW");
    QVERIFY(ValidUtf8(error.what()));
}

void TestWindowsPlatform::pingPiecesWithoutWindirAndTemp() {
    const QByteArray windir = qgetenv("WINDIR");
    const QByteArray temp = qgetenv("TEMP");
    QVERIFY(!windir.isEmpty());
    QCOMPARE(PingCommandFront(),
             QString::fromLocal8Bit(windir) + QStringLiteral("\\System32\\cmd.exe /C ping -n 1 "));
    QCOMPARE(QString::fromStdString(platform::PingResultDirectory()), QString::fromLocal8Bit(temp));

    // Through the C runtime, which also changes the process environment:
    // the probe reads the variables through either.
    qunsetenv("WINDIR");
    qunsetenv("TEMP");
    const std::string front = PingCommandFront().toStdString();
    const std::string directory = platform::PingResultDirectory();
    qputenv("WINDIR", windir);
    qputenv("TEMP", temp);
    QCOMPARE(front, std::string("\\System32\\cmd.exe /C ping -n 1 "));
    QCOMPARE(directory, std::string());
    // The result file then lies in the root of the current drive.
    QCOMPARE(directory + platform::PathSeparator() + "p1.txt", std::string("\\p1.txt"));
}

int main(int argc, char** argv) {
    if (argc >= 2 && std::strncmp(argv[1], "--", 2) == 0 && std::strcmp(argv[1], "--") != 0 &&
        (std::strcmp(argv[1], "--probe-mutex") == 0 || std::strcmp(argv[1], "--hold-mutex") == 0))
        return ChildMain(argc, argv);
    QCoreApplication app(argc, argv);
    TestWindowsPlatform test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windows_platform.moc"
