#ifndef MODBUSTCPDEPARSER_H
#define MODBUSTCPDEPARSER_H

#include "modbusdeparser.h"

/// Writes Modbus/TCP frames; the transaction identifier comes from the ModbusTcpTarget.
class TAVREXBUS1_EXPORT ModbusTCPDeparser : public ModbusDeparser
{
    Q_OBJECT
public:
    /// A Modbus/TCP frame builder.
    explicit ModbusTCPDeparser(QObject *parent = nullptr);
    ~ModbusTCPDeparser() override;

    QString toString(bool oneLine) const override;
    bool canDeparse(const IPacket &packet) const override;
    bool deparse(const IPacket &packet, ModbusBytes &out, const Target *target) override;
};

#endif // MODBUSTCPDEPARSER_H
