#pragma once
// The Access file through the ODBC driver manager and Microsoft's Access
// driver (odbc32 on Windows, unixODBC elsewhere). Standard C++ and the ODBC API
// only, so that it builds for Windows without Qt.

#include "DbEngine.h"

#include <cstddef>
#include <string>
#include <vector>

// The names under which Microsoft's Access driver is installed, in the order
// in which they are sought.
const std::vector<std::string>& AccessOdbcDriverNames();

// The first of AccessOdbcDriverNames() found among `installed` (each name is
// sought among all installed drivers before the next is tried; letters are
// compared without regard to case), spelled as installed; empty when none is.
std::string ChooseAccessDriver(const std::vector<std::string>& installed);

// The drivers the ODBC driver manager lists (SQLDrivers); empty when the
// driver manager cannot be used.
std::vector<std::string> InstalledOdbcDrivers();

// ChooseAccessDriver(InstalledOdbcDrivers()).
std::string FindAccessOdbcDriver();

// A statement's text with its parameter markers in the form ODBC takes.
// Named markers (":ip") become "?"; the parameters are the distinct names in
// the order of their first appearance, and a plain "?" is a parameter of its
// own. Markers inside quoted texts, quoted or bracketed names and Access date
// literals (#...#) are left alone.
struct TOdbcStatementText {
    std::string sql;
    std::vector<std::size_t> markerParams; // for each "?" in sql: index of its parameter
    std::size_t paramCount = 0;
};
TOdbcStatementText ToOdbcStatementText(const std::string& sql);

class TOdbcEngine : public TDbEngine {
public:
    // `driverName` as the driver manager lists it.
    explicit TOdbcEngine(std::string driverName);
    ~TOdbcEngine() override;
    TOdbcEngine(const TOdbcEngine&) = delete;
    TOdbcEngine& operator=(const TOdbcEngine&) = delete;

    void Open(const std::string& path, bool readOnly) override;
    void Close() override;
    bool Connected() const override;
    TDbResult Execute(const std::string& sql, const std::vector<TDbValue>& params) override;
    std::string Description() const override;

    // Connects with `connectionString` as it stands (Open uses
    // ConnectionString(path, readOnly)); does nothing when connected.
    void Connect(const std::string& connectionString);
    // The connection string Open uses for `path`.
    std::string ConnectionString(const std::string& path, bool readOnly) const;
    const std::string& DriverName() const { return FDriverName; }
    // The driver manager's connection handle (SQLHDBC) while there is one.
    void* ConnectionHandle() const { return FDbc; }

private:
    void AllocateEnvironment();

    std::string FDriverName;
    void* FEnv = nullptr; // SQLHENV
    void* FDbc = nullptr; // SQLHDBC
    bool FConnected = false;
    bool FGetDataAnyColumn = false;
};
