#ifndef MODBUSTCPPARSER_H
#define MODBUSTCPPARSER_H

#include "modbusparser.h"

// Modbus/TCP frames: MBAP header followed by the PDU.
class TAVREXBUS1_EXPORT ModbusTCPParser : public ModbusParser
{
    Q_OBJECT
public:
    explicit ModbusTCPParser(QObject *parent = nullptr);
    ~ModbusTCPParser() override;

    // Whole frame of that direction; transaction identifier and length are checked by parse().
    bool canParse(const ModbusBytes &frame, TavrexBus::PacketState state) const override;
    IPacket *parse(const ModbusBytes &frame, const IParseInfo &info,
                   const Target *target) override;
    QString toString(bool oneLine) const override;
};

#endif // MODBUSTCPPARSER_H
