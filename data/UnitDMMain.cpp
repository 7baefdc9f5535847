#include "UnitDMMain.h"

#include "DbEngine.h"
#include "PlatformPaths.h"

#include <QDateTime>

TDMMain* DMMain = nullptr;

const QString DatabasePath = QStringLiteral("C:\\Vadmo\\PesagramVadmo\\data\\pxr2010_New.mdb");

namespace {

TDbValue ToDbValue(const QVariant& v) {
    if (!v.isValid())
        return std::monostate{};
    if (v.isNull())
        return TDbNull{};
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toStdString();
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return static_cast<std::int64_t>(v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return v.toDouble();
    default:
        return v.toString().toStdString();
    }
}

QVariant ToVariant(const TDbValue& v) {
    struct Visitor {
        QVariant operator()(std::monostate) const { return {}; }
        QVariant operator()(TDbNull) const { return QVariant::fromValue(nullptr); }
        QVariant operator()(bool b) const { return QVariant(b); }
        QVariant operator()(std::int64_t i) const { return QVariant(static_cast<qlonglong>(i)); }
        QVariant operator()(double d) const { return QVariant(d); }
        QVariant operator()(const std::string& s) const {
            return QVariant(QString::fromStdString(s));
        }
    };
    return std::visit(Visitor{}, v);
}

std::vector<TDbValue> ToDbValues(const QVariantList& params) {
    std::vector<TDbValue> out;
    out.reserve(static_cast<size_t>(params.size()));
    for (const QVariant& p : params)
        out.push_back(ToDbValue(p));
    return out;
}

} // namespace

// ---------------------------------------------------------------- TFDConnection

TFDConnection::TFDConnection(QObject* owner) : QObject(owner) {
    Params << QStringLiteral("Database=") + DatabasePath << QStringLiteral("ReadOnly=False")
           << QStringLiteral("DriverID=MSAcc");
}

TFDConnection::~TFDConnection() = default;

QString TFDConnection::Param(const QString& name) const {
    const QString prefix = name + QLatin1Char('=');
    for (const QString& p : Params) {
        if (p.startsWith(prefix, Qt::CaseInsensitive))
            return p.mid(prefix.size());
    }
    return {};
}

void TFDConnection::SetParam(const QString& name, const QString& value) {
    const QString prefix = name + QLatin1Char('=');
    for (QString& p : Params) {
        if (p.startsWith(prefix, Qt::CaseInsensitive)) {
            p = prefix + value;
            return;
        }
    }
    Params << prefix + value;
}

void TFDConnection::Open() {
    if (Connected())
        return;
    try {
        if (!FEngine)
            FEngine = CreateAccessEngine(Param(QStringLiteral("DriverID")).toStdString());
        const std::string path =
            platform::NativePathOf(Param(QStringLiteral("Database")).toStdString());
        const bool readOnly = Param(QStringLiteral("ReadOnly"))
                                  .compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0;
        FEngine->Open(path, readOnly);
    } catch (const TDbEngineError& e) {
        throw EDatabaseError(e.what());
    }
}

void TFDConnection::Close() {
    if (!FEngine)
        return;
    try {
        FEngine->Close();
    } catch (const TDbEngineError& e) {
        throw EDatabaseError(e.what());
    }
}

bool TFDConnection::Connected() const {
    return FEngine && FEngine->Connected();
}

QString TFDConnection::EngineDescription() const {
    return FEngine ? QString::fromStdString(FEngine->Description()) : QString();
}

TFDConnection::TResult TFDConnection::ExecSQL(const QString& sql, const QVariantList& params) {
    Open();
    TDbResult r;
    try {
        r = FEngine->Execute(sql.toStdString(), ToDbValues(params));
    } catch (const TDbEngineError& e) {
        throw EDatabaseError(e.what());
    }
    TResult result;
    for (const std::string& c : r.columns)
        result.columns << QString::fromStdString(c);
    result.rows.reserve(r.rows.size());
    for (const auto& row : r.rows) {
        QVariantList values;
        values.reserve(static_cast<qsizetype>(row.size()));
        for (const TDbValue& v : row)
            values << ToVariant(v);
        result.rows.push_back(std::move(values));
    }
    return result;
}

QVariant TFDConnection::ExecSQLScalar(const QString& sql, const QVariantList& params) {
    TResult r = ExecSQL(sql, params);
    if (r.rows.empty() || r.rows.front().isEmpty())
        return {};
    return r.rows.front().front();
}

// -------------------------------------------------------------------- TFDQuery

TFDQuery::TFDQuery(QObject* owner) : QObject(owner) {}

void TFDQuery::Open() {
    // A query left open by a failed roster build is read afresh: the next
    // build must see the database as it is now.
    Close();
    if (!Connection)
        throw EDatabaseError(objectName().toStdString() + ": no connection");
    FResult = Connection->ExecSQL(SQL);
    FRow = 0;
    FActive = true;
}

void TFDQuery::Close() {
    FActive = false;
    FResult = {};
    FRow = 0;
}

void TFDQuery::First() {
    FRow = 0;
}

void TFDQuery::Next() {
    if (FActive && FRow < static_cast<qsizetype>(FResult.rows.size()))
        ++FRow;
}

bool TFDQuery::Eof() const {
    return !FActive || FRow >= static_cast<qsizetype>(FResult.rows.size());
}

int TFDQuery::RecNo() const {
    return Eof() ? 0 : static_cast<int>(FRow) + 1;
}

QString TFDQuery::FieldAsString(const QString& fieldName) const {
    qsizetype col = -1;
    for (qsizetype i = 0; i < FResult.columns.size() && col < 0; ++i) {
        if (FResult.columns[i].compare(fieldName, Qt::CaseInsensitive) == 0)
            col = i;
    }
    if (col < 0)
        throw EDatabaseError(objectName().toStdString() + ": Field '" + fieldName.toStdString() +
                             "' not found");
    if (Eof())
        throw EDatabaseError(objectName().toStdString() + ": no current row");
    const QVariant& v = FResult.rows[static_cast<size_t>(FRow)][col];
    if (!v.isValid() || v.isNull())
        return {};
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}

// --------------------------------------------------------------------- TDMMain

TDMMain::TDMMain(QObject* owner)
    : QObject(owner), FDCMain(new TFDConnection(this)), qryScales(new TFDQuery(this)) {
    setObjectName(QStringLiteral("DMMain"));
    FDCMain->setObjectName(QStringLiteral("FDCMain"));
    qryScales->setObjectName(QStringLiteral("qryScales"));
    qryScales->Connection = FDCMain;
    qryScales->SQL = QStringLiteral("SELECT Scale.*, Sect.SECT_Name AS Sect_Name FROM Scale \n"
                                    "INNER JOIN Sect ON Sect.SECT_No = Scale.SECT_No \n"
                                    "ORDER BY SC_No");
}
