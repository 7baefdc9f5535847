// A fake `ping` for the end-to-end tests under Wine, placed first on the
// Windows PATH. Called as "ping -n 1 <address>", it appends
// "<milliseconds since 1970> <address>" to ping.log beside itself and prints
// the reply of Windows in Portuguese, or, for an address listed (one a line)
// in silent.txt beside itself, waits a second and prints the time-out.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string Beside(const char* name) {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    const auto slash = dir.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : dir.substr(0, slash + 1)) + name;
}

bool Silent(const std::string& address) {
    std::ifstream list(Beside("silent.txt"));
    std::string line;
    while (std::getline(list, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line == address)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const std::string address = argc > 1 ? argv[argc - 1] : "";
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    {
        std::ofstream log(Beside("ping.log"), std::ios::app | std::ios::binary);
        log << now << ' ' << address << '\n';
    }
    std::printf("\nDisparando %s com 32 bytes de dados:\n", address.c_str());
    if (Silent(address)) {
        Sleep(1000);
        std::printf("Esgotado o tempo limite do pedido.\n\n");
        std::printf("Estat\xa1sticas do Ping para %s:\n", address.c_str());
        std::printf("    Pacotes: Enviados = 1, Recebidos = 0, Perdidos = 1 (100%% de perda),\n");
        return 1;
    }
    std::printf("Resposta de %s: bytes=32 tempo=12ms TTL=64\n\n", address.c_str());
    std::printf("Estat\xa1sticas do Ping para %s:\n", address.c_str());
    std::printf("    Pacotes: Enviados = 1, Recebidos = 1, Perdidos = 0 (0%% de perda),\n");
    return 0;
}
