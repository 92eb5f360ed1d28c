#ifndef MODBUSPARSER_H
#define MODBUSPARSER_H

#include "vparser.h"

class ModbusPacket;
class ModbusParseInfo;

/// Decodes Modbus PDUs (function code and data) of the functions the library speaks.
/// checkDataSize, createPacket and parseModbusPDU throw the reason of a refusal as a
/// QString; the frame parsers catch it and report it.
class TAVREXBUS1_EXPORT ModbusParser : public VParser
{
    Q_OBJECT
public:
    /// A parser with no error reported.
    explicit ModbusParser(QObject *parent = nullptr);
    ~ModbusParser() override;

    bool canParse(const ModbusBytes &pdu, TavrexBus::PacketState state) const override;
    QString toString(bool oneLine) const override;

    // Framing questions, answered by each frame parser so that transports and the translator
    // never repeat its rules.

    /// Opens a whole frame without judging its PDU: true when its envelope is sound (the CRC of
    /// an RTU frame, the MBAP header of a Modbus/TCP frame), and then unit and pdu, where given,
    /// receive the unit address and a copy of the PDU. A server answers a request that parse()
    /// refuses this way with a standard exception.
    virtual bool unwrapFrame(const ModbusBytes &frame, quint8 *unit = nullptr,
                             ModbusBytes *pdu = nullptr) const = 0;
    /// Size in bytes of the longest frame: a buffer beyond it can never become one frame.
    virtual int maxFrameSize() const = 0;

    /// Whether pdu is complete for its function; throws the reason as a QString when it is malformed.
    bool checkDataSize(const ModbusBytes &pdu, TavrexBus::PacketState state) const;
    /// A new, empty packet of the class the function of pdu needs; throws on an unknown function.
    ModbusPacket *createPacket(const ModbusBytes &pdu, const ModbusParseInfo &info) const;
    /// Fills packet from pdu; throws the reason of a refusal as a QString.
    void parseModbusPDU(const ModbusBytes &pdu, const ModbusParseInfo &info,
                        ModbusPacket &packet) const;

    /// Whether code is a function code the library knows.
    static bool isValidFunctionCodeNum(unsigned char code);
    /// Whether the parser reads messages of code.
    static bool isFunctionSupported(TavrexBus::FunctionCode code);
    /// Whether code is a Modbus exception code.
    static bool isValidExceptionCodeNum(unsigned char code);
    /// Whether value is an ArchType.
    static bool isValidArchTypeNum(unsigned char value);
    /// Whether value is an ArchDirection.
    static bool isValidArchDirectionNum(unsigned char value);
};

#endif // MODBUSPARSER_H
