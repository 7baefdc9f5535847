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
    // Folding case keeps a name's length: names of another length are passed
    // over without the slower comparison (a roster of hundreds of tiles asks
    // this once per tile).
    for (QObject* child : owner->children()) {
        const QString childName = child->objectName();
        if (childName.size() == name.size() && childName.compare(name, Qt::CaseInsensitive) == 0)
            return child;
    }
    return nullptr;
}
