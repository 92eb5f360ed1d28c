#ifndef TAVREXBUS1_MODBUSSERIALSERVER_H
#define TAVREXBUS1_MODBUSSERIALSERVER_H

#include "modbusserialtransport.h"

/// Collects requests arriving on a serial line and writes back the answers its receivers give.
///
/// Available in QML as `ModbusSerialServer` from `import TavrexBus 1.0`.
class TAVREXBUS1_EXPORT ModbusSerialServer : public ModbusSerialTransport
{
    Q_OBJECT

public:
    /// A closed server link on the host's first serial port.
    explicit ModbusSerialServer(QObject *parent = nullptr);
    /// A closed server link on port.
    ModbusSerialServer(const QString &port, QObject *parent = nullptr);
};

#endif
