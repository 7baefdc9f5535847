#pragma once
// Names of run-time controls: unique among the objects of one owner, looked
// up without regard to case.

#include <QObject>
#include <QString>

// Gives `object` the name `name`; throws std::runtime_error when another
// object owned by `owner` (one of its direct children) already bears that name,
// compared without regard to case.
void SetComponentName(QObject* object, QObject* owner, const QString& name);

// The direct child of `owner` named `name` (without regard to case), or null.
QObject* FindComponent(const QObject* owner, const QString& name);

// As FindComponent, cast to T; throws std::runtime_error naming the control
// when it is missing or of another kind.
template <typename T> T* FindComponentAs(const QObject* owner, const QString& name);

#include <stdexcept>
template <typename T> T* FindComponentAs(const QObject* owner, const QString& name) {
    T* found = qobject_cast<T*>(FindComponent(owner, name));
    if (!found)
        throw std::runtime_error("Component '" + name.toStdString() + "' not found");
    return found;
}
