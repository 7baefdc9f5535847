#pragma once
// Scale databases for the data tests, written with the project's Access writer.

#include "DbEngine.h"
#include "MdbWriter.h"
#include "UnitDMMain.h"

#include <QByteArray>
#include <string>
#include <variant>
#include <vector>

namespace fixtures {

using mdbw::TColumnType;
using mdbw::TNull;
using mdbw::TValue;

inline TValue N(std::int64_t v) {
    return v;
}
inline TValue T(const char* s) {
    return std::string(s);
}
inline TValue B(bool b) {
    return b;
}
inline const TValue Null = TNull{};

// One scale row: number, address, sector, in use, PLU data up to date.
struct TScaleRow {
    TValue no, ip, sect, used, updated;
};

// `Scale` and `Sect` as the management software keeps them. `noAsText`
// stores SC_No as Text instead of Long; `usedType` is SC_Used's column type.
inline std::vector<mdbw::TTable> ScaleTables(const std::vector<TScaleRow>& scales,
                                             const std::vector<std::pair<int, std::string>>& sects,
                                             bool noAsText = false,
                                             TColumnType usedType = TColumnType::YesNo) {
    mdbw::TTable scale{"Scale",
                       {{"SC_No", noAsText ? TColumnType::Text : TColumnType::Long, 10},
                        {"SC_IP", TColumnType::Text, 50},
                        {"SECT_No", TColumnType::Long},
                        {"SC_Used", usedType},
                        {"SC_PLUUpdated", TColumnType::YesNo},
                        {"SC_Remark", TColumnType::Memo}},
                       {}};
    for (const TScaleRow& r : scales)
        scale.rows.push_back({r.no, r.ip, r.sect, r.used, r.updated, TValue(TNull{})});
    mdbw::TTable sect{
        "Sect", {{"SECT_No", TColumnType::Long}, {"SECT_Name", TColumnType::Text, 40}}, {}};
    for (const auto& [no, name] : sects)
        sect.rows.push_back({std::int64_t(no), name});
    return {scale, sect};
}

// The roster used by most tests: scale 4 is in a sector that does not exist,
// scale 33 has no address, scales 2 and 5 share one address.
inline std::vector<TScaleRow> StandardScales(bool noAsText = false) {
    auto no = [&](int n) {
        return noAsText ? TValue(std::to_string(n)) : TValue(std::int64_t(n));
    };
    return {
        {no(10), T("192.168.0.10"), N(1), B(true), B(true)},
        {no(2), T("192.168.0.2"), N(2), B(true), B(false)},
        {no(33), Null, N(1), B(false), B(false)},
        {no(4), T("192.168.0.4"), N(9), B(true), B(true)},
        {no(5), T("192.168.0.2"), N(1), B(false), B(true)},
    };
}

inline std::vector<std::pair<int, std::string>> StandardSects() {
    return {{1, "A\xc3\xa7ougue"}, {2, "Padaria"}};
}

// The roster statement exactly as the data module runs it.
inline std::string RosterSql() {
    return TDMMain().qryScales->SQL.toStdString();
}

// One value an engine returned, as text; NULL and truth values marked.
inline std::string Text(const TDbValue& v) {
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&v))
        return QByteArray::number(*d).toStdString();
    if (std::holds_alternative<TDbNull>(v))
        return "<NULL>";
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "<true>" : "<false>";
    return "<?>";
}

} // namespace fixtures
