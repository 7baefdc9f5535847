#include "OdbcEngine.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <utility>

#ifndef SQL_OV_ODBC3_80
#define SQL_OV_ODBC3_80 380UL
#endif

namespace {

// ------------------------------------------------------------------ text forms

using TWide = std::vector<SQLWCHAR>;

// UTF-8 to UTF-16; malformed bytes become U+FFFD. No terminator.
TWide ToWide(const std::string& s) {
    TWide out;
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        std::uint32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
        }
        if (len > 1) {
            bool ok = i + len <= n;
            std::uint32_t v = c & (0x7F >> len);
            for (std::size_t k = 1; ok && k < len; ++k) {
                ok = (p[i + k] & 0xC0) == 0x80;
                v = (v << 6) | (p[i + k] & 0x3F);
            }
            static const std::uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
            if (ok && v >= minimum[len] && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) {
                cp = v;
            } else {
                len = 1;
                cp = 0xFFFD;
            }
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<SQLWCHAR>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<SQLWCHAR>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<SQLWCHAR>(cp));
        }
    }
    return out;
}

TWide ToWideZ(const std::string& s) {
    TWide w = ToWide(s);
    w.push_back(0);
    return w;
}

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(const SQLWCHAR* w, std::size_t n) {
    std::string out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t cp = w[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (w[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string ToUtf8(const SQLWCHAR* w) {
    std::size_t n = 0;
    while (w[n] != 0)
        ++n;
    return ToUtf8(w, n);
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// ------------------------------------------------------------------ diagnostics

bool Succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// The diagnostic records of `handle`, one message per line.
std::string Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::string text;
    if (!handle)
        return text;
    for (SQLSMALLINT rec = 1;; ++rec) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> message(512);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, rec, state, &native, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<std::size_t>(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, rec, state, &native, message.data(),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
            break;
        message.back() = 0;
        std::string line = ToUtf8(message.data());
        if (line.empty())
            line = "SQLSTATE " + ToUtf8(state);
        if (!text.empty())
            text += '\n';
        text += line;
    }
    return text;
}

// The SQLSTATE of the first diagnostic record of `handle`.
std::string FirstState(SQLSMALLINT handleType, SQLHANDLE handle) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[256] = {};
    SQLSMALLINT length = 0;
    if (!Succeeded(SQLGetDiagRecW(handleType, handle, 1, state, &native, message, 256, &length)))
        return {};
    state[5] = 0;
    return ToUtf8(state);
}

[[noreturn]] void Fail(const char* call, SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle) {
    std::string text = Diagnostics(handleType, handle);
    if (text.empty())
        text = std::string(call) + " failed (return code " + std::to_string(rc) + ")";
    throw TDbEngineError(text);
}

void Check(SQLRETURN rc, const char* call, SQLSMALLINT handleType, SQLHANDLE handle) {
    if (!Succeeded(rc))
        Fail(call, rc, handleType, handle);
}

SQLHENV NewEnvironment() {
    SQLHENV env = SQL_NULL_HENV;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        throw TDbEngineError("The ODBC driver manager could not be initialized");
    // ODBC 3.80 where the driver manager has it, 3 otherwise.
    if (!Succeeded(SQLSetEnvAttr(
            env, SQL_ATTR_ODBC_VERSION,
            reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(SQL_OV_ODBC3_80)), 0))) {
        const SQLRETURN rc = SQLSetEnvAttr(
            env, SQL_ATTR_ODBC_VERSION,
            reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(SQL_OV_ODBC3)), 0);
        if (!Succeeded(rc)) {
            std::string text = Diagnostics(SQL_HANDLE_ENV, env);
            SQLFreeHandle(SQL_HANDLE_ENV, env);
            throw TDbEngineError(text.empty() ? "The ODBC driver manager refuses ODBC version 3"
                                              : text);
        }
    }
    return env;
}

// Frees a statement handle when it goes out of scope.
struct TStatement {
    SQLHSTMT h = SQL_NULL_HSTMT;
    TStatement() = default;
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;
    ~TStatement() {
        if (h) {
            SQLFreeStmt(h, SQL_CLOSE);
            SQLFreeHandle(SQL_HANDLE_STMT, h);
        }
    }
};

// ------------------------------------------------------------------ parameters

// One bound parameter's storage; it stays in place until the statement ran.
struct TParamBuffer {
    TWide text;
    SQLCHAR bit = 0;
    SQLINTEGER int32 = 0;
    SQLBIGINT int64 = 0;
    SQLDOUBLE real = 0;
    SQLLEN indicator = 0;
};

void BindParameter(SQLHSTMT stmt, SQLUSMALLINT number, const TDbValue& value, TParamBuffer& b) {
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLSMALLINT sqlType = SQL_WVARCHAR;
    SQLULEN columnSize = 1;
    SQLPOINTER data = nullptr;
    SQLLEN bufferLength = 0;
    if (const auto* s = std::get_if<std::string>(&value)) {
        b.text = ToWideZ(*s);
        const std::size_t chars = b.text.size() - 1;
        columnSize = std::max<SQLULEN>(1, chars);
        sqlType = chars > 255 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        data = b.text.data();
        bufferLength = static_cast<SQLLEN>(b.text.size() * sizeof(SQLWCHAR));
        b.indicator = static_cast<SQLLEN>(chars * sizeof(SQLWCHAR));
    } else if (const auto* flag = std::get_if<bool>(&value)) {
        b.bit = *flag ? 1 : 0;
        cType = SQL_C_BIT;
        sqlType = SQL_BIT;
        data = &b.bit;
        b.indicator = 0;
    } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
        if (*i >= std::numeric_limits<SQLINTEGER>::min() &&
            *i <= std::numeric_limits<SQLINTEGER>::max()) {
            b.int32 = static_cast<SQLINTEGER>(*i);
            cType = SQL_C_SLONG;
            sqlType = SQL_INTEGER;
            data = &b.int32;
        } else {
            b.int64 = static_cast<SQLBIGINT>(*i);
            cType = SQL_C_SBIGINT;
            sqlType = SQL_BIGINT;
            data = &b.int64;
        }
        b.indicator = 0;
    } else if (const auto* d = std::get_if<double>(&value)) {
        b.real = *d;
        cType = SQL_C_DOUBLE;
        sqlType = SQL_DOUBLE;
        columnSize = 15;
        data = &b.real;
        b.indicator = 0;
    } else {
        // NULL, and no value at all, bind as a NULL text.
        b.text.assign(1, 0);
        data = b.text.data();
        bufferLength = sizeof(SQLWCHAR);
        b.indicator = SQL_NULL_DATA;
    }
    Check(SQLBindParameter(stmt, number, SQL_PARAM_INPUT, cType, sqlType, columnSize, 0, data,
                           bufferLength, &b.indicator),
          "SQLBindParameter", SQL_HANDLE_STMT, stmt);
}

