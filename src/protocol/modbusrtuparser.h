#ifndef MODBUSRTUPARSER_H
#define MODBUSRTUPARSER_H

#include "modbusparser.h"

/// Modbus RTU frames: device address, PDU and CRC-16.
class TAVREXBUS1_EXPORT ModbusRTUParser : public ModbusParser
{
    Q_OBJECT
public:
    /// An RTU frame parser.
    explicit ModbusRTUParser(QObject *parent = nullptr);
    ~ModbusRTUParser() override;

    /// Whole frame of that direction by its length rules; the CRC is checked by parse().
    bool canParse(const ModbusBytes &frame, TavrexBus::PacketState state) const override;
    IPacket *parse(const ModbusBytes &frame, const IParseInfo &info,
                   const Target *target) override;
    /// Sound: 4 to 256 bytes whose last two hold the CRC of the others.
    bool unwrapFrame(const ModbusBytes &frame, quint8 *unit, ModbusBytes *pdu) const override;
    int maxFrameSize() const override;
    QString toString(bool oneLine) const override;
};

#endif // MODBUSRTUPARSER_H
