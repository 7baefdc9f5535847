#pragma once
// Writes Access 2000 (Jet 4) database files: the system catalog and any number
// of tables with their rows. Used to make test fixtures, the demo database and
// benchmark databases.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace mdbw {

enum class TColumnType { Text, Long, Integer, YesNo, Double, DateTime, Memo };

struct TColumn {
    std::string name;
    TColumnType type = TColumnType::Text;
    int textLength = 255; // characters, Text columns only (1..255)
    // Text and Memo: store values in Jet's compressed form where that is
    // shorter, as Access does by default. Memos over 1024 characters, and texts
    // holding a character whose low byte is zero (U+0100, U+2000, ...), stay plain.
    bool compressed = false;
};

struct TNull {};

// A cell: NULL, a truth value (YesNo), a whole number (Long, Integer), a real
// number (Double), or UTF-8 text (Text, Memo; DateTime as "YYYY-MM-DD HH:MM:SS").
// Also accepted: a whole number for a Double, and a DateTime given as the
// stored day count (days since 1899-12-30, time as the fraction).
// A Yes/No cell cannot be NULL: the file keeps a Yes/No value only as the
// row's null-mask bit, so NULL would silently read back as No. Text lengths
// count UTF-16 units (a character outside the BMP takes two).
using TValue = std::variant<TNull, bool, std::int64_t, double, std::string>;

struct TTable {
    std::string name;
    std::vector<TColumn> columns;
    std::vector<std::vector<TValue>> rows;
};

// Writes `tables` to a new file at `path` (replacing any file there).
// Throws std::runtime_error when the definition cannot be written (unknown
// type, value of the wrong kind, text too long, bad or duplicate name, NULL
// Yes/No, a row over 4060 bytes) or the file cannot be created. Nothing is
// written then: the file is built beside `path` and renamed over it at the end.
void WriteMdb(const std::string& path, const std::vector<TTable>& tables);

// The panel's demo database: tables `Scale` and `Sect` with 24 scales in five
// sectors. Scales that answer ping sit at distinct 127.0.0.x addresses; three
// are not in use, five are in use with outdated PLU data, two sit at
// 255.255.255.255 (never answer), one has a sector number missing from `Sect`.
// The rows of `Scale` are not stored in SC_No order.
std::vector<TTable> DemoTables();

// `Scale` and `Sect` with `scaleCount` scales (0..64000), all in use and up to
// date, at distinct loopback addresses 127.0.(i/250).(i%250+1), SC_No = i+1,
// spread over the same five sectors.
std::vector<TTable> ScaleTables(int scaleCount);

} // namespace mdbw
