#pragma once
// The database engine beneath the connection. Standard C++ only (no Qt types),
// so the ODBC engine compiles for Windows with nothing but the ODBC API.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

struct TDbNull {
    bool operator==(const TDbNull&) const = default;
};

// A value read from or bound to the database. std::monostate is "no value"
// (a scalar query without a row); TDbNull is SQL NULL. Text is UTF-8.
// Date/time values arrive as text "YYYY-MM-DD HH:MM:SS".
using TDbValue = std::variant<std::monostate, TDbNull, bool, std::int64_t, double, std::string>;

struct TDbResult {
    std::vector<std::string> columns;
    std::vector<std::vector<TDbValue>> rows;
};

// Failures of an engine; what() is the engine's diagnostic text (UTF-8).
class TDbEngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TDbEngine {
public:
    virtual ~TDbEngine() = default;
    // Opens the file at `path` (a path of this machine, UTF-8). `readOnly` is
    // the connection's ReadOnly parameter.
    virtual void Open(const std::string& path, bool readOnly) = 0;
    virtual void Close() = 0;
    virtual bool Connected() const = 0;
    // Runs `sql` unchanged, binding `params` to its parameters in order.
    virtual TDbResult Execute(const std::string& sql, const std::vector<TDbValue>& params) = 0;
    // What reads the file, for messages: "ODBC driver <name>" or the built-in reader.
    virtual std::string Description() const = 0;
};

// The engine for the connection's DriverID ("MSAcc"): the ODBC engine when one
// of the known Access ODBC drivers is installed, otherwise (where available)
// the built-in Access reader. Throws TDbEngineError when there is none.
std::unique_ptr<TDbEngine> CreateAccessEngine(const std::string& driverId);
