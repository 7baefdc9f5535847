#include "PlatformPaths.h"

#include <cstdlib>
#include <string>
#include <windows.h>

namespace platform {

namespace {
std::string EnvUtf8(const wchar_t* name) {
    DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0)
        return {};
    std::wstring w(n, L'\0');
    n = GetEnvironmentVariableW(name, w.data(), n);
    w.resize(n);
    const int len = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr,
                                        0, nullptr, nullptr);
    std::string s(static_cast<size_t>(len), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), len, nullptr,
                        nullptr);
    return s;
}
} // namespace

std::string PingResultDirectory() {
    return EnvUtf8(L"TEMP");
}

std::string PathSeparator() {
    return "\\";
}

std::string NativePathOf(const std::string& windowsPath) {
    return windowsPath;
}

} // namespace platform