// ------------------------------------------------------------------ results

enum class TFetchKind { Bit, Int32, Int64, Real, Timestamp, Text, Binary };

struct TColumnPlan {
    std::string name;
    TFetchKind kind = TFetchKind::Text;
    bool bound = false;
    std::vector<unsigned char> buffer; // bound columns only
    SQLLEN indicator = 0;
};

TFetchKind KindOf(SQLSMALLINT sqlType) {
    switch (sqlType) {
    case SQL_BIT:
        return TFetchKind::Bit;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
        return TFetchKind::Int32;
    case SQL_BIGINT:
        return TFetchKind::Int64;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return TFetchKind::Real;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP:
        return TFetchKind::Timestamp;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return TFetchKind::Binary;
    default:
        return TFetchKind::Text;
    }
}

// Text columns up to this many characters are bound; longer ones are read
// piece by piece.
constexpr SQLULEN MaxBoundTextChars = 4000;

std::string TimestampText(const SQL_TIMESTAMP_STRUCT& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u", static_cast<int>(t.year),
                  static_cast<unsigned>(t.month), static_cast<unsigned>(t.day),
                  static_cast<unsigned>(t.hour), static_cast<unsigned>(t.minute),
                  static_cast<unsigned>(t.second));
    return buf;
}

// Some 64-bit drivers store the length/indicator as 32 bits: the upper half
// keeps what was there before the fetch (zero, see the fetch loop).
SQLLEN Indicator(SQLLEN raw) {
    if constexpr (sizeof(SQLLEN) > 4) {
        if (raw == static_cast<SQLLEN>(static_cast<std::uint32_t>(SQL_NULL_DATA)))
            return SQL_NULL_DATA;
        if (raw == static_cast<SQLLEN>(static_cast<std::uint32_t>(SQL_NO_TOTAL)))
            return SQL_NO_TOTAL;
    }
    return raw;
}

