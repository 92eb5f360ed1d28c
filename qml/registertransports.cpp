#include "registration.h"

#include "eventedtransport.h"
#include "modbusiptarget.h"
#include "modbusloopbackclient.h"
#include "modbusloopbackserver.h"
#include "modbusserialclient.h"
#include "modbusserialserver.h"
#include "modbustcptarget.h"
#include "modbustransporter.h"

#include <QtQml/qqml.h>

void registerTransportsTypes(const char *uri)
{
    const auto base = [](const char *name) {
        return QStringLiteral("%1 is an abstract base; declare a concrete transport").arg(QLatin1String(name));
    };
    qmlRegisterUncreatableType<Transport>(uri, 1, 0, "Transport", base("Transport"));
    qmlRegisterUncreatableType<EventedTransport>(uri, 1, 0, "EventedTransport", base("EventedTransport"));
    qmlRegisterUncreatableType<ModbusTransport>(uri, 1, 0, "ModbusTransport", base("ModbusTransport"));
    qmlRegisterUncreatableType<ModbusSerialTransport>(uri, 1, 0, "ModbusSerialTransport",
        QStringLiteral("ModbusSerialTransport needs a bus role; declare ModbusSerialClient or ModbusSerialServer"));
    qmlRegisterType<ModbusSerialClient>(uri, 1, 0, "ModbusSerialClient");
    qmlRegisterType<ModbusSerialServer>(uri, 1, 0, "ModbusSerialServer");
    qmlRegisterType<ModbusLoopbackClient>(uri, 1, 0, "ModbusLoopbackClient");
    qmlRegisterType<ModbusLoopbackServer>(uri, 1, 0, "ModbusLoopbackServer");

    qmlRegisterUncreatableType<Target>(uri, 1, 0, "Target", QStringLiteral("Target is an abstract base; declare a concrete target"));
    qmlRegisterType<ModbusTarget>(uri, 1, 0, "ModbusTarget");
    qmlRegisterType<ModbusIpTarget>(uri, 1, 0, "ModbusIpTarget");
    qmlRegisterType<ModbusTcpTarget>(uri, 1, 0, "ModbusTcpTarget");

    const QString owned = QStringLiteral("%1 belongs to a translator; it cannot be created from QML");
    qmlRegisterUncreatableType<Transporter>(uri, 1, 0, "Transporter", owned.arg(QLatin1String("Transporter")));
    qmlRegisterUncreatableType<ModbusTransporter>(uri, 1, 0, "ModbusTransporter",
        owned.arg(QLatin1String("ModbusTransporter")));
}
