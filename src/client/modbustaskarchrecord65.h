#ifndef MODBUSTASKARCHRECORD65_H
#define MODBUSTASKARCHRECORD65_H

#include "modbustaskarch.h"

/// Reads archive records from a label onwards; the next label of a long read is computed from the interval.
class TAVREXBUS1_EXPORT ModbusTaskArchRecord65 : public ModbusTaskArch
{
public:
    /// A read of record's records from label, every interval milliseconds (0: once).
    ModbusTaskArchRecord65(ModbusItemBase &record, quint32 label, int interval);
    /// Copies other.
    ModbusTaskArchRecord65(const ModbusTaskArchRecord65 &other) = default;
    /// Part index of a split source.
    ModbusTaskArchRecord65(const ModbusTaskArchRecord65 &source, int index);

    ModbusTask *clone() const override;
    ModbusTaskList split() override;
    /// The label step records after label; ok tells whether it is valid.
    virtual quint32 getNextLabel(quint32 label, bool *ok, quint32 step) const;

    /// The label of the first record.
    quint32 label() const { return m_label; }
    /// Sets the label of the first record.
    void setLabel(quint32 label) { m_label = label; }
    /// Bytes of one record.
    int recordSize() const { return m_recordSize; }
    /// Sets the bytes of one record.
    void setRecordSize(int recordSize) { m_recordSize = recordSize; }
    /// The archive interval.
    TavrexBus::ArchInterval archInterval() const { return m_archInterval; }
    /// Sets the archive interval.
    void setArchInterval(TavrexBus::ArchInterval interval) { m_archInterval = interval; }

private:
    quint32 m_label;
    int m_recordSize = 0;
    TavrexBus::ArchInterval m_archInterval = TavrexBus::Second;
};

#endif
