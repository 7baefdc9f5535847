// Ready-made scale databases: the panel's demo and the N-scale roster used by
// benchmarks and soak runs. Text is stored compressed, as Access stores it.
#include "MdbWriter.h"

#include <stdexcept>

namespace mdbw {
namespace {

const char* const kSectorNames[] = {"Açougue", "Padaria", "Frios", "Hortifruti", "Peixaria"};

TTable SectTable() {
    TTable sect{
        "Sect", {{"SECT_No", TColumnType::Long}, {"SECT_Name", TColumnType::Text, 50, true}}, {}};
    for (int i = 0; i < 5; ++i)
        sect.rows.push_back({std::int64_t{i + 1}, std::string(kSectorNames[i])});
    return sect;
}

TTable EmptyScaleTable() {
    return {"Scale",
            {{"SC_No", TColumnType::Long},
             {"SC_Name", TColumnType::Text, 50, true},
             {"SC_IP", TColumnType::Text, 50, true},
             {"SECT_No", TColumnType::Long},
             {"SC_Model", TColumnType::Text, 30, true},
             {"SC_Used", TColumnType::YesNo},
             {"SC_PLUUpdated", TColumnType::YesNo}},
            {}};
}

std::string TwoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

} // namespace

std::vector<TTable> DemoTables() {
    static const char* const kModels[] = {"BL-15", "BL-30 Plus", "BL-6 Etiq"};
    TTable scale = EmptyScaleTable();
    // 7 is coprime with 25, so k*7 mod 25 visits 1..24 once each, out of order.
    for (int k = 1; k <= 24; ++k) {
        const int no = k * 7 % 25;
        const bool unreachable = no == 7 || no == 19;
        const bool used = no != 5 && no != 12 && no != 21;
        const bool outdated = no == 3 || no == 9 || no == 14 || no == 17 || no == 22;
        const int sector = no == 24 ? 9 : (no - 1) % 5 + 1; // sector 9 does not exist
        scale.rows.push_back(
            {std::int64_t{no}, "Balança " + TwoDigits(no),
             unreachable ? std::string("255.255.255.255") : "127.0.0." + std::to_string(10 + no),
             std::int64_t{sector}, std::string(kModels[no % 3]), used, !outdated});
    }
    return {scale, SectTable()};
}

std::vector<TTable> ScaleTables(int scaleCount) {
    if (scaleCount < 0 || scaleCount > 64000)
        throw std::runtime_error("scale count " + std::to_string(scaleCount) +
                                 " is not between 0 and 64000");
    TTable scale = EmptyScaleTable();
    scale.rows.reserve(static_cast<std::size_t>(scaleCount));
    for (int i = 0; i < scaleCount; ++i) {
        const std::string ip =
            "127.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
        scale.rows.push_back({std::int64_t{i + 1}, "Balança " + std::to_string(i + 1), ip,
                              std::int64_t{i % 5 + 1}, std::string("BL-15"), true, true});
    }
    return {scale, SectTable()};
}

} // namespace mdbw