TDbValue BoundValue(const TColumnPlan& c) {
    const SQLLEN indicator = Indicator(c.indicator);
    if (indicator == SQL_NULL_DATA)
        return TDbNull{};
    const unsigned char* p = c.buffer.data();
    switch (c.kind) {
    case TFetchKind::Bit:
        return *p != 0;
    case TFetchKind::Int32: {
        SQLINTEGER v;
        std::memcpy(&v, p, sizeof v);
        return static_cast<std::int64_t>(v);
    }
    case TFetchKind::Int64: {
        SQLBIGINT v;
        std::memcpy(&v, p, sizeof v);
        return static_cast<std::int64_t>(v);
    }
    case TFetchKind::Real: {
        SQLDOUBLE v;
        std::memcpy(&v, p, sizeof v);
        return static_cast<double>(v);
    }
    case TFetchKind::Timestamp: {
        SQL_TIMESTAMP_STRUCT t;
        std::memcpy(&t, p, sizeof t);
        return TimestampText(t);
    }
    case TFetchKind::Text: {
        const std::size_t capacity = c.buffer.size() / sizeof(SQLWCHAR) - 1;
        if (indicator == SQL_NO_TOTAL ||
            static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) > capacity)
            throw TDbEngineError("The value of the column " + c.name +
                                 " is longer than the column's declared size");
        std::vector<SQLWCHAR> w(capacity + 1);
        std::memcpy(w.data(), p, w.size() * sizeof(SQLWCHAR));
        return ToUtf8(w.data(), static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR));
    }
    case TFetchKind::Binary:
        break;
    }
    return TDbNull{};
}

SQLSMALLINT CTypeOf(TFetchKind kind) {
    switch (kind) {
    case TFetchKind::Bit:
        return SQL_C_BIT;
    case TFetchKind::Int32:
        return SQL_C_SLONG;
    case TFetchKind::Int64:
        return SQL_C_SBIGINT;
    case TFetchKind::Real:
        return SQL_C_DOUBLE;
    case TFetchKind::Timestamp:
        return SQL_C_TYPE_TIMESTAMP;
    case TFetchKind::Text:
        return SQL_C_WCHAR;
    case TFetchKind::Binary:
        return SQL_C_BINARY;
    }
    return SQL_C_WCHAR;
}

std::size_t FixedSizeOf(TFetchKind kind) {
    switch (kind) {
    case TFetchKind::Bit:
        return sizeof(SQLCHAR);
    case TFetchKind::Int32:
        return sizeof(SQLINTEGER);
    case TFetchKind::Int64:
        return sizeof(SQLBIGINT);
    case TFetchKind::Real:
        return sizeof(SQLDOUBLE);
    case TFetchKind::Timestamp:
        return sizeof(SQL_TIMESTAMP_STRUCT);
    default:
        return 0;
    }
}

// Reads an unbound column of the current row with SQLGetData.
TDbValue ReadUnbound(SQLHSTMT stmt, SQLUSMALLINT number, const TColumnPlan& c) {
    if (c.kind == TFetchKind::Text || c.kind == TFetchKind::Binary) {
        const bool text = c.kind == TFetchKind::Text;
        std::vector<unsigned char> all;
        std::vector<unsigned char> chunk(8192);
        const std::size_t terminator = text ? sizeof(SQLWCHAR) : 0;
        for (;;) {
            SQLLEN ind = 0;
            const SQLRETURN rc = SQLGetData(stmt, number, CTypeOf(c.kind), chunk.data(),
                                            static_cast<SQLLEN>(chunk.size()), &ind);
            if (rc == SQL_NO_DATA)
                break;
            Check(rc, "SQLGetData", SQL_HANDLE_STMT, stmt);
            ind = Indicator(ind);
            if (ind == SQL_NULL_DATA)
                return TDbNull{};
            std::size_t got = chunk.size() - terminator;
            if (rc == SQL_SUCCESS && ind != SQL_NO_TOTAL)
                got = std::min<std::size_t>(got, static_cast<std::size_t>(ind));
            all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
            if (rc == SQL_SUCCESS)
                break;
        }
        if (!text)
            return std::string(all.begin(), all.end());
        std::vector<SQLWCHAR> w(all.size() / sizeof(SQLWCHAR));
        if (!w.empty())
            std::memcpy(w.data(), all.data(), w.size() * sizeof(SQLWCHAR));
        return ToUtf8(w.data(), w.size());
    }
    TColumnPlan fixed;
    fixed.name = c.name;
    fixed.kind = c.kind;
    fixed.buffer.assign(FixedSizeOf(c.kind), 0);
    Check(SQLGetData(stmt, number, CTypeOf(c.kind), fixed.buffer.data(),
                     static_cast<SQLLEN>(fixed.buffer.size()), &fixed.indicator),
          "SQLGetData", SQL_HANDLE_STMT, stmt);
    return BoundValue(fixed);
}

} // namespace

