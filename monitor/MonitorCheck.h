#pragma once
// The activity check's reading of the scale database's answers.

#include <QVariant>

// Truth value of a scalar query result: no row is false; a yes/no value as
// stored; a number is true when not zero; a text "True"/"False" in any letter
// case or a number. Throws std::runtime_error for NULL and for any other value.
bool ResultAsTruthValue(const QVariant& Value);
