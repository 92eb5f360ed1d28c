#ifndef FOREIGNTFTP_H
#define FOREIGNTFTP_H

#include "modbustftpclient.h"
#include "modbustftpserver.h"

#include <QtQml/qqml.h>

struct ModbusTFtpClientForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusTFtpClient)
    QML_NAMED_ELEMENT(ModbusTFtpClient)
};

struct ModbusTFtpServerForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusTFtpServer)
    QML_NAMED_ELEMENT(ModbusTFtpServer)
};

#endif
