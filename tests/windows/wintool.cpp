// Facts about the Windows program, read through Win32 for the end-to-end
// tests under Wine:
//   wintool icon <program.exe>  exits 0 when the program carries the icon
//                               that Qt gives its windows (the icon resource
//                               IDI_ICON1, loaded as Qt loads it), 1 when not.
// (Wine does not answer a class icon query about another process's window,
// so the resource is checked where Qt takes it from.)

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
        std::fprintf(stderr, "usage: wintool icon <program.exe>\n");
        return 64;
    }
    HMODULE program = LoadLibraryExW(Widen(argv[2]).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!program) {
        std::printf("cannot load %s (error %lu)\n", argv[2], GetLastError());
        return 1;
    }
    const auto big =
        static_cast<HICON>(LoadImageW(program, L"IDI_ICON1", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    const auto small = static_cast<HICON>(LoadImageW(program, L"IDI_ICON1", IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXSMICON),
                                                     GetSystemMetrics(SM_CYSMICON), 0));
    std::printf("IDI_ICON1: large %p, small %p\n", static_cast<void*>(big),
                static_cast<void*>(small));
    return big && small ? 0 : 1;
}
