#ifndef FOREIGNCLIENT_H
#define FOREIGNCLIENT_H

#include "modbusclient.h"

#include <QtQml/qqml.h>

struct ModbusClientForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusClient)
    QML_NAMED_ELEMENT(ModbusClient)
};

#endif
