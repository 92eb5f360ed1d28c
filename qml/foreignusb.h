#ifndef FOREIGNUSB_H
#define FOREIGNUSB_H

#include "modbusc55client.h"
#include "modbuslibusbclient.h"

#include <QtQml/qqml.h>

struct ModbusLibusbClientForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusLibusbClient)
    QML_NAMED_ELEMENT(ModbusLibusbClient)
};

struct ModbusC55ClientForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusC55Client)
    QML_NAMED_ELEMENT(ModbusC55Client)
};

#endif
