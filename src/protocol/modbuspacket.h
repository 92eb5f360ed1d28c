#ifndef MODBUSPACKET_H
#define MODBUSPACKET_H

#include "ipacket.h"
#include "tavrexbus.h"

/// Common header of every Modbus message; the body depends on the function.
class TAVREXBUS1_EXPORT ModbusPacket : public IPacket
{
public:
    explicit ModbusPacket(const TavrexBus::PacketKind &kind);
    ModbusPacket(const ModbusPacket &other) = default;
    /// The kind belongs to the class and survives assignment.
    ModbusPacket &operator=(const ModbusPacket &other);
    ~ModbusPacket() override;

    QString toString(bool oneLine) const override;

    TavrexBus::FunctionCode functionCode() const { return m_functionCode; }
    TavrexBus::ExceptionCode exceptionCode() const { return m_exceptionCode; }
    TavrexBus::PacketState state() const { return m_state; }
    TavrexBus::PacketKind kind() const { return m_kind; }
    unsigned char address() const { return m_address; }
    bool hasException() const { return m_exceptionCode != TavrexBus::NoException; }

    void setFunctionCode(TavrexBus::FunctionCode code) { m_functionCode = code; }
    void setExceptionCode(TavrexBus::ExceptionCode code) { m_exceptionCode = code; }
    void setState(TavrexBus::PacketState state) { m_state = state; }
    void setAddress(unsigned char address) { m_address = address; }

    bool operator==(const ModbusPacket &other) const;
    bool operator!=(const ModbusPacket &other) const { return !(*this == other); }

protected:
    QString headerText() const;

private:
    TavrexBus::FunctionCode m_functionCode = TavrexBus::UnknownFunction;
    TavrexBus::ExceptionCode m_exceptionCode = TavrexBus::NoException;
    TavrexBus::PacketState m_state = TavrexBus::Request;
    TavrexBus::PacketKind m_kind;
    unsigned char m_address = 1;
};

#endif // MODBUSPACKET_H
