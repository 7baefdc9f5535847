#include "HiddenProcess.h"
#include "SystemError.h"

#include <string>
#include <system_error>
#include <vector>
#include <windows.h>

namespace platform {

namespace {
std::wstring Widen(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}
} // namespace

void RunHiddenAndWait(const std::string& commandLine) {
    std::wstring wide = Widen(commandLine);
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(L'\0'); // CreateProcessW may write into the command line

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.wShowWindow = SW_HIDE; // not in force (dwFlags is 0): CREATE_NO_WINDOW hides it
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi)) {
        const DWORD err = GetLastError();
        throw std::system_error(static_cast<int>(err), SystemCategory());
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

} // namespace platform
