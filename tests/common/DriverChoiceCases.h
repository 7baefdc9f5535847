#pragma once
// The choice of the Access ODBC driver among the installed ones, as a table
// of cases that the ODBC suites of every system run (with the driver
// manager's own list checked beside it in each).

#include "OdbcEngine.h"

#include <QString>
#include <QStringList>
#include <QTest>
#include <string>
#include <vector>

namespace testsupport {

// Columns: installed (QStringList, in the driver manager's order), chosen
// (QString, empty for none).
inline void AddDriverChoiceRows() {
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("chosen");
    const QString n1 = "Microsoft Access Driver (*.mdb, *.accdb)";
    const QString n2 = "Microsoft Access Driver (*.mdb)";
    const QString n3 = "Driver do Microsoft Access (*.mdb)";
    const QString n4 = "Microsoft Access-Treiber (*.mdb)";
    QTest::newRow("none of the four") << QStringList{"SQLite3", "MDBTools", "SQL Server"} << "";
    QTest::newRow("nothing at all") << QStringList{} << "";
    QTest::newRow("only the fourth") << QStringList{"SQLite", n4} << n4;
    QTest::newRow("first name wins wherever it is listed") << QStringList{n4, n3, n2, n1} << n1;
    QTest::newRow("second before third and fourth") << QStringList{n4, n3, "SQL Server", n2} << n2;
    QTest::newRow("letters without regard to case, spelled as installed")
        << QStringList{"MICROSOFT ACCESS-TREIBER (*.MDB)", "driver do microsoft access (*.mdb)"}
        << "driver do microsoft access (*.mdb)";
    QTest::newRow("near misses are not the driver")
        << QStringList{"Microsoft Access Driver (*.mdb) ", "Microsoft Access Driver",
                       "Microsoft Access Driver (*.accdb)", "Microsoft Excel Driver (*.xls)"}
        << "";
}

// The body of a test function fed by AddDriverChoiceRows.
inline void CheckDriverChoice() {
    QFETCH(QStringList, installed);
    QFETCH(QString, chosen);
    std::vector<std::string> names;
    for (const QString& s : installed)
        names.push_back(s.toStdString());
    QCOMPARE(QString::fromStdString(ChooseAccessDriver(names)), chosen);
}

} // namespace testsupport
