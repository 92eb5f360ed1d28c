#ifndef MODBUSTASKARCH_H
#define MODBUSTASKARCH_H

#include "modbustask.h"

// The archive coordinates shared by archive record and archive label tasks. An archive task always reads.
class TAVREXBUS1_EXPORT ModbusTaskArch : public ModbusTask
{
public:
    ModbusTaskArch(ModbusItemBase &item, TavrexBus::ArchDirection direction, int interval);
    ModbusTaskArch(const ModbusTaskArch &other) = default;
    ModbusTaskArch(const ModbusTaskArch &source, int index);

    quint16 archIndex() const { return m_archIndex; }
    void setArchIndex(quint16 archIndex) { m_archIndex = archIndex; }
    TavrexBus::ArchFunc func() const { return m_func; }
    void setFunc(TavrexBus::ArchFunc func) { m_func = func; }
    TavrexBus::ArchType archType() const { return m_archType; }
    void setArchType(TavrexBus::ArchType archType) { m_archType = archType; }
    TavrexBus::ArchDirection direction() const { return m_direction; }

private:
    quint16 m_archIndex = 0;
    TavrexBus::ArchFunc m_func = TavrexBus::Func65;
    TavrexBus::ArchType m_archType = TavrexBus::IndexArch;
    TavrexBus::ArchDirection m_direction;
};

#endif
