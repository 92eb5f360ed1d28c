#ifndef MODBUSPACKETREG_H
#define MODBUSPACKETREG_H

#include "modbusbytes.h"
#include "modbuspacket.h"

/// Register reads and writes: functions 3, 4, 6 and 16.
class TAVREXBUS1_EXPORT ModbusPacketReg : public ModbusPacket
{
public:
    ModbusPacketReg();
    ModbusPacketReg(const ModbusPacketReg &other) = default;
    ModbusPacketReg &operator=(const ModbusPacketReg &other) = default;

    QString toString(bool oneLine) const override;

    const ModbusBytes &regBytes() const { return m_regBytes; }
    int registersCount() const { return m_regBytes.regsCount(); }
    quint16 requestAddress() const { return m_requestAddress; }
    quint16 registersWritten() const { return m_registersWritten; }
    quint16 requestRegistersCount() const { return m_requestRegistersCount; }

    void setRegBytes(const ModbusBytes &bytes) { m_regBytes = bytes; }
    void appendRegBytes(const ModbusBytes &bytes);
    void appendRegValue(unsigned short value);
    void setRequestAddress(quint16 address) { m_requestAddress = address; }
    void setRegistersWritten(quint16 count) { m_registersWritten = count; }
    void setRequestRegistersCount(quint16 count) { m_requestRegistersCount = count; }

    bool operator==(const ModbusPacketReg &other) const;
    bool operator!=(const ModbusPacketReg &other) const { return !(*this == other); }

private:
    ModbusBytes m_regBytes;
    quint16 m_requestAddress = 0;
    quint16 m_registersWritten = 0;
    quint16 m_requestRegistersCount = 0;
};

#endif // MODBUSPACKETREG_H
