#ifndef MODBUSDEPARSER_H
#define MODBUSDEPARSER_H

#include "deparser.h"
#include "tavrexbus.h"

class ModbusPacket;

/// Writes packets as Modbus PDUs (function code and data). deparseModbusPDU throws the
/// reason of a refusal as a QString; the frame builders catch it and report it.
class TAVREXBUS1_EXPORT ModbusDeparser : public Deparser
{
    Q_OBJECT
public:
    /// A deparser with no error reported.
    explicit ModbusDeparser(QObject *parent = nullptr);
    ~ModbusDeparser() override;

    bool canDeparse(const IPacket &packet) const override;
    /// Whether this deparser writes packets of code.
    virtual bool isFunctionSupported(TavrexBus::FunctionCode code) const;

    /// Appends the PDU of packet to out; throws the reason of a refusal as a QString.
    void deparseModbusPDU(const ModbusPacket &packet, ModbusBytes &out) const;

protected:
    /// Appends the PDU to out, so frame builders can write header, PDU and trailer in one buffer.
    void appendModbusPDU(const ModbusPacket &packet, ModbusBytes &out) const;
};

#endif // MODBUSDEPARSER_H
