#include "MdbReaderEngine.h"

#include <mdbtools.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <vector>

#ifdef _WIN32
#include "SystemError.h"
#include "Widen_win.h"
#include <windows.h>
#endif

namespace {

// The file may be written while it is read: nothing keeps the management
// software from it. A reading that fails, or that the file changed under, is
// made again after a short pause as long as the file keeps changing or was
// written less than UnsettledSeconds ago (a writer may pause longer than one
// pause between two writes, on a busy machine or a network share), for at
// most RetryPeriod in all; a file that has been quiet longer and still cannot
// be read fails at once (after one pause).
constexpr std::chrono::milliseconds RetryPause{40};
constexpr std::chrono::milliseconds RetryPeriod{1500};
// A file written less than this long ago may change again without its size or
// time stamps changing (they are coarse): until it has been quiet that long,
// it is read again when the last reading is older than the interval below, so
// such a change shows at most that much later.
constexpr std::int64_t UnsettledSeconds = 3;
constexpr std::chrono::milliseconds UnsettledReloadInterval{500};

MdbHandle* AsMdb(void* p) {
    return static_cast<MdbHandle*>(p);
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

[[noreturn]] void Damaged(const std::string& path, const std::string& what) {
    throw TDbEngineError("The database file " + Quoted(path) + " is damaged: " + what + ".");
}

#ifdef _WIN32
// FILETIME ticks (100 ns since 1601) as seconds and nanoseconds since 1970.
void SplitFileTime(std::uint64_t ticks, std::int64_t& sec, std::int64_t& nsec) {
    constexpr std::uint64_t UnixEpochTicks = 116444736000000000ULL;
    const std::int64_t sinceUnix = static_cast<std::int64_t>(ticks - UnixEpochTicks);
    sec = sinceUnix / 10000000;
    nsec = (sinceUnix % 10000000) * 100;
}

TMdbReaderEngine::TFileStamp StampOf(const std::string& path) {
    HANDLE file = CreateFileW(platform::Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        const std::string text = platform::SystemMessage(static_cast<int>(err));
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
            throw TDbEngineError("Could not find the database file " + Quoted(path) + ": " + text +
                                 ".");
        throw TDbEngineError("Could not open the database file " + Quoted(path) + ": " + text +
                             ".");
    }
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    const bool ok = GetFileInformationByHandle(file, &info) &&
                    GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic);
    const DWORD err = GetLastError();
    CloseHandle(file);
    if (!ok)
        throw TDbEngineError("Could not open the database file " + Quoted(path) + ": " +
                             platform::SystemMessage(static_cast<int>(err)) + ".");
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw TDbEngineError("The database path " + Quoted(path) + " is not a file.");
    TMdbReaderEngine::TFileStamp s;
    s.device = info.dwVolumeSerialNumber;
    s.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    s.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    SplitFileTime(static_cast<std::uint64_t>(basic.LastWriteTime.QuadPart), s.mtimeSec,
                  s.mtimeNsec);
    SplitFileTime(static_cast<std::uint64_t>(basic.ChangeTime.QuadPart), s.ctimeSec, s.ctimeNsec);
    return s;
}
#else
TMdbReaderEngine::TFileStamp StampOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            throw TDbEngineError("Could not find the database file " + Quoted(path) + ": " +
                                 std::strerror(err) + ".");
        throw TDbEngineError("Could not open the database file " + Quoted(path) + ": " +
                             std::strerror(err) + ".");
    }
    if (!S_ISREG(st.st_mode))
        throw TDbEngineError("The database path " + Quoted(path) + " is not a file.");
    TMdbReaderEngine::TFileStamp s;
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.mtimeSec = st.st_mtim.tv_sec;
    s.mtimeNsec = st.st_mtim.tv_nsec;
    s.ctimeSec = st.st_ctim.tv_sec;
    s.ctimeNsec = st.st_ctim.tv_nsec;
    return s;
}
#endif

