#include "ScaleFixtures.h"

namespace fixtures {

mdbw::TTable ScaleTable(const std::vector<TScaleRow>& Scales, const TScaleLayout& Layout) {
    mdbw::TTable scale{"Scale", {{"SC_No", Layout.No, Layout.NoLength}}, {}};
    if (Layout.WithAddress)
        scale.columns.push_back({"SC_IP", TColumnType::Text, Layout.AddressLength});
    scale.columns.push_back({"SECT_No", TColumnType::Long});
    scale.columns.push_back({"SC_Used", Layout.Used});
    scale.columns.push_back({"SC_PLUUpdated", Layout.Updated});
    if (Layout.WithRemark)
        scale.columns.push_back({"SC_Remark", TColumnType::Memo});
    for (const TScaleRow& r : Scales) {
        std::vector<TValue> row{r.no};
        if (Layout.WithAddress)
            row.push_back(r.ip);
        row.push_back(r.sect);
        row.push_back(r.used);
        row.push_back(r.updated);
        if (Layout.WithRemark)
            row.push_back(Null);
        scale.rows.push_back(row);
    }
    return scale;
}

mdbw::TTable SectTable(const std::vector<std::pair<int, std::string>>& Sects, int NameLength) {
    mdbw::TTable sect{
        "Sect", {{"SECT_No", TColumnType::Long}, {"SECT_Name", TColumnType::Text, NameLength}}, {}};
    for (const auto& [no, name] : Sects)
        sect.rows.push_back({std::int64_t(no), name});
    return sect;
}

std::vector<mdbw::TTable> ScaleTables(const std::vector<TScaleRow>& scales,
                                      const std::vector<std::pair<int, std::string>>& sects,
                                      bool noAsText, TColumnType usedType) {
    TScaleLayout layout;
    layout.No = noAsText ? TColumnType::Text : TColumnType::Long;
    layout.Used = usedType;
    layout.WithRemark = true;
    return {ScaleTable(scales, layout), SectTable(sects)};
}

std::vector<TScaleRow> StandardScales(bool noAsText) {
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

std::vector<std::pair<int, std::string>> StandardSects() {
    return {{1, "A\xc3\xa7ougue"}, {2, "Padaria"}};
}

} // namespace fixtures
