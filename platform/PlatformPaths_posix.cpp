#include "PlatformPaths.h"

#include "PrivateDirectory.h"

#include <cstdlib>
#include <dirent.h>
#include <mutex>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::string EnvOrEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string g_madeDir; // a directory made with mkdtemp, removed at exit

void RemoveMadeDir() {
    if (!g_madeDir.empty())
        rmdir(g_madeDir.c_str()); // only succeeds when empty: leaves nothing of others
}

std::string HomeDirectory() {
    std::string home = EnvOrEmpty("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

} // namespace

std::string PingResultDirectory() {
    static std::once_flag once;
    static std::string dir;
    std::call_once(once, [] {
        std::string runtime = EnvOrEmpty("XDG_RUNTIME_DIR");
        if (IsPrivateDirectory(runtime)) {
            dir = runtime;
            return;
        }
        std::string base = EnvOrEmpty("TMPDIR");
        if (base.empty() || access(base.c_str(), W_OK | X_OK) != 0)
            base = "/tmp";
        std::string templ = base + "/painel-pesagram-XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data()) != nullptr) {
            dir = buf.data();
            g_madeDir = dir;
            std::atexit(RemoveMadeDir);
        } else {
            // Nowhere private to write: the probe then finds no result file
            // and reports nothing, which the tiles show as no answer.
            dir = base;
        }
    });
    return dir;
}

std::string PathSeparator() {
    return "/";
}

std::string NativePathOf(const std::string& windowsPath) {
    if (!windowsPath.empty() && windowsPath.front() == '/')
        return windowsPath; // already a path of this machine
    std::string rest = windowsPath;
    if (rest.size() >= 2 && rest[1] == ':')
        rest = rest.substr(2);
    std::vector<std::string> parts;
    std::string cur;
    for (char c : rest) {
        if (c == '\\' || c == '/') {
            if (!cur.empty())
                parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        parts.push_back(cur);

    std::string prefix = EnvOrEmpty("WINEPREFIX");
    if (prefix.empty())
        prefix = HomeDirectory() + "/.wine";
    std::string path = prefix + "/drive_c";
    for (const std::string& part : parts) {
        std::string exact = path + "/" + part;
        struct stat st {};
        if (stat(exact.c_str(), &st) == 0) {
            path = exact;
            continue;
        }
        // Wine matches file names without regard to case.
        std::string found;
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d)) {
                if (strcasecmp(e->d_name, part.c_str()) == 0) {
                    found = e->d_name;
                    break;
                }
            }
            closedir(d);
        }
        path += "/" + (found.empty() ? part : found);
    }
    return path;
}

} // namespace platform
