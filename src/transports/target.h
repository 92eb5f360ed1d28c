#ifndef TAVREXBUS1_TARGET_H
#define TAVREXBUS1_TARGET_H

#include "qtavrexobject.h"
#include "tavrexbus1global.h"

#include <QtCore/QObject>

/// The far end of a frame. Targets are compared by identity unless a subclass says otherwise.
///
/// Registered in QML as the uncreatable type `Target` (`import TavrexBus 1.0`), so that QML sees its
/// properties and enumerations.
class TAVREXBUS1_EXPORT Target : public QObject, public QTavrexObject
{
    Q_OBJECT

public:
    /// A peer.
    explicit Target(QObject *parent = nullptr);

    /// True for the same peer; targets are compared by identity unless a subclass says otherwise.
    bool operator==(const Target &other) const;
    /// The opposite of operator==().
    bool operator!=(const Target &other) const;
};

#endif
