// Window facts for the end-to-end tests under Wine, read through Win32:
//   wintool icon "<title>"  exits 0 when the top-level window titled so has a
//                           class icon of its own (not the system's generic
//                           application icon), 1 when it has not, 2 when no
//                           such window exists.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring Widen(const char* utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, w.data(), n);
    w.resize(w.size() - 1);
    return w;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::string(argv[1]) != "icon") {
        std::fprintf(stderr, "usage: wintool icon <title>\n");
        return 64;
    }
    HWND window = FindWindowW(nullptr, Widen(argv[2]).c_str());
    if (!window)
        return 2;
    const auto own = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
    const auto generic = static_cast<HICON>(
        LoadImageW(nullptr, MAKEINTRESOURCEW(32512), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    std::printf("class icon %p, generic icon %p\n", static_cast<void*>(own),
                static_cast<void*>(generic));
    return own && own != generic ? 0 : 1;
}
