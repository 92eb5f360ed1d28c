#include "registration.h"

#include "modbustcpclient.h"
#include "modbustcpserver.h"

#include <QtQml/qqml.h>

void registerTcpTypes(const char *uri)
{
    qmlRegisterType<ModbusTcpClient>(uri, 1, 0, "ModbusTcpClient");
    qmlRegisterType<ModbusTcpServer>(uri, 1, 0, "ModbusTcpServer");
}
