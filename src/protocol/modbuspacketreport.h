#ifndef MODBUSPACKETREPORT_H
#define MODBUSPACKETREPORT_H

#include "modbusbytes.h"
#include "modbuspacket.h"

/// Report slave ID (function 17); the device name leads the data bytes.
class TAVREXBUS1_EXPORT ModbusPacketReport : public ModbusPacket
{
public:
    ModbusPacketReport();
    /// Copies other.
    ModbusPacketReport(const ModbusPacketReport &other) = default;
    /// Copies other.
    ModbusPacketReport &operator=(const ModbusPacketReport &other) = default;

    QString toString(bool oneLine) const override;

    /// The report's data bytes.
    const ModbusBytes &bytes() const { return m_bytes; }
    /// Sets the report's data bytes.
    void setBytes(const ModbusBytes &bytes) { m_bytes = bytes; }
    /// The device name leading the data bytes.
    QString devName() const;
    /// Puts name in front of the data bytes.
    void setDevName(const QString &name);

    /// Equal when header and bytes are.
    bool operator==(const ModbusPacketReport &other) const;
    /// The opposite of operator==().
    bool operator!=(const ModbusPacketReport &other) const { return !(*this == other); }

private:
    ModbusBytes m_bytes;
};

#endif // MODBUSPACKETREPORT_H
