#include "modbusserialclient.h"

ModbusSerialClient::ModbusSerialClient(QObject *parent)
    : ModbusSerialTransport(TavrexBus::ClientBus, parent)
{
}
