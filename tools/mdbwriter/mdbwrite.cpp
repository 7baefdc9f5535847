// mdbwrite: writes an Access (Jet 4) file from a JSON description, the demo
// database, or a database of N loopback scales.
//
//   mdbwrite OUT.mdb TABLES.json
//   mdbwrite --demo OUT.mdb
//   mdbwrite --scales N OUT.mdb
//
// TABLES.json: {"tables":[{"name":"Scale","columns":[{"name":"SC_No","type":"Long"},
//        {"name":"SC_IP","type":"Text","length":50}],"rows":[[1,"127.0.0.1"]]}]}
// Column types: Text (length 1..255, default 255), Long, Integer, YesNo,
// Double, DateTime ("YYYY-MM-DD HH:MM:SS" values) and Memo. Text and Memo
// columns take "compressed": true to store their values compressed, as Access does.
#include "MdbWriter.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

[[noreturn]] void Fail(const QString& message) {
    throw std::runtime_error(message.toStdString());
}

mdbw::TColumnType ParseType(const QString& type, const QString& where) {
    const QString t = type.toLower();
    if (t == "text")
        return mdbw::TColumnType::Text;
    if (t == "long")
        return mdbw::TColumnType::Long;
    if (t == "integer")
        return mdbw::TColumnType::Integer;
    if (t == "yesno" || t == "yes/no" || t == "boolean")
        return mdbw::TColumnType::YesNo;
    if (t == "double")
        return mdbw::TColumnType::Double;
    if (t == "datetime" || t == "date/time")
        return mdbw::TColumnType::DateTime;
    if (t == "memo")
        return mdbw::TColumnType::Memo;
    Fail(where + ": unknown column type \"" + type + "\"");
}

mdbw::TValue ParseValue(const QJsonValue& v, mdbw::TColumnType type, const QString& where) {
    switch (v.type()) {
    case QJsonValue::Null:
        return mdbw::TNull{};
    case QJsonValue::Bool:
        return v.toBool();
    case QJsonValue::String:
        return v.toString().toStdString();
    case QJsonValue::Double: {
        const double d = v.toDouble();
        if (type == mdbw::TColumnType::Double || type == mdbw::TColumnType::DateTime)
            return d;
        // JSON has only one kind of number: whole ones become whole numbers, so
        // that Long and Integer columns take them and reject fractions.
        if (std::trunc(d) == d && std::fabs(d) < 9.0e15)
            return static_cast<std::int64_t>(d);
        return d;
    }
    default:
        Fail(where + ": a value must be null, true, false, a number or a string");
    }
}

std::vector<mdbw::TTable> ParseTables(const QByteArray& json) {
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError)
        Fail("JSON error at offset " + QString::number(err.offset) + ": " + err.errorString());
    if (!doc.isObject() || !doc.object().value("tables").isArray())
        Fail("the description must be an object with a \"tables\" array");
    std::vector<mdbw::TTable> tables;
    for (const QJsonValue& tv : doc.object().value("tables").toArray()) {
        const QJsonObject to = tv.toObject();
        mdbw::TTable table;
        table.name = to.value("name").toString().toStdString();
        const QString tableWhere = "table \"" + to.value("name").toString() + "\"";
        if (!to.value("columns").isArray())
            Fail(tableWhere + ": \"columns\" must be an array");
        for (const QJsonValue& cv : to.value("columns").toArray()) {
            const QJsonObject co = cv.toObject();
            mdbw::TColumn col;
            col.name = co.value("name").toString().toStdString();
            const QString where = tableWhere + ", column \"" + co.value("name").toString() + "\"";
            col.type = ParseType(co.value("type").toString(), where);
            if (co.contains("length")) {
                const double len = co.value("length").toDouble(-1);
                if (std::trunc(len) != len || len < 1 || len > 255)
                    Fail(where + ": \"length\" must be a whole number from 1 to 255");
                col.textLength = static_cast<int>(len);
            }
            col.compressed = co.value("compressed").toBool(false);
            table.columns.push_back(col);
        }
        const QJsonValue rows = to.value("rows");
        if (!rows.isUndefined() && !rows.isArray())
            Fail(tableWhere + ": \"rows\" must be an array");
        int rowNo = 0;
        for (const QJsonValue& rv : rows.toArray()) {
            ++rowNo;
            const QString where = tableWhere + ", row " + QString::number(rowNo);
            if (!rv.isArray())
                Fail(where + ": a row must be an array of values");
            const QJsonArray cells = rv.toArray();
            std::vector<mdbw::TValue> row;
            for (qsizetype c = 0; c < cells.size(); ++c) {
                const auto type = c < static_cast<qsizetype>(table.columns.size())
                                      ? table.columns[static_cast<std::size_t>(c)].type
                                      : mdbw::TColumnType::Text;
                row.push_back(ParseValue(cells[c], type, where));
            }
            table.rows.push_back(std::move(row));
        }
        tables.push_back(std::move(table));
    }
    return tables;
}

int Usage() {
    std::fputs("usage: mdbwrite OUT.mdb TABLES.json\n"
               "       mdbwrite --demo OUT.mdb\n"
               "       mdbwrite --scales N OUT.mdb\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "--demo") {
            mdbw::WriteMdb(args[1], mdbw::DemoTables());
        } else if (args.size() == 3 && args[0] == "--scales") {
            std::size_t used = 0;
            int n = -1;
            try {
                n = std::stoi(args[1], &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used == 0 || used != args[1].size())
                Fail("the scale count \"" + QString::fromStdString(args[1]) + "\" is not a number");
            mdbw::WriteMdb(args[2], mdbw::ScaleTables(n));
        } else if (args.size() == 2 && !args[0].starts_with("--")) {
            QFile tables(QString::fromStdString(args[1]));
            if (!tables.open(QIODevice::ReadOnly))
                Fail("cannot read \"" + tables.fileName() + "\": " + tables.errorString());
            mdbw::WriteMdb(args[0], ParseTables(tables.readAll()));
        } else {
            return Usage();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mdbwrite: %s\n", e.what());
        return 1;
    }
    return 0;
}