// Checks what libmdb takes on trust: the header page, the format version and
// that the file holds whole pages, enough for the system catalog.
void ValidateFile(const std::string& path, const TMdbReaderEngine::TFileStamp& stamp) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f) {
        const int err = errno;
        throw TDbEngineError("Could not open the database file " + Quoted(path) + ": " +
                             std::strerror(err) + ".");
    }
    unsigned char header[0x18] = {};
    const std::size_t got = std::fread(header, 1, sizeof header, f.get());
    static const char jet[] = "Standard Jet DB";
    static const char ace[] = "Standard ACE DB";
    const bool signature = got == sizeof header && header[0] == 0 &&
                           (std::memcmp(header + 4, jet, sizeof jet) == 0 ||
                            std::memcmp(header + 4, ace, sizeof ace) == 0);
    if (!signature)
        throw TDbEngineError("The file " + Quoted(path) + " is not a Microsoft Access database.");
    const unsigned version = header[0x14];
    if (version > MDB_VER_ACCDB_2019)
        throw TDbEngineError("The file " + Quoted(path) +
                             " has an Access format this reader does not know (version " +
                             std::to_string(version) + ").");
    const std::uint64_t pageSize = version == MDB_VER_JET3 ? 2048 : 4096;
    if (stamp.size % pageSize != 0)
        Damaged(path, "its size (" + std::to_string(stamp.size) +
                          " bytes) is not a whole number of " + std::to_string(pageSize) +
                          "-byte pages");
    // Header, global usage map and the system catalog's definition at least.
    if (stamp.size / pageSize < 3)
        Damaged(path, "it is too short (" + std::to_string(stamp.size / pageSize) + " pages)");
}

// libmdb follows a table's usage map without checking that it could read it
// (an empty map is dereferenced as a null pointer).
bool UsageMapReadable(MdbHandle* mdb, guint32 tdefPage) {
    if (mdb_read_pg(mdb, tdefPage) != mdb->fmt->pg_size || mdb->pg_buf[0] != MDB_PAGE_TABLE)
        return false;
    const auto pgRow = static_cast<int>(mdb_get_int32(mdb->pg_buf, mdb->fmt->tab_usage_map_offset));
    void* buf = nullptr;
    int start = 0;
    size_t len = 0;
    if (mdb_find_pg_row(mdb, pgRow, &buf, &start, &len) != 0 || len < 1)
        return false;
    const unsigned char type = static_cast<unsigned char*>(buf)[start];
    return (type == 0 && len >= 5) || (type == 1 && len >= 5);
}

// Access (Jet 4 and later) stores text as UTF-16, where a character outside
// the Basic Multilingual Plane takes a surrogate pair. libmdb decodes it as
// UCS-2, which has no such pairs, and turns each half into '?': decode it as
// UTF-16 instead (must happen before anything is read, catalog names too).
void DecodeTextAsUtf16(MdbHandle* mdb) {
#if MDBTOOLS_H_HAVE_ICONV_H
    if (IS_JET3(mdb))
        return;
    const iconv_t utf16 = iconv_open("UTF-8", "UTF-16LE");
    if (utf16 == reinterpret_cast<iconv_t>(-1))
        return; // keep libmdb's own decoding
    if (mdb->iconv_in != reinterpret_cast<iconv_t>(-1))
        iconv_close(mdb->iconv_in);
    mdb->iconv_in = utf16;
#else
    (void)mdb;
#endif
}

bool SameName(const char* a, const std::string& b) {
    if (b == a)
        return true;
#ifdef _WIN32
    // libmdb built without GLib has no Unicode normalization: compare the
    // composed forms, ignoring case, with the system's own functions.
    const auto composed = [](const std::string& utf8) {
        const std::wstring w = platform::Widen(utf8);
        const int n =
            NormalizeString(NormalizationC, w.c_str(), static_cast<int>(w.size()), nullptr, 0);
        if (n <= 0)
            return w;
        std::wstring out(static_cast<size_t>(n), L'\0');
        const int got =
            NormalizeString(NormalizationC, w.c_str(), static_cast<int>(w.size()), out.data(), n);
        if (got <= 0)
            return w;
        out.resize(static_cast<size_t>(got));
        return out;
    };
    const std::wstring na = composed(a), nb = composed(b);
    return CompareStringOrdinal(na.c_str(), static_cast<int>(na.size()), nb.c_str(),
                                static_cast<int>(nb.size()), TRUE) == CSTR_EQUAL;
#else
    gchar* fa = g_utf8_casefold(a, -1);
    gchar* fb = g_utf8_casefold(b.c_str(), -1);
    gchar* na = g_utf8_normalize(fa, -1, G_NORMALIZE_DEFAULT_COMPOSE);
    gchar* nb = g_utf8_normalize(fb, -1, G_NORMALIZE_DEFAULT_COMPOSE);
    const bool same = na && nb && std::strcmp(na, nb) == 0;
    g_free(fa);
    g_free(fb);
    g_free(na);
    g_free(nb);
    return same;
#endif
}

