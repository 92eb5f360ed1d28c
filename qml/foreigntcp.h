#ifndef FOREIGNTCP_H
#define FOREIGNTCP_H

#include "modbustcpclient.h"
#include "modbustcpserver.h"

#include <QtQml/qqml.h>

struct ModbusTcpClientForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusTcpClient)
    QML_NAMED_ELEMENT(ModbusTcpClient)
};

struct ModbusTcpServerForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusTcpServer)
    QML_NAMED_ELEMENT(ModbusTcpServer)
};

#endif
