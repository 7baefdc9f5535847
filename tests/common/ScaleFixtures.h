#pragma once
// The tables `Scale` and `Sect` of the scale database, as the tests write them
// with the project's Access writer: defined here once, with the column layout
// each test needs.

#include "MdbWriter.h"

#include <cstdint>
#include <string>
#include <utility>
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
    TValue no, ip, sect;
    TValue used = true;
    TValue updated = true;
};

// The columns of `Scale`: SC_No, SC_IP (unless left out), SECT_No, SC_Used,
// SC_PLUUpdated, and SC_Remark (a Memo, NULL in every row) when asked for.
struct TScaleLayout {
    TColumnType No = TColumnType::Long;
    int NoLength = 10; // when SC_No is Text
    bool WithAddress = true;
    int AddressLength = 50;
    TColumnType Used = TColumnType::YesNo;
    TColumnType Updated = TColumnType::YesNo;
    bool WithRemark = false;
};

mdbw::TTable ScaleTable(const std::vector<TScaleRow>& Scales, const TScaleLayout& Layout = {});
mdbw::TTable SectTable(const std::vector<std::pair<int, std::string>>& Sects, int NameLength = 40);

// `Scale` and `Sect` as the management software keeps them. `noAsText`
// stores SC_No as Text instead of Long; `usedType` is SC_Used's column type.
std::vector<mdbw::TTable> ScaleTables(const std::vector<TScaleRow>& scales,
                                      const std::vector<std::pair<int, std::string>>& sects,
                                      bool noAsText = false,
                                      TColumnType usedType = TColumnType::YesNo);

// The roster used by most tests: scale 4 is in a sector that does not exist,
// scale 33 has no address, scales 2 and 5 share one address.
std::vector<TScaleRow> StandardScales(bool noAsText = false);
std::vector<std::pair<int, std::string>> StandardSects();

} // namespace fixtures
