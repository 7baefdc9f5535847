#include "HiddenProcess.h"
#include "Widen_win.h"

#include <string>
#include <system_error>
#include <vector>
#include <windows.h>

namespace platform {

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
        throw std::system_error(static_cast<int>(err), std::system_category());
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

} // namespace platform
