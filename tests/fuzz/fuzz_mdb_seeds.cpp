// Writes the seed files of fuzz_mdb into the directory named on the command
// line: the demo database, a small roster, and one with NULLs, long and
// non-ASCII texts and compressed columns.

#include "MdbWriter.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    try {
        mdbw::WriteMdb(dir + "/demo.mdb", mdbw::DemoTables());
        mdbw::WriteMdb(dir + "/three.mdb", mdbw::ScaleTables(3));

        using mdbw::TColumnType;
        mdbw::TTable scale{"Scale",
                           {{"SC_No", TColumnType::Text, 10, true},
                            {"SC_IP", TColumnType::Text, 255, true},
                            {"SECT_No", TColumnType::Long},
                            {"SC_Used", TColumnType::YesNo},
                            {"SC_PLUUpdated", TColumnType::YesNo},
                            {"SC_Note", TColumnType::Memo}},
                           {}};
        scale.rows.push_back({std::string("1"), std::string("127.0.0.1; touch x"), std::int64_t(1),
                              true, false, std::string(300, 'm')});
        scale.rows.push_back(
            {mdbw::TNull{}, mdbw::TNull{}, mdbw::TNull{}, false, true, mdbw::TNull{}});
        mdbw::TTable sect{
            "Sect", {{"SECT_No", TColumnType::Long}, {"SECT_Name", TColumnType::Text, 255}}, {}};
        sect.rows.push_back({std::int64_t(1), std::string("A\xc3\xa7ougue \xf0\x9f\x8d\x96")});
        sect.rows.push_back({std::int64_t(2), std::string(255, 'S')});
        mdbw::WriteMdb(dir + "/odd.mdb", {scale, sect});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
