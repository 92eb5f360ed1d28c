#ifndef MODBUSPARSEINFO_H
#define MODBUSPARSEINFO_H

#include "iparseinfo.h"
#include "tavrexbus.h"

/// Direction of a PDU and, for archive answers, what the request asked for.
class TAVREXBUS1_EXPORT ModbusParseInfo : public IParseInfo
{
public:
    ModbusParseInfo() = default;
    /// Information for parsing a message of state.
    explicit ModbusParseInfo(TavrexBus::PacketState state);
    /// Information for parsing an archive message of state and archType.
    ModbusParseInfo(TavrexBus::PacketState state, TavrexBus::ArchType archType);
    /// Information for parsing an answer to a request for requestCount items.
    ModbusParseInfo(TavrexBus::PacketState state, unsigned short requestCount,
                    TavrexBus::ArchType archType);

    QString toString(bool oneLine) const override;

    /// Request or answer.
    TavrexBus::PacketState state() const { return m_state; }
    /// The number of items the request asked for.
    quint16 requestCount() const { return m_requestCount; }
    /// The archive type of an archive message.
    TavrexBus::ArchType archType() const { return m_archType; }
    /// Sets request or answer.
    void setState(TavrexBus::PacketState state) { m_state = state; }
    /// Sets the number of items the request asked for.
    void setRequestCount(quint16 count) { m_requestCount = count; }
    /// Sets the archive type.
    void setArchType(TavrexBus::ArchType archType) { m_archType = archType; }

    /// Equal when every field is.
    bool operator==(const ModbusParseInfo &other) const;
    /// The opposite of operator==().
    bool operator!=(const ModbusParseInfo &other) const { return !(*this == other); }

private:
    TavrexBus::PacketState m_state = TavrexBus::Request;
    quint16 m_requestCount = 1;
    TavrexBus::ArchType m_archType = TavrexBus::IndexArch;
};

#endif // MODBUSPARSEINFO_H
