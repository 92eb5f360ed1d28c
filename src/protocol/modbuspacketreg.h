#ifndef MODBUSPACKETREG_H
#define MODBUSPACKETREG_H

#include "modbusbytes.h"
#include "modbuspacket.h"

/// Register reads and writes: functions 3, 4, 6 and 16.
class TAVREXBUS1_EXPORT ModbusPacketReg : public ModbusPacket
{
public:
    ModbusPacketReg();
    /// Copies other.
    ModbusPacketReg(const ModbusPacketReg &other) = default;
    /// Copies other.
    ModbusPacketReg &operator=(const ModbusPacketReg &other) = default;

    QString toString(bool oneLine) const override;

    /// The register bytes read, or to write.
    const ModbusBytes &regBytes() const { return m_regBytes; }
    /// Registers in regBytes().
    int registersCount() const { return m_regBytes.regsCount(); }
    /// The protocol address of the first register.
    quint16 requestAddress() const { return m_requestAddress; }
    /// Registers a write answer confirms.
    quint16 registersWritten() const { return m_registersWritten; }
    /// Registers asked for.
    quint16 requestRegistersCount() const { return m_requestRegistersCount; }

    /// Sets the register bytes.
    void setRegBytes(const ModbusBytes &bytes) { m_regBytes = bytes; }
    /// Adds register bytes.
    void appendRegBytes(const ModbusBytes &bytes);
    /// Adds one register.
    void appendRegValue(unsigned short value);
    /// Sets the protocol address of the first register.
    void setRequestAddress(quint16 address) { m_requestAddress = address; }
    /// Sets the registers a write answer confirms.
    void setRegistersWritten(quint16 count) { m_registersWritten = count; }
    /// Sets the registers asked for.
    void setRequestRegistersCount(quint16 count) { m_requestRegistersCount = count; }

    /// Equal when header and every field are.
    bool operator==(const ModbusPacketReg &other) const;
    /// The opposite of operator==().
    bool operator!=(const ModbusPacketReg &other) const { return !(*this == other); }

private:
    ModbusBytes m_regBytes;
    quint16 m_requestAddress = 0;
    quint16 m_registersWritten = 0;
    quint16 m_requestRegistersCount = 0;
};

#endif // MODBUSPACKETREG_H