// ---------------------------------------------------------------- driver choice

const std::vector<std::string>& AccessOdbcDriverNames() {
    static const std::vector<std::string> names = {
        "Microsoft Access Driver (*.mdb, *.accdb)",
        "Microsoft Access Driver (*.mdb)",
        "Driver do Microsoft Access (*.mdb)",
        "Microsoft Access-Treiber (*.mdb)",
    };
    return names;
}

std::string ChooseAccessDriver(const std::vector<std::string>& installed) {
    for (const std::string& wanted : AccessOdbcDriverNames()) {
        for (const std::string& name : installed) {
            if (EqualsIgnoringCase(name, wanted))
                return name;
        }
    }
    return {};
}

std::vector<std::string> InstalledOdbcDrivers() {
    std::vector<std::string> names;
    SQLHENV env = SQL_NULL_HENV;
    try {
        env = NewEnvironment();
    } catch (const TDbEngineError&) {
        return names;
    }
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLWCHAR description[512] = {};
        SQLWCHAR attributes[2048] = {};
        SQLSMALLINT descriptionLength = 0;
        SQLSMALLINT attributesLength = 0;
        const SQLRETURN rc = SQLDriversW(env, direction, description, 512, &descriptionLength,
                                         attributes, 2048, &attributesLength);
        if (!Succeeded(rc))
            break;
        description[511] = 0;
        names.push_back(ToUtf8(description));
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return names;
}

std::string FindAccessOdbcDriver() {
    return ChooseAccessDriver(InstalledOdbcDrivers());
}

// ---------------------------------------------------------------- parameter markers

TOdbcStatementText ToOdbcStatementText(const std::string& sql) {
    TOdbcStatementText out;
    std::map<std::string, std::size_t> byName; // names compared without regard to case
    auto isNameStart = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    auto isNameChar = [&](char c) {
        return isNameStart(c) || (c >= '0' && c <= '9');
    };
    const std::size_t n = sql.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '[' || c == '#' || c == '`') {
            // Copy a quoted text, quoted name, bracketed name or date literal whole.
            const char close = c == '[' ? ']' : c;
            std::size_t j = i + 1;
            while (j < n && sql[j] != close)
                ++j;
            j = std::min(n, j + 1);
            out.sql.append(sql, i, j - i);
            i = j;
        } else if (c == ':' && i + 1 < n && isNameStart(sql[i + 1]) &&
                   (i == 0 || sql[i - 1] != ':')) {
            std::size_t j = i + 1;
            while (j < n && isNameChar(sql[j]))
                ++j;
            std::string name = sql.substr(i + 1, j - i - 1);
            for (char& ch : name) {
                if (ch >= 'A' && ch <= 'Z')
                    ch = static_cast<char>(ch - 'A' + 'a');
            }
            auto [it, inserted] = byName.emplace(name, out.paramCount);
            if (inserted)
                ++out.paramCount;
            out.markerParams.push_back(it->second);
            out.sql += '?';
            i = j;
        } else if (c == '?') {
            out.markerParams.push_back(out.paramCount++);
            out.sql += '?';
            ++i;
        } else {
            out.sql += c;
            ++i;
        }
    }
    return out;
}

// ---------------------------------------------------------------- TOdbcEngine

TOdbcEngine::TOdbcEngine(std::string driverName) : FDriverName(std::move(driverName)) {}

