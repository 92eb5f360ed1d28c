#ifndef FOREIGNENGINE_H
#define FOREIGNENGINE_H

#include "modbuser.h"
#include "modbustranslator.h"

#include <QtQml/qqml.h>

// The engine is driven from C++; QML sees it only through a client's properties.

struct ModbusTranslatorForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusTranslator)
    QML_NAMED_ELEMENT(ModbusTranslator)
    QML_UNCREATABLE("ModbusTranslator belongs to a Modbuser or a client; it cannot be created in QML")
};

struct ModbuserForeign
{
    Q_GADGET
    QML_FOREIGN(Modbuser)
    QML_NAMED_ELEMENT(Modbuser)
    QML_UNCREATABLE("Modbuser blocks on its requests and answers through C++ handler signals; "
                    "create it in C++, or use ModbusClient in QML")
};

#endif
