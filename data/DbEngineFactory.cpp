#include "DbEngine.h"
#include "OdbcEngine.h"

#ifdef PAINEL_HAVE_MDB_READER
#include "MdbReaderEngine.h"
#endif

std::unique_ptr<TDbEngine> CreateAccessEngine(const std::string& driverId) {
    std::string id = driverId;
    for (char& c : id) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    if (id != "MSACC")
        throw TDbEngineError("Unknown database driver ID '" + driverId + "'");
    const std::string driver = FindAccessOdbcDriver();
    if (!driver.empty())
        return std::make_unique<TOdbcEngine>(driver);
#ifdef PAINEL_HAVE_MDB_READER
    return std::make_unique<TMdbReaderEngine>();
#else
    throw TDbEngineError("No Microsoft Access ODBC driver is installed (looked for \"" +
                         AccessOdbcDriverNames().front() +
                         "\" and the other names it is "
                         "installed under).");
#endif
}
