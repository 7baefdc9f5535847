// Jet 4 file writer. The file is laid out as:
//   0 header, 1 global usage map, 2 MSysObjects definition,
//   3.. pages of usage-map rows, then each user table's definition pages,
//   MSysObjects' data pages, each table's data and long-value pages, and
//   finally any bitmap pages that large usage maps refer to.
#include "MdbWriter.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <stdexcept>

namespace mdbw {
namespace {

using TBytes = std::vector<std::uint8_t>;

constexpr std::size_t kPageSize = 4096;
constexpr std::size_t kDataHeader = 14;
constexpr std::size_t kMaxRowSize = 4060;
constexpr std::size_t kMaxRowsPerPage = 255;
constexpr std::size_t kMapRowSize = 69;
constexpr std::size_t kMapRowsPerPage = (kPageSize - kDataHeader) / (kMapRowSize + 2);
constexpr std::size_t kInlineMemoMax = 64;
constexpr std::size_t kSingleLvalMax = kPageSize - kDataHeader - 2 - 4; // 4076
constexpr std::size_t kChainPartMax = kSingleLvalMax - 4;               // 4072
constexpr std::uint32_t kMagic659 = 0x659;
constexpr std::uint32_t kLvalOwner = 0x4C41564C; // "LVAL"
constexpr std::uint32_t kCatalogPage = 2;
constexpr std::uint32_t kFirstMapPage = 3;
constexpr std::size_t kMaxNameChars = 64;
constexpr std::size_t kBitmapPageBits = (kPageSize - 4) * 8; // 32736
constexpr std::size_t kBitmapPageSlots = 17;

enum TTypeCode : std::uint8_t {
    kBool = 0x01,
    kInteger = 0x03,
    kLong = 0x04,
    kDouble = 0x07,
    kDateTime = 0x08,
    kBinary = 0x09,
    kText = 0x0A,
    kOle = 0x0B,
    kMemo = 0x0C,
};

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Put64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Append16(TBytes& b, std::uint16_t v) {
    b.resize(b.size() + 2);
    Put16(b.data() + b.size() - 2, v);
}

void Append32(TBytes& b, std::uint32_t v) {
    b.resize(b.size() + 4);
    Put32(b.data() + b.size() - 4, v);
}

TBytes DoubleBytes(double d) {
    std::uint64_t bits;
    static_assert(sizeof bits == sizeof d);
    std::memcpy(&bits, &d, sizeof d);
    TBytes b(8);
    Put64(b.data(), bits);
    return b;
}

std::uint32_t PgRow(std::uint32_t page, std::size_t row) {
    return (page << 8) | static_cast<std::uint32_t>(row);
}

[[noreturn]] void Fail(const std::string& message) {
    throw std::runtime_error(message);
}

// Describes where a value sits, for error messages; only called on failure.
using TWhere = std::function<std::string()>;

// ---------------------------------------------------------------------------
// Text

// Decodes UTF-8 into UTF-16 code units; throws on malformed input.
std::u16string Utf8ToUtf16(const std::string& s, const TWhere& where) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    const auto bad = [&]() {
        Fail(where() + ": text is not valid UTF-8");
    };
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = 0;
        std::size_t extra = 0;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            bad();
        }
        if (extra > s.size() - i - 1)
            bad();
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                bad();
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr std::uint32_t kMinForLength[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMinForLength[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            bad();
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return out;
}

TBytes Ucs2Bytes(const std::u16string& s) {
    TBytes b(s.size() * 2);
    for (std::size_t i = 0; i < s.size(); ++i)
        Put16(b.data() + 2 * i, s[i]);
    return b;
}

// Jet's compressed text: FF FE, then bytes in one-byte mode (a character
// U+0001..U+00FF per byte) or two-byte mode (UTF-16LE), a 00 byte switching
// between the two. Returns the plain form when that is not longer or when a
// character cannot be written (a zero low byte reads as a switch).
// `force` asks for the compressed form whatever its length; it throws when
// the text cannot be written that way.
TBytes CompressedOrPlain(const std::u16string& s, bool force, const TWhere& where) {
    for (char16_t c : s) {
        if ((c & 0xFF) == 0) {
            if (force)
                Fail(where() + ": a text that starts with U+FEFF cannot also hold a "
                               "character whose low byte is zero (U+0100, U+2000, ...)");
            return Ucs2Bytes(s);
        }
    }
    // Cheapest encoding by dynamic programming over the mode after each character.
    const std::size_t n = s.size();
    constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max() / 4;
    std::vector<std::array<std::size_t, 2>> cost(n + 1, {kNone, kNone});
    std::vector<std::array<int, 2>> from(n + 1, {0, 0});
    cost[0] = {0, 1}; // start in one-byte mode; reaching two-byte mode costs a switch
    from[0] = {0, 0};
    for (std::size_t i = 0; i < n; ++i) {
        for (int mode = 0; mode < 2; ++mode) {
            const bool fits = mode == 1 || s[i] <= 0xFF;
            if (!fits)
                continue;
            const std::size_t unit = mode == 0 ? 1 : 2;
            for (int prev = 0; prev < 2; ++prev) {
                const std::size_t c = cost[i][prev] + unit + (prev != mode ? 1 : 0);
                if (c < cost[i + 1][mode]) {
                    cost[i + 1][mode] = c;
                    from[i + 1][mode] = prev;
                }
            }
        }
    }
    int mode = cost[n][0] <= cost[n][1] ? 0 : 1;
    if (!force && 2 + cost[n][mode] >= 2 * n)
        return Ucs2Bytes(s);
    std::vector<int> modes(n + 1);
    for (std::size_t i = n + 1; i-- > 0;) {
        modes[i] = mode;
        mode = from[i][mode];
    }
    TBytes out{0xFF, 0xFE};
    int current = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (modes[i + 1] != current) {
            out.push_back(0x00);
            current = modes[i + 1];
        }
        out.push_back(static_cast<std::uint8_t>(s[i]));
        if (current == 1)
            out.push_back(static_cast<std::uint8_t>(s[i] >> 8));
    }
    return out;
}

bool AsciiEqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Object names: 1 to 64 characters, no control characters, none of . ! ` [ ],
// no leading blank (the characters Access refuses in names).
std::u16string CheckName(const std::string& name, const std::string& what) {
    if (name.empty())
        Fail(what + " has an empty name");
    const std::u16string u = Utf8ToUtf16(name, [&] { return what + " \"" + name + "\""; });
    if (u.size() > kMaxNameChars)
        Fail(what + " \"" + name + "\": name is longer than 64 characters");
    if (u.front() == u' ')
        Fail(what + " \"" + name + "\": name starts with a blank");
    for (char16_t c : u) {
        if (c < 0x20 || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']')
            Fail(what + " \"" + name + "\": name holds a character that is not allowed");
    }
    return u;
}

// ---------------------------------------------------------------------------
// Dates

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// OLE automation date: days since 1899-12-30; before that day the day part is
// negative while the time of day still counts away from zero.
double OleDate(std::int64_t days, std::int64_t seconds) {
    const double frac = static_cast<double>(seconds) / 86400.0;
    return days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
}

double ParseDateTime(const std::string& s, const TWhere& where) {
    const auto bad = [&]() {
        Fail(where() + ": \"" + s + "\" is not a date in the form YYYY-MM-DD HH:MM:SS");
    };
    const auto num = [&](std::size_t pos, std::size_t len) {
        if (pos + len > s.size())
            bad();
        int v = 0;
        for (std::size_t i = pos; i < pos + len; ++i) {
            if (s[i] < '0' || s[i] > '9')
                bad();
            v = v * 10 + (s[i] - '0');
        }
        return v;
    };
    if (s.size() != 10 && s.size() != 19)
        bad();
    const int y = num(0, 4), mo = num(5, 2), d = num(8, 2);
    if (s[4] != '-' || s[7] != '-')
        bad();
    int h = 0, mi = 0, se = 0;
    if (s.size() == 19) {
        if ((s[10] != ' ' && s[10] != 'T') || s[13] != ':' || s[16] != ':')
            bad();
        h = num(11, 2);
        mi = num(14, 2);
        se = num(17, 2);
    }
    static constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 100 || mo < 1 || mo > 12 || d < 1 || d > kMonthDays[mo - 1] ||
        (mo == 2 && d == 29 && !leap) || h > 23 || mi > 59 || se > 59)
        bad();
    const std::int64_t days =
        DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) -
        DaysFromCivil(1899, 12, 30);
    return OleDate(days, h * 3600 + mi * 60 + se);
}

double NowAsOleDate() {
    using namespace std::chrono;
    const auto secs = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
    const std::int64_t days =
        secs / 86400 + DaysFromCivil(1970, 1, 1) - DaysFromCivil(1899, 12, 30);
    return OleDate(days, secs % 86400);
}

// ---------------------------------------------------------------------------
// Table layout

struct TColDef {
    std::string name;
    std::u16string name16;
    TColumnType userType = TColumnType::Text;
    std::uint8_t code = kText;
    std::uint16_t length = 0; // bytes
    bool isFixed = false;
    bool isLong = false;
    std::uint16_t varIndex = 0;
    std::uint16_t fixedOffset = 0;
    int textLength = 0;
    bool compressed = false;
};

struct TLayout {
    std::vector<TColDef> cols;
    std::uint16_t fixedSize = 0;
    std::vector<std::size_t> varOrder; // column indexes, in offset-table order
    std::vector<std::size_t> longCols; // column indexes of MEMO/OLE columns
    std::size_t VarCount() const { return varOrder.size(); }
};

void FinishLayout(TLayout& l) {
    std::uint16_t fixed = 0;
    for (auto& c : l.cols) {
        if (c.isFixed && c.code != kBool) {
            c.fixedOffset = fixed;
            fixed = static_cast<std::uint16_t>(fixed + c.length);
        }
    }
    l.fixedSize = fixed;
    for (std::size_t i = 0; i < l.cols.size(); ++i)
        if (!l.cols[i].isFixed && !l.cols[i].isLong)
            l.varOrder.push_back(i);
    for (std::size_t i = 0; i < l.cols.size(); ++i)
        if (l.cols[i].isLong) {
            l.varOrder.push_back(i);
            l.longCols.push_back(i);
        }
    for (std::size_t v = 0; v < l.varOrder.size(); ++v)
        l.cols[l.varOrder[v]].varIndex = static_cast<std::uint16_t>(v);
    // A fixed column records the offset-table index the next variable column gets.
    for (std::size_t i = 0; i < l.cols.size(); ++i) {
        if (!l.cols[i].isFixed)
            continue;
        std::uint16_t next = 0;
        for (std::size_t k = 0; k < i; ++k)
            if (!l.cols[k].isFixed && !l.cols[k].isLong)
                ++next;
        l.cols[i].varIndex = next;
    }
}

TColDef MakeColumn(const std::string& name, std::uint8_t code, std::uint16_t length) {
    TColDef c;
    c.name = name;
    c.name16 = Utf8ToUtf16(name, [] { return std::string("column"); });
    c.code = code;
    c.length = length;
    c.isLong = code == kMemo || code == kOle;
    c.isFixed = !c.isLong && code != kText && code != kBinary;
    return c;
}

TLayout UserLayout(const TTable& t) {
    const std::string tableWhat = "table \"" + t.name + "\"";
    if (t.columns.empty())
        Fail(tableWhat + " has no columns");
    if (t.columns.size() > 255)
        Fail(tableWhat + " has more than 255 columns");
    TLayout l;
    for (const auto& col : t.columns) {
        const std::string what = tableWhat + ", column";
        CheckName(col.name, what);
        for (const auto& prev : l.cols)
            if (AsciiEqualNoCase(prev.name, col.name))
                Fail(tableWhat + " has two columns named \"" + col.name + "\"");
        TColDef c;
        switch (col.type) {
        case TColumnType::Text:
            if (col.textLength < 1 || col.textLength > 255)
                Fail(tableWhat + ", column \"" + col.name + "\": text length " +
                     std::to_string(col.textLength) + " is not between 1 and 255");
            c = MakeColumn(col.name, kText, static_cast<std::uint16_t>(2 * col.textLength));
            c.textLength = col.textLength;
            break;
        case TColumnType::Long:
            c = MakeColumn(col.name, kLong, 4);
            break;
        case TColumnType::Integer:
            c = MakeColumn(col.name, kInteger, 2);
            break;
        case TColumnType::YesNo:
            c = MakeColumn(col.name, kBool, 1);
            break;
        case TColumnType::Double:
            c = MakeColumn(col.name, kDouble, 8);
            break;
        case TColumnType::DateTime:
            c = MakeColumn(col.name, kDateTime, 8);
            break;
        case TColumnType::Memo:
            c = MakeColumn(col.name, kMemo, 0);
            break;
        default:
            Fail(tableWhat + ", column \"" + col.name + "\": unknown column type");
        }
        c.userType = col.type;
        c.compressed = col.compressed && (c.code == kText || c.code == kMemo);
        l.cols.push_back(std::move(c));
    }
    FinishLayout(l);
    return l;
}

TLayout CatalogLayout() {
    TLayout l;
    l.cols = {
        MakeColumn("Id", kLong, 4),
        MakeColumn("ParentId", kLong, 4),
        MakeColumn("Name", kText, 510),
        MakeColumn("Type", kInteger, 2),
        MakeColumn("DateCreate", kDateTime, 8),
        MakeColumn("DateUpdate", kDateTime, 8),
        MakeColumn("Owner", kBinary, 510),
        MakeColumn("Flags", kLong, 4),
        MakeColumn("Database", kMemo, 0),
        MakeColumn("Connect", kMemo, 0),
        MakeColumn("ForeignName", kText, 510),
        MakeColumn("RmtInfoShort", kBinary, 510),
        MakeColumn("RmtInfoLong", kOle, 0),
        MakeColumn("Lv", kOle, 0),
        MakeColumn("LvProp", kOle, 0),
        MakeColumn("LvModule", kOle, 0),
        MakeColumn("LvExtra", kOle, 0),
    };
    FinishLayout(l);
    return l;
}

// One cell ready for storage: `present` false is NULL (for Yes/No it is the value).
struct TCell {
    bool present = false;
    TBytes data;
};

TCell UserCell(const TColDef& c, const TValue& v, const TWhere& where) {
    TCell cell;
    if (std::holds_alternative<TNull>(v)) {
        if (c.code == kBool)
            Fail(where() + ": a Yes/No column cannot hold NULL");
        return cell;
    }
    const auto wrongKind = [&](const char* expected) {
        Fail(where() + ": expected " + std::string(expected));
    };
    cell.present = true;
    switch (c.userType) {
    case TColumnType::Text:
    case TColumnType::Memo: {
        const auto* s = std::get_if<std::string>(&v);
        if (s == nullptr)
            wrongKind("text");
        const std::u16string u = Utf8ToUtf16(*s, where);
        if (c.userType == TColumnType::Text && u.size() > static_cast<std::size_t>(c.textLength))
            Fail(where() + ": text of " + std::to_string(u.size()) +
                 " UTF-16 units is longer than the column's " + std::to_string(c.textLength));
        if (u.size() * 2 >= (std::size_t{1} << 30))
            Fail(where() + ": memo is too long");
        // Readers take any value that starts with the bytes FF FE as compressed,
        // so a text starting with U+FEFF must be stored in that form.
        const bool startsLikeCompressed = !u.empty() && u.front() == 0xFEFF;
        if (startsLikeCompressed ||
            (c.compressed && (c.userType == TColumnType::Text || u.size() <= 1024)))
            cell.data = CompressedOrPlain(u, startsLikeCompressed, where);
        else
            cell.data = Ucs2Bytes(u);
        break;
    }
    case TColumnType::Long:
    case TColumnType::Integer: {
        const auto* n = std::get_if<std::int64_t>(&v);
        if (n == nullptr)
            wrongKind("a whole number");
        if (c.userType == TColumnType::Long) {
            if (*n < std::numeric_limits<std::int32_t>::min() ||
                *n > std::numeric_limits<std::int32_t>::max())
                Fail(where() + ": " + std::to_string(*n) + " does not fit a Long");
            cell.data.resize(4);
            Put32(cell.data.data(), static_cast<std::uint32_t>(static_cast<std::int32_t>(*n)));
        } else {
            if (*n < std::numeric_limits<std::int16_t>::min() ||
                *n > std::numeric_limits<std::int16_t>::max())
                Fail(where() + ": " + std::to_string(*n) + " does not fit an Integer");
            cell.data.resize(2);
            Put16(cell.data.data(), static_cast<std::uint16_t>(static_cast<std::int16_t>(*n)));
        }
        break;
    }
    case TColumnType::YesNo: {
        const auto* b = std::get_if<bool>(&v);
        if (b == nullptr)
            wrongKind("true or false");
        cell.present = *b;
        break;
    }
    case TColumnType::Double: {
        double d = 0;
        if (const auto* x = std::get_if<double>(&v))
            d = *x;
        else if (const auto* n = std::get_if<std::int64_t>(&v))
            d = static_cast<double>(*n);
        else
            wrongKind("a number");
        if (!std::isfinite(d))
            Fail(where() + ": a Double must be a finite number");
        cell.data = DoubleBytes(d);
        break;
    }
    case TColumnType::DateTime: {
        double d = 0;
        if (const auto* s = std::get_if<std::string>(&v))
            d = ParseDateTime(*s, where);
        else if (const auto* x = std::get_if<double>(&v))
            d = *x;
        else
            wrongKind("a date as \"YYYY-MM-DD HH:MM:SS\"");
        if (!std::isfinite(d))
            Fail(where() + ": a date must be a finite number");
        cell.data = DoubleBytes(d);
        break;
    }
    }
    return cell;
}

// ---------------------------------------------------------------------------
// Pages

struct TPage {
    bool isData = false;
    TBytes raw; // pages other than data pages: the whole page
    std::uint32_t owner = 0;
    std::vector<TBytes> rows;
    std::size_t rowBytes = 0;

    std::size_t FreeSpace() const { return kPageSize - kDataHeader - 2 * rows.size() - rowBytes; }
    bool Fits(std::size_t rowSize) const {
        return rows.size() < kMaxRowsPerPage && FreeSpace() >= rowSize + 2;
    }
};

struct TMapSlot {
    std::uint32_t page = 0;
    std::size_t row = 0;
    std::uint32_t PgRowValue() const { return PgRow(page, row); }
};

struct TTablePlan {
    std::string name;
    std::u16string name16;
    bool isSystem = false;
    TLayout layout;
    std::vector<std::vector<TCell>> rows;
    std::uint32_t tdefPage = 0;
    std::size_t tdefPageCount = 1;
    TMapSlot ownedMap, freeMap;
    std::vector<std::pair<TMapSlot, TMapSlot>> lvalMaps; // per long column
    std::vector<std::uint32_t> dataPages;
    std::vector<std::vector<std::uint32_t>> lvalPages; // per long column
};

class TFileBuilder {
public:
    std::vector<TPage> pages;

    std::uint32_t NewRawPage() {
        pages.emplace_back();
        pages.back().raw.assign(kPageSize, 0);
        return PageNo(pages.size() - 1);
    }

    std::uint32_t NewDataPage(std::uint32_t owner) {
        pages.emplace_back();
        pages.back().isData = true;
        pages.back().owner = owner;
        return PageNo(pages.size() - 1);
    }

    std::uint32_t AddRow(std::uint32_t page, TBytes row) {
        TPage& p = pages[page];
        p.rowBytes += row.size();
        p.rows.push_back(std::move(row));
        return PgRow(page, p.rows.size() - 1);
    }

    static std::uint32_t PageNo(std::size_t index) {
        if (index >= (std::size_t{1} << 24))
            Fail("the database would be larger than the format allows");
        return static_cast<std::uint32_t>(index);
    }
};

// Builds a usage-map row listing `list`. Small spans use an inline bitmap;
// wide ones refer to bitmap pages appended to the file.
TBytes MapRow(TFileBuilder& fb, std::vector<std::uint32_t> list) {
    TBytes row(kMapRowSize, 0);
    std::sort(list.begin(), list.end());
    const std::size_t inlineBits = (kMapRowSize - 5) * 8;
    std::uint32_t start = 0;
    if (!list.empty() && list.back() >= inlineBits)
        start = list.front();
    if (list.empty() || list.back() - start < inlineBits) {
        row[0] = 0;
        Put32(row.data() + 1, start);
        for (std::uint32_t p : list) {
            const std::size_t bit = p - start;
            row[5 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        }
        return row;
    }
    row[0] = 1;
    std::array<std::uint32_t, kBitmapPageSlots> slotPage{};
    for (std::uint32_t p : list) {
        const std::size_t slot = p / kBitmapPageBits;
        if (slot >= kBitmapPageSlots)
            Fail("a table spans more pages than a usage map can list");
        if (slotPage[slot] == 0) {
            slotPage[slot] = fb.NewRawPage();
            TBytes& raw = fb.pages[slotPage[slot]].raw;
            raw[0] = 0x05;
            raw[1] = 0x01;
            Put32(row.data() + 1 + 4 * slot, slotPage[slot]);
        }
        const std::size_t bit = p % kBitmapPageBits;
        fb.pages[slotPage[slot]].raw[4 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    return row;
}

// The table definition as one stream of bytes (continuation-page headers not included).
TBytes TableDefinition(const TTablePlan& t) {
    const TLayout& l = t.layout;
    TBytes d(63, 0);
    d[0] = 0x02;
    d[1] = 0x01;
    Put32(&d[12], kMagic659);
    Put32(&d[16], static_cast<std::uint32_t>(t.rows.size()));
    d[24] = 0x01;
    d[40] = t.isSystem ? 0x53 : 0x4E;
    Put16(&d[41], static_cast<std::uint16_t>(l.cols.size()));
    Put16(&d[43], static_cast<std::uint16_t>(l.VarCount()));
    Put16(&d[45], static_cast<std::uint16_t>(l.cols.size()));
    Put32(&d[55], t.ownedMap.PgRowValue());
    Put32(&d[59], t.freeMap.PgRowValue());
    for (std::size_t i = 0; i < l.cols.size(); ++i) {
        const TColDef& c = l.cols[i];
        std::uint8_t desc[25] = {};
        desc[0] = c.code;
        Put32(desc + 1, kMagic659);
        Put16(desc + 5, static_cast<std::uint16_t>(i));
        Put16(desc + 7, c.varIndex);
        Put16(desc + 9, static_cast<std::uint16_t>(i));
        if (c.code == kText || c.code == kMemo)
            Put16(desc + 11, 0x0409);
        desc[15] =
            static_cast<std::uint8_t>((c.isFixed ? 0x01 : 0) | 0x02 | (t.isSystem ? 0x10 : 0));
        desc[16] = c.compressed ? 0x01 : 0x00;
        Put16(desc + 21, c.isFixed && c.code != kBool ? c.fixedOffset : 0);
        Put16(desc + 23, c.length);
        d.insert(d.end(), desc, desc + 25);
    }
    for (const TColDef& c : l.cols) {
        Append16(d, static_cast<std::uint16_t>(c.name16.size() * 2));
        const TBytes n = Ucs2Bytes(c.name16);
        d.insert(d.end(), n.begin(), n.end());
    }
    for (std::size_t k = 0; k < l.longCols.size(); ++k) {
        Append16(d, static_cast<std::uint16_t>(l.longCols[k]));
        Append32(d, t.lvalMaps[k].first.PgRowValue());
        Append32(d, t.lvalMaps[k].second.PgRowValue());
    }
    d.push_back(0xFF);
    d.push_back(0xFF);
    Put32(&d[8], static_cast<std::uint32_t>(d.size()));
    return d;
}

std::size_t DefinitionPageCount(std::size_t length) {
    if (length <= kPageSize)
        return 1;
    return 1 + (length - kPageSize + (kPageSize - 8) - 1) / (kPageSize - 8);
}

void PlaceDefinition(TFileBuilder& fb, std::uint32_t firstPage, std::size_t pageCount,
                     const TBytes& def) {
    std::size_t pos = 0;
    for (std::size_t k = 0; k < pageCount; ++k) {
        TBytes& raw = fb.pages[firstPage + k].raw;
        std::size_t used;
        if (k == 0) {
            used = std::min(def.size(), kPageSize);
            std::copy(def.begin(), def.begin() + static_cast<std::ptrdiff_t>(used), raw.begin());
            pos = used;
        } else {
            raw[0] = 0x02;
            raw[1] = 0x01;
            const std::size_t n = std::min(def.size() - pos, kPageSize - 8);
            std::copy(def.begin() + static_cast<std::ptrdiff_t>(pos),
                      def.begin() + static_cast<std::ptrdiff_t>(pos + n), raw.begin() + 8);
            pos += n;
            used = 8 + n;
        }
        const std::size_t freeSpace = kPageSize - used >= 8 ? kPageSize - used - 8 : 0;
        Put16(&raw[2], static_cast<std::uint16_t>(freeSpace));
        Put32(&raw[4], k + 1 < pageCount ? firstPage + static_cast<std::uint32_t>(k) + 1 : 0);
    }
}

// Stores a long value on the column's LVAL pages and returns its 12-byte header.
TBytes StoreLongValue(TFileBuilder& fb, TTablePlan& t, std::size_t longIndex, const TBytes& data) {
    auto& lvPages = t.lvalPages[longIndex];
    const auto place = [&](TBytes row) {
        if (lvPages.empty() || !fb.pages[lvPages.back()].Fits(row.size()))
            lvPages.push_back(fb.NewDataPage(kLvalOwner));
        return fb.AddRow(lvPages.back(), std::move(row));
    };
    TBytes header(12, 0);
    const auto len = static_cast<std::uint32_t>(data.size());
    if (data.size() <= kSingleLvalMax) {
        Put32(&header[0], len | 0x40000000u);
        Put32(&header[4], place(data));
        return header;
    }
    Put32(&header[0], len);
    std::uint32_t previous = 0; // pg_row of the part written last, 0 before the first
    for (std::size_t pos = 0; pos < data.size(); pos += kChainPartMax) {
        const std::size_t n = std::min(kChainPartMax, data.size() - pos);
        TBytes part(4, 0);
        part.insert(part.end(), data.begin() + static_cast<std::ptrdiff_t>(pos),
                    data.begin() + static_cast<std::ptrdiff_t>(pos + n));
        const std::uint32_t where = place(std::move(part));
        if (previous == 0)
            Put32(&header[4], where);
        else
            Put32(fb.pages[previous >> 8].rows[previous & 0xFF].data(), where);
        previous = where;
    }
    return header;
}

std::size_t EmptyRowSize(const TLayout& l) {
    const std::size_t v = l.VarCount();
    return 2 + l.fixedSize + (v > 0 ? 4 + 2 * v : 0) + (l.cols.size() + 7) / 8;
}

TBytes EncodeRow(TFileBuilder& fb, TTablePlan& t, std::vector<TCell>& cells, const TWhere& where) {
    const TLayout& l = t.layout;
    const std::size_t n = l.cols.size();
    const std::size_t v = l.VarCount();
    std::size_t size = EmptyRowSize(l);
    for (std::size_t i : l.varOrder)
        if (cells[i].present)
            size += l.cols[i].isLong ? 12 : cells[i].data.size();
    if (size > kMaxRowSize)
        Fail(where() + ": the row takes " + std::to_string(size) + " bytes, more than the " +
             std::to_string(kMaxRowSize) + " a row may hold");
    std::vector<TBytes> varData(v);
    for (std::size_t k = 0; k < l.longCols.size(); ++k) {
        const std::size_t i = l.longCols[k];
        TCell& cell = cells[i];
        if (!cell.present)
            continue;
        TBytes& out = varData[l.cols[i].varIndex];
        if (cell.data.size() <= kInlineMemoMax && size + cell.data.size() <= kMaxRowSize) {
            out.assign(12, 0);
            Put32(out.data(), static_cast<std::uint32_t>(cell.data.size()) | 0x80000000u);
            out.insert(out.end(), cell.data.begin(), cell.data.end());
            size += cell.data.size();
        } else {
            out = StoreLongValue(fb, t, k, cell.data);
        }
    }
    TBytes row;
    row.reserve(size);
    Append16(row, static_cast<std::uint16_t>(n));
    row.resize(2 + l.fixedSize, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const TColDef& c = l.cols[i];
        if (c.isFixed && c.code != kBool && cells[i].present)
            std::copy(cells[i].data.begin(), cells[i].data.end(), row.begin() + 2 + c.fixedOffset);
    }
    std::vector<std::uint16_t> offsets(v);
    for (std::size_t k = 0; k < v; ++k) {
        const std::size_t i = l.varOrder[k];
        offsets[k] = static_cast<std::uint16_t>(row.size());
        const TBytes& data = l.cols[i].isLong ? varData[k] : cells[i].data;
        if (cells[i].present)
            row.insert(row.end(), data.begin(), data.end());
    }
    if (v > 0) {
        Append16(row, static_cast<std::uint16_t>(row.size()));
        for (std::size_t k = v; k-- > 0;)
            Append16(row, offsets[k]);
        Append16(row, static_cast<std::uint16_t>(v));
    }
    const std::size_t maskAt = row.size();
    row.resize(maskAt + (n + 7) / 8, 0);
    for (std::size_t i = 0; i < n; ++i)
        if (cells[i].present)
            row[maskAt + i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
    return row;
}

void WriteRows(TFileBuilder& fb, TTablePlan& t) {
    t.lvalPages.assign(t.layout.longCols.size(), {});
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        TBytes row = EncodeRow(fb, t, t.rows[r], [&] {
            return "table \"" + t.name + "\", row " + std::to_string(r + 1);
        });
        if (t.dataPages.empty() || !fb.pages[t.dataPages.back()].Fits(row.size()))
            t.dataPages.push_back(fb.NewDataPage(t.tdefPage));
        fb.AddRow(t.dataPages.back(), std::move(row));
        t.rows[r].clear(); // the cells are no longer needed
    }
}

void Rc4Xor(std::uint8_t* data, std::size_t len, const std::uint8_t* key, std::size_t keyLen) {
    std::uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[static_cast<std::size_t>(i) % keyLen]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0, b = 0;
    for (std::size_t k = 0; k < len; ++k) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        data[k] ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

TBytes HeaderPage(double created) {
    TBytes raw(kPageSize, 0);
    raw[1] = 0x01;
    std::memcpy(&raw[4], "Standard Jet DB", 16);
    Put32(&raw[0x14], 1);
    Put16(&raw[0x3C], 1252);
    Put32(&raw[0x3E], 0);
    const auto mask = static_cast<std::uint32_t>(static_cast<std::int32_t>(created));
    for (int i = 0; i < 10; ++i)
        Put32(&raw[0x42 + 4 * i], mask);
    Put16(&raw[0x6E], 0x0409);
    const TBytes date = DoubleBytes(created);
    std::copy(date.begin(), date.end(), raw.begin() + 0x72);
    static constexpr std::uint8_t kKey[] = {0xC7, 0xDA, 0x39, 0x6B};
    Rc4Xor(&raw[0x18], 128, kKey, sizeof kKey);
    return raw;
}

TBytes SerializeDataPage(const TPage& p) {
    TBytes raw(kPageSize, 0);
    raw[0] = 0x01;
    raw[1] = 0x01;
    Put16(&raw[2], static_cast<std::uint16_t>(p.FreeSpace()));
    Put32(&raw[4], p.owner);
    Put16(&raw[12], static_cast<std::uint16_t>(p.rows.size()));
    std::size_t end = kPageSize;
    for (std::size_t i = 0; i < p.rows.size(); ++i) {
        const TBytes& row = p.rows[i];
        end -= row.size();
        std::copy(row.begin(), row.end(), raw.begin() + static_cast<std::ptrdiff_t>(end));
        Put16(&raw[kDataHeader + 2 * i], static_cast<std::uint16_t>(end));
    }
    return raw;
}

std::vector<TCell> CatalogRow(std::int32_t id, std::int32_t parentId, const std::u16string& name,
                              std::int16_t type, std::int32_t flags, double created) {
    std::vector<TCell> cells(17);
    const auto fixed32 = [](std::int32_t v) {
        TCell c;
        c.present = true;
        c.data.resize(4);
        Put32(c.data.data(), static_cast<std::uint32_t>(v));
        return c;
    };
    cells[0] = fixed32(id);
    cells[1] = fixed32(parentId);
    cells[2].present = true;
    cells[2].data = Ucs2Bytes(name);
    cells[3].present = true;
    cells[3].data.resize(2);
    Put16(cells[3].data.data(), static_cast<std::uint16_t>(type));
    cells[4].present = true;
    cells[4].data = DoubleBytes(created);
    cells[5] = cells[4];
    cells[7] = fixed32(flags);
    return cells;
}

} // namespace

void WriteMdb(const std::string& path, const std::vector<TTable>& tables) {
    // Check every definition and convert every value before touching the disk.
    std::vector<TTablePlan> plans;
    plans.reserve(tables.size() + 1);
    plans.emplace_back();
    plans[0].name = "MSysObjects";
    plans[0].name16 = u"MSysObjects";
    plans[0].isSystem = true;
    plans[0].layout = CatalogLayout();
    for (const TTable& table : tables) {
        TTablePlan t;
        t.name = table.name;
        t.name16 = CheckName(table.name, "table");
        for (const TTablePlan& other : plans)
            if (AsciiEqualNoCase(other.name, table.name))
                Fail("table name \"" + table.name + "\" is used twice");
        t.layout = UserLayout(table);
        t.rows.reserve(table.rows.size());
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const auto& values = table.rows[r];
            const auto rowWhat = [&] {
                return "table \"" + table.name + "\", row " + std::to_string(r + 1);
            };
            if (values.size() != t.layout.cols.size())
                Fail(rowWhat() + " has " + std::to_string(values.size()) + " values for " +
                     std::to_string(t.layout.cols.size()) + " columns");
            std::vector<TCell> cells;
            cells.reserve(values.size());
            for (std::size_t c = 0; c < values.size(); ++c)
                cells.push_back(UserCell(t.layout.cols[c], values[c], [&] {
                    return rowWhat() + ", column \"" + t.layout.cols[c].name + "\"";
                }));
            t.rows.push_back(std::move(cells));
        }
        if (t.rows.size() > std::numeric_limits<std::uint32_t>::max())
            Fail("table \"" + table.name + "\" has too many rows");
        plans.push_back(std::move(t));
    }

    TFileBuilder fb;
    fb.NewRawPage();   // 0: header
    fb.NewDataPage(1); // 1: global usage map
    fb.NewRawPage();   // 2: catalog definition

    // Usage-map rows: two per table and two per long-value column.
    std::size_t slotCount = 0;
    const auto nextSlot = [&]() {
        TMapSlot s;
        s.page = kFirstMapPage + static_cast<std::uint32_t>(slotCount / kMapRowsPerPage);
        s.row = slotCount % kMapRowsPerPage;
        ++slotCount;
        return s;
    };
    for (TTablePlan& t : plans) {
        t.ownedMap = nextSlot();
        t.freeMap = nextSlot();
        for (std::size_t k = 0; k < t.layout.longCols.size(); ++k) {
            TMapSlot owned = nextSlot();
            t.lvalMaps.emplace_back(owned, nextSlot());
        }
    }
    for (std::size_t s = 0; s < slotCount; s += kMapRowsPerPage) {
        const std::uint32_t page = fb.NewDataPage(0);
        for (std::size_t r = 0; r < std::min(kMapRowsPerPage, slotCount - s); ++r)
            fb.AddRow(page, TBytes(kMapRowSize, 0));
    }

    // Definitions: the catalog's on page 2, the user tables' right after the maps.
    std::vector<TBytes> definitions;
    for (TTablePlan& t : plans) {
        definitions.push_back(TableDefinition(t));
        t.tdefPageCount = DefinitionPageCount(definitions.back().size());
        if (t.isSystem) {
            t.tdefPage = kCatalogPage;
            if (t.tdefPageCount != 1)
                Fail("internal error: catalog definition does not fit one page");
        } else {
            t.tdefPage = fb.NewRawPage();
            for (std::size_t k = 1; k < t.tdefPageCount; ++k)
                fb.NewRawPage();
        }
        PlaceDefinition(fb, t.tdefPage, t.tdefPageCount, definitions.back());
    }

    // Catalog rows, then every table's rows.
    const double created = NowAsOleDate();
    TTablePlan& catalog = plans[0];
    constexpr std::int32_t kSystemFlags = std::numeric_limits<std::int32_t>::min(); // 0x80000000
    catalog.rows.push_back(CatalogRow(0x0F000001, 0x0F000000, u"Tables", 3, kSystemFlags, created));
    catalog.rows.push_back(
        CatalogRow(0x0F000002, 0x0F000000, u"Databases", 3, kSystemFlags, created));
    catalog.rows.push_back(
        CatalogRow(0x0F000003, 0x0F000000, u"Relationships", 3, kSystemFlags, created));
    catalog.rows.push_back(
        CatalogRow(kCatalogPage, 0x0F000001, u"MSysObjects", 1, kSystemFlags, created));
    for (std::size_t i = 1; i < plans.size(); ++i)
        catalog.rows.push_back(CatalogRow(static_cast<std::int32_t>(plans[i].tdefPage), 0x0F000001,
                                          plans[i].name16, 1, 0, created));
    // The catalog's row count changed: rewrite its definition.
    PlaceDefinition(fb, kCatalogPage, 1, TableDefinition(catalog));
    for (TTablePlan& t : plans)
        WriteRows(fb, t);

    // Fill the usage maps now that every page has its number.
    const auto setMap = [&](const TMapSlot& slot, const std::vector<std::uint32_t>& list) {
        TBytes row = MapRow(fb, list);
        TPage& p = fb.pages[slot.page];
        p.rows[slot.row] = std::move(row);
    };
    for (TTablePlan& t : plans) {
        const std::size_t emptyRow = EmptyRowSize(t.layout);
        std::vector<std::uint32_t> roomy;
        for (std::uint32_t p : t.dataPages)
            if (fb.pages[p].Fits(emptyRow))
                roomy.push_back(p);
        setMap(t.ownedMap, t.dataPages);
        setMap(t.freeMap, roomy);
        for (std::size_t k = 0; k < t.lvalMaps.size(); ++k) {
            std::vector<std::uint32_t> lvRoomy;
            for (std::uint32_t p : t.lvalPages[k])
                if (fb.pages[p].Fits(1))
                    lvRoomy.push_back(p);
            setMap(t.lvalMaps[k].first, t.lvalPages[k]);
            setMap(t.lvalMaps[k].second, lvRoomy);
        }
    }

    // Page 1: the database-wide free-page map (nothing free) and Access's second row.
    const std::size_t bitmapBytes = std::max<std::size_t>(64, (fb.pages.size() + 7) / 8);
    if (5 + bitmapBytes > kMaxRowSize)
        Fail("the database would have too many pages");
    fb.AddRow(1, TBytes(5 + bitmapBytes, 0));
    fb.AddRow(1, TBytes(kMapRowSize, 0));

    fb.pages[0].raw = HeaderPage(created);

    // Write next to the target, then move it into place.
    const std::filesystem::path target(path);
    std::filesystem::path temp = target;
    temp += ".partial";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            Fail("cannot create \"" + path + "\"");
        for (const TPage& p : fb.pages) {
            const TBytes raw = p.isData ? SerializeDataPage(p) : p.raw;
            out.write(reinterpret_cast<const char*>(raw.data()),
                      static_cast<std::streamsize>(raw.size()));
        }
        out.close();
        if (!out) {
            std::error_code ec;
            std::filesystem::remove(temp, ec);
            Fail("cannot write \"" + path + "\"");
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, target, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        Fail("cannot replace \"" + path + "\": " + ec.message());
    }
}

} // namespace mdbw
