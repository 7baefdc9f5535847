#pragma once
// What an engine returned, as text, for comparing results in the tests of
// every system: NULL and truth values marked.

#include "DbEngine.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string>
#include <variant>

namespace testsupport {

// One value as text.
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

// Every row as its values joined by '|'.
inline QStringList Rows(const TDbResult& r) {
    QStringList out;
    for (const auto& row : r.rows) {
        QStringList cells;
        for (const auto& v : row)
            cells << QString::fromStdString(Text(v));
        out << cells.join('|');
    }
    return out;
}

} // namespace testsupport
