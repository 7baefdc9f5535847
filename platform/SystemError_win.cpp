#include "SystemError.h"

#include <windows.h>

namespace platform {

namespace {

std::string Utf8Of(const wchar_t* text, int length) {
    if (length <= 0)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

class TWindowsCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "system"; }

    std::string message(int code) const override {
        wchar_t* buffer = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
        if (length == 0 || buffer == nullptr)
            return "Error " + std::to_string(static_cast<unsigned long>(code));
        DWORD end = length;
        while (end > 0 && (buffer[end - 1] == L'\r' || buffer[end - 1] == L'\n' ||
                           buffer[end - 1] == L' ' || buffer[end - 1] == L'.'))
            --end;
        std::string text = Utf8Of(buffer, static_cast<int>(end));
        LocalFree(buffer);
        return text;
    }

    std::error_condition default_error_condition(int code) const noexcept override {
        return std::system_category().default_error_condition(code);
    }
};

} // namespace

const std::error_category& SystemCategory() {
    static const TWindowsCategory category;
    return category;
}

std::string SystemMessage(int code) {
    return SystemCategory().message(code);
}

} // namespace platform