TOdbcEngine::~TOdbcEngine() {
    try {
        Close();
    } catch (const TDbEngineError&) {
        // A driver that still refuses to end the connection (its failure was
        // reported by the Close before) keeps it and the environment: a
        // connected handle cannot be freed.
        return;
    }
    if (FEnv)
        SQLFreeHandle(SQL_HANDLE_ENV, static_cast<SQLHENV>(FEnv));
}

void TOdbcEngine::AllocateEnvironment() {
    if (!FEnv)
        FEnv = NewEnvironment();
}

std::string TOdbcEngine::ConnectionString(const std::string& path, bool readOnly) const {
    return "DRIVER={" + FDriverName + "};DBQ=" + path +
           ";ReadOnly=" + (readOnly ? "True" : "False") + ";ExtendedAnsiSQL=1";
}

void TOdbcEngine::Open(const std::string& path, bool readOnly) {
    if (FConnected)
        return;
    try {
        Connect(ConnectionString(path, readOnly));
    } catch (const TDbEngineError& e) {
        // Drivers that keep no diagnostic records leave only the bare call.
        if (std::string(e.what()).rfind("SQLDriverConnect failed", 0) == 0)
            throw TDbEngineError("The database " + path +
                                 " could not be opened with the ODBC driver " + FDriverName + " (" +
                                 e.what() + ")");
        throw;
    }
}

void TOdbcEngine::Connect(const std::string& connectionString) {
    if (FConnected)
        return;
    AllocateEnvironment();
    SQLHENV env = static_cast<SQLHENV>(FEnv);
    if (!FDbc) {
        SQLHDBC dbc = SQL_NULL_HDBC;
        Check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), "SQLAllocHandle", SQL_HANDLE_ENV, env);
        FDbc = dbc;
    }
    SQLHDBC dbc = static_cast<SQLHDBC>(FDbc);
    TWide connection = ToWideZ(connectionString);
    SQLWCHAR completed[1024] = {};
    SQLSMALLINT completedLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, connection.data(), SQL_NTS, completed,
                                           1024, &completedLength, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(rc)) {
        std::string text = Diagnostics(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        FDbc = nullptr;
        throw TDbEngineError(text.empty() ? "SQLDriverConnect failed (return code " +
                                                std::to_string(rc) + ")"
                                          : text);
    }
    FConnected = true;
    SQLUINTEGER extensions = 0;
    FGetDataAnyColumn = Succeeded(SQLGetInfo(dbc, SQL_GETDATA_EXTENSIONS, &extensions,
                                             sizeof extensions, nullptr)) &&
                        (extensions & SQL_GD_ANY_COLUMN) != 0;
}

void TOdbcEngine::Close() {
    if (!FDbc)
        return;
    SQLHDBC dbc = static_cast<SQLHDBC>(FDbc);
    if (FConnected) {
        SQLRETURN rc = SQLDisconnect(dbc);
        if (!Succeeded(rc)) {
            // A driver does not disconnect while a transaction is open
            // (SQLSTATE 25000): roll it back (the engine only reads) and try
            // again.
            SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
            rc = SQLDisconnect(dbc);
        }
        if (!Succeeded(rc)) {
            // Still connected, so the handle cannot be freed: the engine keeps
            // it, open and usable, and a later Close tries again.
            std::string text = Diagnostics(SQL_HANDLE_DBC, dbc);
            if (text.empty())
                text = "SQLDisconnect failed (return code " + std::to_string(rc) + ")";
            throw TDbEngineError("The connection to the database could not be closed: " + text);
        }
        FConnected = false;
    }
    const SQLRETURN freed = SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (!Succeeded(freed)) {
        // Kept (disconnected) for the next Connect or Close.
        std::string text = Diagnostics(SQL_HANDLE_DBC, dbc);
        if (text.empty())
            text = "SQLFreeHandle failed (return code " + std::to_string(freed) + ")";
        throw TDbEngineError("The connection handle could not be freed: " + text);
    }
    FDbc = nullptr;
}

bool TOdbcEngine::Connected() const {
    return FConnected;
}

std::string TOdbcEngine::Description() const {
    return "ODBC driver " + FDriverName;
}