std::string QuoteName(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

const char* DeclaredType(int mdbType) {
    switch (mdbType) {
    case MDB_BOOL:
        return "BOOLEAN";
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return "INTEGER";
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
        return "REAL";
    case MDB_DATETIME:
        return "DATETIME";
    case MDB_BINARY:
    case MDB_OLE:
        return "BLOB";
    default: // Text, Memo, replication ID
        return "TEXT COLLATE NOCASE";
    }
}

// Days since 1899-12-30 (the fraction, taken without its sign, is the time of
// day) as "YYYY-MM-DD HH:MM:SS".
std::string AccessDateText(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 3e6)
        return {};
    double whole = std::trunc(value);
    auto seconds = static_cast<long long>(std::llround(std::fabs(value - whole) * 86400.0));
    long long days = static_cast<long long>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        days += value < 0 ? -1 : 1;
    }
    // Civil date from days since 1970-01-01 (1899-12-30 is day -25569).
    long long z = days - 25569 + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
    char buf[128];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", y, m, d,
                  seconds / 3600, (seconds / 60) % 60, seconds % 60);
    return buf;
}

struct TStatementGuard {
    sqlite3_stmt* s = nullptr;
    ~TStatementGuard() { sqlite3_finalize(s); }
};

void Exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string text = error ? error : "unknown error";
        sqlite3_free(error);
        throw TDbEngineError(text);
    }
}

void BindValue(sqlite3_stmt* s, int index, const TDbValue& v) {
    if (const auto* b = std::get_if<bool>(&v))
        sqlite3_bind_int(s, index, *b ? 1 : 0);
    else if (const auto* i = std::get_if<std::int64_t>(&v))
        sqlite3_bind_int64(s, index, *i);
    else if (const auto* d = std::get_if<double>(&v))
        sqlite3_bind_double(s, index, *d);
    else if (const auto* t = std::get_if<std::string>(&v))
        sqlite3_bind_text(s, index, t->data(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(s, index);
}

bool IsBooleanType(const char* declared) {
    return declared && sqlite3_stricmp(declared, "BOOLEAN") == 0;
}

} // namespace

TMdbReaderEngine::TMdbReaderEngine() = default;

TMdbReaderEngine::~TMdbReaderEngine() {
    Close();
}

std::string TMdbReaderEngine::Description() const {
    return "built-in Access reader (libmdb)";
}

bool TMdbReaderEngine::Connected() const {
    return FConnected;
}

// The reader never writes: the file is opened for reading whatever the
// connection's ReadOnly parameter says, and holds no lock the management
// software could run into.
void TMdbReaderEngine::Open(const std::string& path, bool /*readOnly*/) {
    if (FConnected)
        return;
    FPath = path;
    OpenFile();
    FConnected = true;
}

void TMdbReaderEngine::Close() {
    CloseFile();
    FConnected = false;
}

void TMdbReaderEngine::CloseFile() {
    if (FDb) {
        sqlite3_close(FDb);
        FDb = nullptr;
    }
    if (FMdb) {
        mdb_close(AsMdb(FMdb));
        FMdb = nullptr;
    }
}

void TMdbReaderEngine::OpenFile() {
    CloseFile();
    const TFileStamp stamp = StampOf(FPath);
    FReadStamp = stamp;
    ValidateFile(FPath, stamp);
    MdbHandle* mdb = mdb_open(FPath.c_str(), MDB_NOFLAGS);
    if (!mdb)
        throw TDbEngineError("The file " + Quoted(FPath) +
                             " cannot be read as an Access database.");
    DecodeTextAsUtf16(mdb);
    if (!UsageMapReadable(mdb, 2) || !mdb_read_catalog(mdb, MDB_ANY) || mdb->num_catalog == 0) {
        mdb_close(mdb);
        Damaged(FPath, "its system catalog cannot be read");
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        mdb_close(mdb);
        throw TDbEngineError("The in-memory database cannot be created.");
    }
    FMdb = mdb;
    FDb = db;
    FStamp = stamp;
    FStampUnsettled =
        static_cast<std::int64_t>(std::time(nullptr)) - stamp.mtimeSec < UnsettledSeconds;
    FOpenedAt = std::chrono::steady_clock::now().time_since_epoch().count();
    ++FFileReads;
}

void TMdbReaderEngine::Refresh() {
    const auto openedAt =
        std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(FOpenedAt));
    FReadStamp = FStamp;
    if (!FMdb || !FDb || !(StampOf(FPath) == FStamp) ||
        (FStampUnsettled && std::chrono::steady_clock::now() - openedAt >= UnsettledReloadInterval))
        OpenFile();
}

