#ifndef MODBUSTASKARCH_H
#define MODBUSTASKARCH_H

#include "modbustask.h"

/// The archive coordinates shared by archive record and archive label tasks. An archive task always reads.
class TAVREXBUS1_EXPORT ModbusTaskArch : public ModbusTask
{
public:
    /// An archive task of item, searching in direction, every interval milliseconds (0: once).
    ModbusTaskArch(ModbusItemBase &item, TavrexBus::ArchDirection direction, int interval);
    /// Copies other.
    ModbusTaskArch(const ModbusTaskArch &other) = default;
    /// Part index of a split source.
    ModbusTaskArch(const ModbusTaskArch &source, int index);

    /// The archive number.
    quint16 archIndex() const { return m_archIndex; }
    /// Sets the archive number.
    void setArchIndex(quint16 archIndex) { m_archIndex = archIndex; }
    /// The function that reads the records.
    TavrexBus::ArchFunc func() const { return m_func; }
    /// Sets the function that reads the records.
    void setFunc(TavrexBus::ArchFunc func) { m_func = func; }
    /// Index or time archive.
    TavrexBus::ArchType archType() const { return m_archType; }
    /// Sets index or time archive.
    void setArchType(TavrexBus::ArchType archType) { m_archType = archType; }
    /// The search direction.
    TavrexBus::ArchDirection direction() const { return m_direction; }

private:
    quint16 m_archIndex = 0;
    TavrexBus::ArchFunc m_func = TavrexBus::Func65;
    TavrexBus::ArchType m_archType = TavrexBus::IndexArch;
    TavrexBus::ArchDirection m_direction;
};

#endif
