#ifndef FOREIGNTRANSPORTS_H
#define FOREIGNTRANSPORTS_H

#include "eventedtransport.h"
#include "modbusiptarget.h"
#include "modbusiptransport.h"
#include "modbusloopbackclient.h"
#include "modbusloopbackserver.h"
#include "modbusserialclient.h"
#include "modbusserialserver.h"
#include "modbustcptarget.h"
#include "modbustransporter.h"

#include <QtQml/qqml.h>

// Abstract bases are uncreatable but registered, so that QML sees their properties and enumerations.

struct TransportForeign
{
    Q_GADGET
    QML_FOREIGN(Transport)
    QML_NAMED_ELEMENT(Transport)
    QML_UNCREATABLE("Transport is an abstract base; declare a concrete transport")
};

struct EventedTransportForeign
{
    Q_GADGET
    QML_FOREIGN(EventedTransport)
    QML_NAMED_ELEMENT(EventedTransport)
    QML_UNCREATABLE("EventedTransport is an abstract base; declare a concrete transport")
};

struct ModbusTransportForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusTransport)
    QML_NAMED_ELEMENT(ModbusTransport)
    QML_UNCREATABLE("ModbusTransport is an abstract base; declare a concrete transport")
};

struct ModbusIpTransportForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusIpTransport)
    QML_NAMED_ELEMENT(ModbusIpTransport)
    QML_UNCREATABLE("ModbusIpTransport is an abstract base; declare a TCP or TFTP transport")
};

struct ModbusSerialTransportForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusSerialTransport)
    QML_NAMED_ELEMENT(ModbusSerialTransport)
    QML_UNCREATABLE("ModbusSerialTransport needs a bus role; declare ModbusSerialClient or ModbusSerialServer")
};

struct ModbusSerialClientForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusSerialClient)
    QML_NAMED_ELEMENT(ModbusSerialClient)
};

struct ModbusSerialServerForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusSerialServer)
    QML_NAMED_ELEMENT(ModbusSerialServer)
};

struct ModbusLoopbackClientForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusLoopbackClient)
    QML_NAMED_ELEMENT(ModbusLoopbackClient)
};

struct ModbusLoopbackServerForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusLoopbackServer)
    QML_NAMED_ELEMENT(ModbusLoopbackServer)
};

struct TargetForeign
{
    Q_GADGET
    QML_FOREIGN(Target)
    QML_NAMED_ELEMENT(Target)
    QML_UNCREATABLE("Target is an abstract base; declare a concrete target")
};

struct ModbusTargetForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusTarget)
    QML_NAMED_ELEMENT(ModbusTarget)
};

struct ModbusIpTargetForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusIpTarget)
    QML_NAMED_ELEMENT(ModbusIpTarget)
};

struct ModbusTcpTargetForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusTcpTarget)
    QML_NAMED_ELEMENT(ModbusTcpTarget)
};

struct TransporterForeign
{
    Q_GADGET
    QML_FOREIGN(Transporter)
    QML_NAMED_ELEMENT(Transporter)
    QML_UNCREATABLE("Transporter belongs to a translator; it cannot be created from QML")
};

struct ModbusTransporterForeign
{
    Q_GADGET
    QML_FOREIGN(ModbusTransporter)
    QML_NAMED_ELEMENT(ModbusTransporter)
    QML_UNCREATABLE("ModbusTransporter belongs to a translator; it cannot be created from QML")
};

#endif