void TMdbReaderEngine::LoadTable(const std::string& requestedName) {
    MdbHandle* mdb = AsMdb(FMdb);
    MdbCatalogEntry* entry = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog && !entry; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && SameName(e->object_name, requestedName))
            entry = e;
    }
    if (!entry)
        throw TDbEngineError("The table " + Quoted(requestedName) +
                             " does not exist in the database " + Quoted(FPath) + ".");

    if (!UsageMapReadable(mdb, static_cast<guint32>(entry->table_pg)))
        Damaged(FPath,
                "the page map of the table " + Quoted(entry->object_name) + " cannot be read");
    std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> table(mdb_read_table(entry),
                                                               &mdb_free_tabledef);
    if (!table || !mdb_read_columns(table.get()) || !table->usage_map || table->map_sz < 5)
        Damaged(FPath,
                "the definition of the table " + Quoted(entry->object_name) + " cannot be read");
    const unsigned columnCount = table->num_cols;
    if (columnCount == 0 || columnCount > MDB_MAX_COLS)
        Damaged(FPath, "the table " + Quoted(entry->object_name) + " has no valid columns");

    std::vector<MdbColumn*> columns(columnCount);
    std::string create = "CREATE TABLE " + QuoteName(requestedName) + " (";
    std::string insert = "INSERT INTO " + QuoteName(requestedName) + " VALUES (";
    // OLE objects are read through a bound buffer holding their header and
    // one long-value part at a time.
    std::vector<std::vector<char>> oleBuffers(columnCount);
    for (unsigned i = 0; i < columnCount; ++i) {
        columns[i] = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        if (i) {
            create += ", ";
            insert += ", ";
        }
        create += QuoteName(columns[i]->name) + " " + DeclaredType(columns[i]->col_type);
        insert += "?";
        if (columns[i]->col_type == MDB_OLE) {
            oleBuffers[i].assign(2 * MDB_PGSIZE, 0);
            mdb_bind_column(table.get(), static_cast<int>(i + 1), oleBuffers[i].data(), nullptr);
        }
    }
    create += ")";
    insert += ")";

    Exec(FDb, "DROP TABLE IF EXISTS " + QuoteName(requestedName));
    Exec(FDb, create);
    TStatementGuard ins;
    if (sqlite3_prepare_v2(FDb, insert.c_str(), -1, &ins.s, nullptr) != SQLITE_OK)
        throw TDbEngineError(sqlite3_errmsg(FDb));

    Exec(FDb, "BEGIN");
    std::vector<MdbField> fields(columnCount);
    std::vector<int> fieldOf(columnCount, -1);
    const std::size_t defaultBind = MDB_BIND_SIZE;
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get())) {
        // The row mdb_fetch_row has just read is still in the page buffer:
        // crack it again for the null flags and the positions of the values.
        int start = 0;
        size_t size = 0;
        if (table->cur_row == 0 ||
            mdb_find_row(mdb, static_cast<int>(table->cur_row - 1), &start, &size) != 0)
            Damaged(FPath,
                    "a row of the table " + Quoted(entry->object_name) + " cannot be located");
        start &= 0x1fff;
        const int cracked = mdb_crack_row(table.get(), start, size, fields.data());
        if (cracked < 0)
            Damaged(FPath, "a row of the table " + Quoted(entry->object_name) + " is invalid");
        std::fill(fieldOf.begin(), fieldOf.end(), -1);
        for (unsigned f = 0; f < columnCount; ++f) {
            if (fields[f].colnum >= 0 && static_cast<unsigned>(fields[f].colnum) < columnCount)
                fieldOf[static_cast<unsigned>(fields[f].colnum)] = static_cast<int>(f);
        }
        sqlite3_reset(ins.s);
        sqlite3_clear_bindings(ins.s);
        for (unsigned c = 0; c < columnCount; ++c) {
            const int index = static_cast<int>(c + 1);
            MdbColumn* col = columns[c];
            if (fieldOf[c] < 0)
                continue; // stays NULL
            const MdbField& field = fields[static_cast<unsigned>(fieldOf[c])];
            if (col->col_type == MDB_BOOL) {
                // A Yes/No value lives in the null flags: set means Yes.
                sqlite3_bind_int(ins.s, index, field.is_null ? 0 : 1);
                continue;
            }
            if (field.is_null)
                continue;
            const int at = field.start;
            const int len = field.siz;
            const bool inPage = at >= 0 && len >= 0 && at + len <= MDB_PGSIZE;
            auto fits = [&](int need) {
                return inPage && len >= need;
            };
            unsigned char* p = mdb->pg_buf + (inPage ? at : 0);
            switch (col->col_type) {
            case MDB_BYTE:
                if (fits(1))
                    sqlite3_bind_int(ins.s, index, p[0]);
                break;
            case MDB_INT:
                if (fits(2))
                    sqlite3_bind_int(ins.s, index, static_cast<std::int16_t>(mdb_get_int16(p, 0)));
                break;
            case MDB_LONGINT:
            case MDB_COMPLEX:
                if (fits(4))
                    sqlite3_bind_int64(ins.s, index,
                                       static_cast<std::int32_t>(mdb_get_int32(p, 0)));
                break;
            case MDB_FLOAT:
                if (fits(4))
                    sqlite3_bind_double(ins.s, index, mdb_get_single(p, 0));
                break;
            case MDB_DOUBLE:
                if (fits(8))
                    sqlite3_bind_double(ins.s, index, mdb_get_double(p, 0));
                break;
            case MDB_MONEY:
                if (fits(8)) {
                    std::int64_t cents = 0;
                    std::memcpy(&cents, p, 8);
                    sqlite3_bind_double(ins.s, index, static_cast<double>(cents) / 10000.0);
                }
                break;
            case MDB_DATETIME:
                if (fits(8)) {
                    const std::string text = AccessDateText(mdb_get_double(p, 0));
                    if (!text.empty())
                        sqlite3_bind_text(ins.s, index, text.c_str(), -1, SQLITE_TRANSIENT);
                }
                break;
            case MDB_BINARY:
                if (inPage)
                    sqlite3_bind_blob(ins.s, index, p, len, SQLITE_TRANSIENT);
                break;
            case MDB_NUMERIC:
                if (fits(17)) {
                    char* text = mdb_numeric_to_string(mdb, at, col->col_scale, col->col_prec);
                    if (text)
                        sqlite3_bind_text(ins.s, index, text, -1, SQLITE_TRANSIENT);
                    g_free(text);
                }
                break;
            case MDB_REPID:
                if (fits(16)) {
                    char* text = mdb_uuid_to_string(mdb->pg_buf, at);
                    sqlite3_bind_text(ins.s, index, text, -1, SQLITE_TRANSIENT);
                    g_free(text);
                }
                break;
            case MDB_OLE:
                if (fits(MDB_MEMO_OVERHEAD)) {
                    size_t oleSize = 0;
                    void* data = mdb_ole_read_full(mdb, col, &oleSize);
                    if (data)
                        sqlite3_bind_blob64(ins.s, index, data, oleSize, SQLITE_TRANSIENT);
                    free(data);
                }
                break;
            case MDB_TEXT:
            case MDB_MEMO: {
                if (!inPage)
                    break;
                // libmdb converts into a buffer of its bind size and cuts what
                // does not fit: size it from the stored length (a stored byte
                // never takes more than two bytes of UTF-8).
                std::size_t stored = static_cast<std::size_t>(len);
                if (col->col_type == MDB_MEMO && len >= MDB_MEMO_OVERHEAD)
                    stored = static_cast<std::size_t>(mdb_get_int32(p, 0)) & 0x3fffffffu;
                mdb_set_bind_size(mdb, std::max(defaultBind, 2 * stored + 16));
                char* text = mdb_col_to_string(mdb, mdb->pg_buf, at, col->col_type, len);
                sqlite3_bind_text(ins.s, index, text ? text : "", -1, SQLITE_TRANSIENT);
                g_free(text);
                break;
            }
            default:
                break;
            }
        }
        if (sqlite3_step(ins.s) != SQLITE_DONE) {
            const std::string error = sqlite3_errmsg(FDb);
            mdb_set_bind_size(mdb, defaultBind);
            Exec(FDb, "ROLLBACK");
            throw TDbEngineError(error);
        }
    }
    mdb_set_bind_size(mdb, defaultBind);
    Exec(FDb, "COMMIT");
    ++FTableLoads;
}