TDbResult TOdbcEngine::Execute(const std::string& sql, const std::vector<TDbValue>& params) {
    if (!FConnected)
        throw TDbEngineError("The connection to the database is closed");
    SQLHDBC dbc = static_cast<SQLHDBC>(FDbc);
    const TOdbcStatementText text = ToOdbcStatementText(sql);
    if (params.size() != text.paramCount)
        throw TDbEngineError("The statement has " + std::to_string(text.paramCount) +
                             " parameter(s) but " + std::to_string(params.size()) +
                             " value(s) were given");

    TStatement stmt;
    Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt.h), "SQLAllocHandle", SQL_HANDLE_DBC, dbc);
    TWide wideSql = ToWideZ(text.sql);
    // A driver without SQLPrepare runs the statement through SQLExecDirect.
    const SQLRETURN prepared = SQLPrepareW(stmt.h, wideSql.data(), SQL_NTS);
    const bool direct = !Succeeded(prepared) && FirstState(SQL_HANDLE_STMT, stmt.h) == "IM001";
    if (!direct)
        Check(prepared, "SQLPrepare", SQL_HANDLE_STMT, stmt.h);

    std::vector<TParamBuffer> buffers(text.markerParams.size());
    for (std::size_t m = 0; m < text.markerParams.size(); ++m)
        BindParameter(stmt.h, static_cast<SQLUSMALLINT>(m + 1), params[text.markerParams[m]],
                      buffers[m]);

    const SQLRETURN executed =
        direct ? SQLExecDirectW(stmt.h, wideSql.data(), SQL_NTS) : SQLExecute(stmt.h);
    if (executed != SQL_NO_DATA)
        Check(executed, direct ? "SQLExecDirect" : "SQLExecute", SQL_HANDLE_STMT, stmt.h);

    TDbResult result;
    SQLSMALLINT columnCount = 0;
    Check(SQLNumResultCols(stmt.h, &columnCount), "SQLNumResultCols", SQL_HANDLE_STMT, stmt.h);
    if (columnCount <= 0)
        return result;

    std::vector<TColumnPlan> plan(static_cast<std::size_t>(columnCount));
    bool unboundSeen = false;
    for (SQLSMALLINT i = 0; i < columnCount; ++i) {
        TColumnPlan& c = plan[static_cast<std::size_t>(i)];
        SQLWCHAR name[512] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        Check(SQLDescribeColW(stmt.h, static_cast<SQLUSMALLINT>(i + 1), name, 512, &nameLength,
                              &sqlType, &size, &digits, &nullable),
              "SQLDescribeCol", SQL_HANDLE_STMT, stmt.h);
        name[511] = 0;
        c.name = ToUtf8(name);
        c.kind = KindOf(sqlType);
        std::size_t bytes = FixedSizeOf(c.kind);
        if (c.kind == TFetchKind::Text && size > 0 && size <= MaxBoundTextChars)
            bytes = (size + 1) * sizeof(SQLWCHAR);
        // Without SQL_GD_ANY_COLUMN, SQLGetData may only read columns after
        // the last bound one: bind nothing once a column is read piecewise.
        c.bound = bytes > 0 && (FGetDataAnyColumn || !unboundSeen);
        if (!c.bound) {
            unboundSeen = true;
            continue;
        }
        c.buffer.assign(bytes, 0);
        Check(SQLBindCol(stmt.h, static_cast<SQLUSMALLINT>(i + 1), CTypeOf(c.kind), c.buffer.data(),
                         static_cast<SQLLEN>(c.buffer.size()), &c.indicator),
              "SQLBindCol", SQL_HANDLE_STMT, stmt.h);
    }
    for (const TColumnPlan& c : plan)
        result.columns.push_back(c.name);

    for (;;) {
        for (TColumnPlan& c : plan)
            c.indicator = 0;
        const SQLRETURN rc = SQLFetch(stmt.h);
        if (rc == SQL_NO_DATA)
            break;
        Check(rc, "SQLFetch", SQL_HANDLE_STMT, stmt.h);
        std::vector<TDbValue> row;
        row.reserve(plan.size());
        for (std::size_t i = 0; i < plan.size(); ++i) {
            if (plan[i].bound)
                row.push_back(BoundValue(plan[i]));
            else
                row.push_back(ReadUnbound(stmt.h, static_cast<SQLUSMALLINT>(i + 1), plan[i]));
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}
