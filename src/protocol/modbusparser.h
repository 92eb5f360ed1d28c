#ifndef MODBUSPARSER_H
#define MODBUSPARSER_H

#include "vparser.h"

class ModbusPacket;
class ModbusParseInfo;

// Decodes Modbus PDUs (function code and data) of the functions the library speaks.
// checkDataSize, createPacket and parseModbusPDU throw the reason of a refusal as a
// QString; the frame parsers catch it and report it.
class TAVREXBUS1_EXPORT ModbusParser : public VParser
{
    Q_OBJECT
public:
    explicit ModbusParser(QObject *parent = nullptr);
    ~ModbusParser() override;

    bool canParse(const ModbusBytes &pdu, TavrexBus::PacketState state) const override;
    QString toString(bool oneLine) const override;

    bool checkDataSize(const ModbusBytes &pdu, TavrexBus::PacketState state) const;
    ModbusPacket *createPacket(const ModbusBytes &pdu, const ModbusParseInfo &info) const;
    void parseModbusPDU(const ModbusBytes &pdu, const ModbusParseInfo &info,
                        ModbusPacket &packet) const;

    static bool isValidFunctionCodeNum(unsigned char code);
    static bool isFunctionSupported(TavrexBus::FunctionCode code);
    static bool isValidExceptionCodeNum(unsigned char code);
    static bool isValidArchTypeNum(unsigned char value);
    static bool isValidArchDirectionNum(unsigned char value);
};

#endif // MODBUSPARSER_H
