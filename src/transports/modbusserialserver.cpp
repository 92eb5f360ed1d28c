#include "modbusserialserver.h"

ModbusSerialServer::ModbusSerialServer(QObject *parent)
    : ModbusSerialTransport(TavrexBus::ServerBus, parent)
{
}

ModbusSerialServer::ModbusSerialServer(const QString &port, QObject *parent)
    : ModbusSerialTransport(TavrexBus::ServerBus, parent)
{
    setPort(port);
}
