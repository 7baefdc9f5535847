#include "SingleInstance.h"
#include "SystemError.h"

#include <system_error>
#include <windows.h>

namespace platform {

namespace {

std::wstring Widen(const std::string& text) {
    if (text.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

} // namespace

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

std::string RaiseRequestLine(const std::string& title) {
    return "raise " + title;
}

} // namespace platform
