#include "registration.h"

#include "modbusclient.h"

#include <QtQml/qqml.h>

void registerClientTypes(const char *uri)
{
    qmlRegisterType<ModbusClient>(uri, 1, 0, "ModbusClient");
}
