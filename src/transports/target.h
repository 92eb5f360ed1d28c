#ifndef TARGET_H
#define TARGET_H

#include "qtavrexobject.h"
#include "tavrexbus1global.h"

#include <QtCore/QObject>

// The far end of a frame. Targets are passed as const pointers and compared by identity.
class TAVREXBUS1_EXPORT Target : public QObject, public QTavrexObject
{
    Q_OBJECT
public:
    explicit Target(QObject *parent = nullptr);
    // A copy is a new, parentless object with the same peer data.
    Target(const Target &other);
    ~Target() override;

    bool operator==(const Target &other) const { return this == &other; }
    bool operator!=(const Target &other) const { return !(*this == other); }
};

#endif // TARGET_H
