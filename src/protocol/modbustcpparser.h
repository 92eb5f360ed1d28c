#ifndef MODBUSTCPPARSER_H
#define MODBUSTCPPARSER_H

#include "modbusparser.h"

/// Modbus/TCP frames: MBAP header followed by the PDU.
class TAVREXBUS1_EXPORT ModbusTCPParser : public ModbusParser
{
    Q_OBJECT
public:
    /// A Modbus/TCP frame parser.
    explicit ModbusTCPParser(QObject *parent = nullptr);
    ~ModbusTCPParser() override;

    /// Whole frame of that direction; transaction identifier and length are checked by parse().
    bool canParse(const ModbusBytes &frame, TavrexBus::PacketState state) const override;
    IPacket *parse(const ModbusBytes &frame, const IParseInfo &info,
                   const Target *target) override;
    /// Sound: 8 to 260 bytes, protocol identifier 0, and a length that counts the bytes after it.
    bool unwrapFrame(const ModbusBytes &frame, quint8 *unit, ModbusBytes *pdu) const override;
    int maxFrameSize() const override;
    QString toString(bool oneLine) const override;

    /// Sizes the frame whose MBAP header begins bytes, for cutting frames out of a TCP stream:
    /// the size of the whole frame the header announces, 0 while its length field is not in, or
    /// -1 when the bytes cannot begin a Modbus/TCP frame; error then receives the reason, worded
    /// as parse() words it.
    static int frameSize(const ModbusBytes &bytes, QString *error = nullptr);

private:
    static QString errorText(const QString &message, const ModbusBytes &bytes);
};

#endif // MODBUSTCPPARSER_H
