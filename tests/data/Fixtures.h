#pragma once
// What the data tests add to the shared scale tables (ScaleFixtures.h): the
// roster statement, and engine values as text (DbValueText.h).

#include "DbEngine.h"
#include "DbValueText.h"
#include "ScaleFixtures.h"
#include "UnitDMMain.h"

#include <string>

namespace fixtures {

// The roster statement exactly as the data module runs it.
inline std::string RosterSql() {
    return TDMMain().qryScales->SQL.toStdString();
}

// Engine values and results as text.
using testsupport::Rows;
using testsupport::Text;

} // namespace fixtures
