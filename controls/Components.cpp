#include "Components.h"

void SetComponentName(QObject* object, QObject* owner, const QString& name) {
    if (owner) {
        QObject* taken = FindComponent(owner, name);
        if (taken && taken != object)
            throw std::runtime_error("A component named " + name.toStdString() + " already exists");
    }
    object->setObjectName(name);
}

QObject* FindComponent(const QObject* owner, const QString& name) {
    if (!owner || name.isEmpty())
        return nullptr;
    for (QObject* child : owner->children()) {
        if (child->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return child;
    }
    return nullptr;
}
