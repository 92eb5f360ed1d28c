#ifndef TAVREXBUS1_MODBUSSERIALCLIENT_H
#define TAVREXBUS1_MODBUSSERIALCLIENT_H

#include "modbusserialtransport.h"

/// Sends requests over a serial line and collects the device's answers.
///
/// Available in QML as `ModbusSerialClient` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusSerialClient : public ModbusSerialTransport
{
    Q_OBJECT

public:
    /// A closed client link on the host's first serial port.
    explicit ModbusSerialClient(QObject *parent = nullptr);
};

#endif
