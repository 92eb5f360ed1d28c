#ifndef FOREIGNCORE_H
#define FOREIGNCORE_H

#include "tavrexbus.h"

#include <QtQml/qqml.h>

// A singleton reaches both the enumerations and the invokable helpers
// (TavrexBus.HoldingRegister, TavrexBus.version()); each engine constructs its own.

struct TavrexBusForeign
{
    Q_GADGET
    QML_FOREIGN(TavrexBus)
    QML_NAMED_ELEMENT(TavrexBus)
    QML_SINGLETON
};

#endif
