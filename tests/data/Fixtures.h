#pragma once
// What the data tests add to the shared scale tables (ScaleFixtures.h): the
// roster statement and engine values as text.

#include "DbEngine.h"
#include "ScaleFixtures.h"
#include "UnitDMMain.h"

#include <QByteArray>
#include <string>
#include <variant>

namespace fixtures {

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
