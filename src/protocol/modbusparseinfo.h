#ifndef MODBUSPARSEINFO_H
#define MODBUSPARSEINFO_H

#include "iparseinfo.h"
#include "tavrexbus.h"

/// Direction of a PDU and, for archive answers, what the request asked for.
class TAVREXBUS1_EXPORT ModbusParseInfo : public IParseInfo
{
public:
    ModbusParseInfo() = default;
    explicit ModbusParseInfo(TavrexBus::PacketState state);
    ModbusParseInfo(TavrexBus::PacketState state, TavrexBus::ArchType archType);
    ModbusParseInfo(TavrexBus::PacketState state, unsigned short requestCount,
                    TavrexBus::ArchType archType);

    QString toString(bool oneLine) const override;

    TavrexBus::PacketState state() const { return m_state; }
    quint16 requestCount() const { return m_requestCount; }
    TavrexBus::ArchType archType() const { return m_archType; }
    void setState(TavrexBus::PacketState state) { m_state = state; }
    void setRequestCount(quint16 count) { m_requestCount = count; }
    void setArchType(TavrexBus::ArchType archType) { m_archType = archType; }

    bool operator==(const ModbusParseInfo &other) const;
    bool operator!=(const ModbusParseInfo &other) const { return !(*this == other); }

private:
    TavrexBus::PacketState m_state = TavrexBus::Request;
    quint16 m_requestCount = 1;
    TavrexBus::ArchType m_archType = TavrexBus::IndexArch;
};

#endif // MODBUSPARSEINFO_H
