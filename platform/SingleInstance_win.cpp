#include "SingleInstance.h"
#include "SystemError.h"
#include "Widen_win.h"

#include <system_error>
#include <windows.h>

namespace platform {

TAppMutex::TAppMutex(const std::string& name) {
    const std::wstring wide = Widen(name);
    HANDLE handle = CreateMutexW(nullptr, TRUE, wide.c_str());
    const DWORD err = GetLastError(); // read at once: nothing may run in between
    if (handle == nullptr)
        throw std::system_error(static_cast<int>(err), SystemCategory(), "CreateMutexW");
    FHandle = reinterpret_cast<std::intptr_t>(handle);
    FLastError = static_cast<int>(err);
}

TAppMutex::~TAppMutex() {
    if (FHandle != -1 && FHandle != 0)
        CloseHandle(reinterpret_cast<HANDLE>(FHandle));
}

TWindowHandle FindTopLevelWindow(const std::string& title) {
    const std::wstring wide = Widen(title);
    return FindWindowW(nullptr, wide.c_str());
}

void SetForegroundWindow(TWindowHandle window) {
    if (window)
        ::SetForegroundWindow(static_cast<HWND>(window));
}

void ReleaseWindowHandle(TWindowHandle) {}

std::string RaiseChannelName() {
    return {};
}

} // namespace platform
