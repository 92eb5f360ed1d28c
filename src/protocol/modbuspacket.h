#ifndef MODBUSPACKET_H
#define MODBUSPACKET_H

#include "ipacket.h"
#include "tavrexbus.h"

/// Common header of every Modbus message; the body depends on the function.
class TAVREXBUS1_EXPORT ModbusPacket : public IPacket
{
public:
    /// A request packet of kind, with no function code.
    explicit ModbusPacket(const TavrexBus::PacketKind &kind);
    /// Copies other.
    ModbusPacket(const ModbusPacket &other) = default;
    /// The kind belongs to the class and survives assignment.
    ModbusPacket &operator=(const ModbusPacket &other);
    ~ModbusPacket() override;

    QString toString(bool oneLine) const override;

    /// The function code.
    TavrexBus::FunctionCode functionCode() const { return m_functionCode; }
    /// The exception code of an exception answer; NoException otherwise.
    TavrexBus::ExceptionCode exceptionCode() const { return m_exceptionCode; }
    /// Request or answer.
    TavrexBus::PacketState state() const { return m_state; }
    /// Which packet class this is.
    TavrexBus::PacketKind kind() const { return m_kind; }
    /// The Modbus unit address.
    unsigned char address() const { return m_address; }
    /// True for an exception answer.
    bool hasException() const { return m_exceptionCode != TavrexBus::NoException; }

    /// Sets the function code.
    void setFunctionCode(TavrexBus::FunctionCode code) { m_functionCode = code; }
    /// Makes the packet an exception answer with code.
    void setExceptionCode(TavrexBus::ExceptionCode code) { m_exceptionCode = code; }
    /// Sets request or answer.
    void setState(TavrexBus::PacketState state) { m_state = state; }
    /// Sets the Modbus unit address.
    void setAddress(unsigned char address) { m_address = address; }

    /// Equal when every header field is.
    bool operator==(const ModbusPacket &other) const;
    /// The opposite of operator==().
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