TDbResult TMdbReaderEngine::Run(const std::string& sql, const std::vector<TDbValue>& params) {
    Refresh();
    TStatementGuard stmt;
    static const std::string missing = "no such table: ";
    for (int loads = 0;; ++loads) {
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(FDb, sql.c_str(), static_cast<int>(sql.size()), &stmt.s, &tail) ==
            SQLITE_OK) {
            if (!stmt.s)
                throw TDbEngineError("The statement is empty.");
            for (; tail && *tail; ++tail) {
                if (!std::isspace(static_cast<unsigned char>(*tail)) && *tail != ';')
                    throw TDbEngineError("Only one statement can be run at a time.");
            }
            break;
        }
        const std::string error = sqlite3_errmsg(FDb);
        if (error.compare(0, missing.size(), missing) != 0 || loads > 64)
            throw TDbEngineError(error);
        std::string name = error.substr(missing.size());
        if (name.compare(0, 5, "main.") == 0)
            name = name.substr(5);
        LoadTable(name);
    }

    const int expected = sqlite3_bind_parameter_count(stmt.s);
    if (static_cast<std::size_t>(expected) != params.size())
        throw TDbEngineError("The statement has " + std::to_string(expected) +
                             " parameter(s) but " + std::to_string(params.size()) +
                             " value(s) were given");
    for (int i = 0; i < expected; ++i)
        BindValue(stmt.s, i + 1, params[static_cast<std::size_t>(i)]);

    TDbResult result;
    const int columnCount = sqlite3_column_count(stmt.s);
    std::vector<bool> boolean(static_cast<std::size_t>(columnCount));
    for (int c = 0; c < columnCount; ++c) {
        const char* name = sqlite3_column_name(stmt.s, c);
        result.columns.emplace_back(name ? name : "");
        boolean[static_cast<std::size_t>(c)] = IsBooleanType(sqlite3_column_decltype(stmt.s, c));
    }
    for (;;) {
        const int rc = sqlite3_step(stmt.s);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            throw TDbEngineError(sqlite3_errmsg(FDb));
        std::vector<TDbValue> row;
        row.reserve(static_cast<std::size_t>(columnCount));
        for (int c = 0; c < columnCount; ++c) {
            switch (sqlite3_column_type(stmt.s, c)) {
            case SQLITE_NULL:
                row.emplace_back(TDbNull{});
                break;
            case SQLITE_INTEGER:
                if (boolean[static_cast<std::size_t>(c)])
                    row.emplace_back(sqlite3_column_int64(stmt.s, c) != 0);
                else
                    row.emplace_back(static_cast<std::int64_t>(sqlite3_column_int64(stmt.s, c)));
                break;
            case SQLITE_FLOAT:
                row.emplace_back(sqlite3_column_double(stmt.s, c));
                break;
            default: {
                const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt.s, c));
                const int bytes = sqlite3_column_bytes(stmt.s, c);
                row.emplace_back(
                    std::string(data ? data : "", data ? static_cast<std::size_t>(bytes) : 0));
                break;
            }
            }
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}

