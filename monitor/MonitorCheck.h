#pragma once
// The activity check's reading of the scale database's answers.

#include "MonitorModel.h"

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>

// Truth value of a scalar query result: no row is false; a yes/no value as
// stored; a number is true when not zero; a text "True"/"False" in any letter
// case or a number. Throws std::runtime_error for NULL and for any other value.
bool ResultAsTruthValue(const QVariant& Value);

// Runs a scalar query (SQL text and parameters) on the scale database.
using TScalarQueryFunc = std::function<QVariant(const QString& SQL, const QVariantList& Params)>;

// The data state the activity check gives a scale, the address bound as
// stored. SC_Used false or no row gives susInactive (the second query is not
// run); otherwise SC_PLUUpdated true gives susUpdated and false susOutdated.
// Failures of the queries and of ResultAsTruthValue go to the caller.
TScaleUpdateStatus ActivityCheckResult(const TScalarQueryFunc& Scalar,
                                       const QString& StoredAddress);
