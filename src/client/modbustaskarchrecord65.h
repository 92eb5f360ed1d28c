#ifndef MODBUSTASKARCHRECORD65_H
#define MODBUSTASKARCHRECORD65_H

#include "modbustaskarch.h"

// Reads archive records from a label onwards; the next label of a long read is computed from the interval.
class TAVREXBUS1_EXPORT ModbusTaskArchRecord65 : public ModbusTaskArch
{
public:
    ModbusTaskArchRecord65(ModbusItemBase &record, quint32 label, int interval);
    ModbusTaskArchRecord65(const ModbusTaskArchRecord65 &other) = default;
    ModbusTaskArchRecord65(const ModbusTaskArchRecord65 &source, int index);

    ModbusTask *clone() const override;
    ModbusTaskList split() override;
    virtual quint32 getNextLabel(quint32 label, bool *ok, quint32 step) const;

    quint32 label() const { return m_label; }
    void setLabel(quint32 label) { m_label = label; }
    int recordSize() const { return m_recordSize; }
    void setRecordSize(int recordSize) { m_recordSize = recordSize; }
    TavrexBus::ArchInterval archInterval() const { return m_archInterval; }
    void setArchInterval(TavrexBus::ArchInterval interval) { m_archInterval = interval; }

private:
    quint32 m_label;
    int m_recordSize = 0;
    TavrexBus::ArchInterval m_archInterval = TavrexBus::Second;
};

#endif