TDbResult TMdbReaderEngine::Execute(const std::string& sql, const std::vector<TDbValue>& params) {
    if (!FConnected)
        throw TDbEngineError("The connection to the database is closed.");
    ++FStatements;
    const auto until = std::chrono::steady_clock::now() + RetryPeriod;
    // Whether the file may still be being written, after a pause that lets a
    // write in progress go on: it has changed since the version the last
    // attempt began to read, or it was written a moment ago. False when no
    // time is left for another attempt or when the file cannot be looked at
    // (a missing file fails as it is).
    const auto changingAfterPause = [&] {
        if (std::chrono::steady_clock::now() + RetryPause >= until)
            return false;
        std::this_thread::sleep_for(RetryPause);
        try {
            const TFileStamp now = StampOf(FPath);
            return !(now == FReadStamp) ||
                   static_cast<std::int64_t>(std::time(nullptr)) - now.mtimeSec < UnsettledSeconds;
        } catch (const TDbEngineError&) {
            return false;
        }
    };
    for (;;) {
        try {
            TDbResult result = Run(sql, params);
            // Read without a change meanwhile: the result is of one version.
            if (StampOf(FPath) == FStamp)
                return result;
            // Changed while it was read: again, once the write had a moment,
            // while there is time; then the last result stands.
            if (!changingAfterPause())
                return result;
        } catch (const TDbEngineError&) {
            // What a failed reading loaded cannot be trusted: the next one
            // starts from the file.
            CloseFile();
            if (!changingAfterPause())
                throw;
        }
        ++FRetries;
    }
}
