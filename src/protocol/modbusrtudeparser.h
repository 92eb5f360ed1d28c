#ifndef MODBUSRTUDEPARSER_H
#define MODBUSRTUDEPARSER_H

#include "modbusdeparser.h"

/// Writes Modbus RTU frames: device address, PDU and CRC-16 (low-order byte first).
class TAVREXBUS1_EXPORT ModbusRTUDeparser : public ModbusDeparser
{
    Q_OBJECT
public:
    /// An RTU frame builder.
    explicit ModbusRTUDeparser(QObject *parent = nullptr);
    ~ModbusRTUDeparser() override;

    QString toString(bool oneLine) const override;
    bool canDeparse(const IPacket &packet) const override;
    /// The target is not used: an RTU frame names its peer by the packet's address.
    bool deparse(const IPacket &packet, ModbusBytes &out, const Target *target) override;
};

#endif // MODBUSRTUDEPARSER_H
