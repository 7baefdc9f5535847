#pragma once
// UTF-8 text as the UTF-16 text the Win32 wide-character calls take (Windows
// only).

#include <string>
#include <windows.h>

namespace platform {

inline std::wstring Widen(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

} // namespace platform
