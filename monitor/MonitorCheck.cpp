#include "MonitorCheck.h"

#include "UnitDMMain.h"
#include "UnitMonitorThread.h"

#include <QLocale>
#include <stdexcept>

bool ResultAsTruthValue(const QVariant& Value) {
    if (!Value.isValid())
        return false; // no row
    if (Value.isNull())
        throw std::runtime_error("Could not convert variant of type (Null) into type (Boolean)");
    switch (Value.typeId()) {
    case QMetaType::Bool:
        return Value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return Value.toLongLong() != 0;
    case QMetaType::Double:
    case QMetaType::Float:
        return Value.toDouble() != 0.0;
    case QMetaType::QString: {
        const QString text = Value.toString().trimmed();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
        bool ok = false;
        double number = QLocale::system().toDouble(text, &ok);
        if (!ok)
            number = QLocale::c().toDouble(text, &ok);
        if (ok)
            return number != 0.0;
        break;
    }
    default:
        break;
    }
    throw std::runtime_error("Could not convert variant of type (" +
                             std::string(Value.typeName() ? Value.typeName() : "?") +
                             ") into type (Boolean)");
}

TScaleUpdateStatus ActivityCheckResult(const TScalarQueryFunc& Scalar,
                                       const QString& StoredAddress) {
    const QVariantList params{QVariant(StoredAddress)};
    if (!ResultAsTruthValue(
            Scalar(QStringLiteral("SELECT SC_Used FROM SCALE WHERE SC_IP = :ip"), params)))
        return susInactive;
    return ResultAsTruthValue(
               Scalar(QStringLiteral("SELECT SC_PLUUpdated FROM SCALE WHERE SC_IP = :ip"), params))
               ? susUpdated
               : susOutdated;
}

void TMonitorThread::CheckStatus() {
    const auto scalar = [this](const QString& sql, const QVariantList& params) {
        if (FScalarQuery)
            return FScalarQuery(sql, params);
        if (!FFDConnection)
            throw std::runtime_error("No database connection");
        return FFDConnection->ExecSQLScalar(sql, params);
    };
    UpdateStatus.update_status = ActivityCheckResult(scalar, FIPAddressMSACCESS);
    FLastUpdateCheck = Now();
    FChecked = true;
}
