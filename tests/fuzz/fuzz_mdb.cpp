// The built-in Access reader on damaged files: the file is opened, the roster
// and the activity check's queries run on it; a clear TDbEngineError is fine,
// a crash, a hang or any other exception is a finding.

#include "MdbReaderEngine.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& FilePath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/fuzz-mdb-" + std::to_string(getpid()) +
               ".mdb";
    }();
    return path;
}

void Run(TMdbReaderEngine& engine, const std::string& sql,
         const std::vector<TDbValue>& params = {}) {
    try {
        engine.Execute(sql, params);
    } catch (const TDbEngineError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = FilePath();
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f)
            return 0;
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    TMdbReaderEngine engine;
    try {
        engine.Open(path, true);
    } catch (const TDbEngineError&) {
        return 0;
    }
    Run(engine, "SELECT Scale.*, Sect.SECT_Name AS Sect_Name FROM Scale \n"
                "INNER JOIN Sect ON Sect.SECT_No = Scale.SECT_No \n"
                "ORDER BY SC_No");
    const std::vector<TDbValue> ip{std::string("127.0.0.1")};
    Run(engine, "SELECT SC_Used FROM SCALE WHERE SC_IP = :ip", ip);
    Run(engine, "SELECT SC_PLUUpdated FROM SCALE WHERE SC_IP = :ip", ip);
    return 0;
}
