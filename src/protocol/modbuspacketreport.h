#ifndef MODBUSPACKETREPORT_H
#define MODBUSPACKETREPORT_H

#include "modbusbytes.h"
#include "modbuspacket.h"

/// Report slave ID (function 17); the device name leads the data bytes.
class TAVREXBUS1_EXPORT ModbusPacketReport : public ModbusPacket
{
public:
    ModbusPacketReport();
    ModbusPacketReport(const ModbusPacketReport &other) = default;
    ModbusPacketReport &operator=(const ModbusPacketReport &other) = default;

    QString toString(bool oneLine) const override;

    const ModbusBytes &bytes() const { return m_bytes; }
    void setBytes(const ModbusBytes &bytes) { m_bytes = bytes; }
    QString devName() const;
    void setDevName(const QString &name);

    bool operator==(const ModbusPacketReport &other) const;
    bool operator!=(const ModbusPacketReport &other) const { return !(*this == other); }

private:
    ModbusBytes m_bytes;
};

#endif // MODBUSPACKETREPORT_H
