#ifndef MODBUSPACKETARCH_H
#define MODBUSPACKETARCH_H

#include "modbusbytes.h"
#include "modbuspacket.h"

#include <QtCore/QDateTime>
#include <QtCore/QList>

/// Archive records: functions 65 (by label) and 67 (by label and direction).
class TAVREXBUS1_EXPORT ModbusPacketArch : public ModbusPacket
{
public:
    ModbusPacketArch();
    explicit ModbusPacketArch(TavrexBus::ArchType archType);
    ModbusPacketArch(TavrexBus::ArchType archType, TavrexBus::ArchDirection direction);
    ModbusPacketArch(const ModbusPacketArch &other) = default;
    ModbusPacketArch &operator=(const ModbusPacketArch &other) = default;

    QString toString(bool oneLine) const override;

    TavrexBus::ArchType archType() const { return m_archType; }
    quint16 archIndex() const { return m_archIndex; }
    const QList<ModbusBytes> &records() const { return m_records; }
    TavrexBus::ArchDirection direction() const { return m_direction; }
    quint32 requestLabel() const { return m_requestLabel; }
    QDateTime requestTimeLabel() const;
    quint16 requestRecordsCount() const { return m_requestRecordsCount; }
    int fieldsTotalSize() const;

    void setArchType(TavrexBus::ArchType archType) { m_archType = archType; }
    void setArchIndex(quint16 index) { m_archIndex = index; }
    void setDirection(TavrexBus::ArchDirection direction) { m_direction = direction; }
    void setRequestLabel(unsigned int label) { m_requestLabel = label; }
    void setRequestLabel(const QDateTime &label);
    void setRequestRecordsCount(quint16 count) { m_requestRecordsCount = count; }
    void setRecords(const QList<ModbusBytes> &records) { m_records = records; }
    void appendRecords(const ModbusBytes &record) { m_records.append(record); }

    bool operator==(const ModbusPacketArch &other) const;
    bool operator!=(const ModbusPacketArch &other) const { return !(*this == other); }

private:
    TavrexBus::ArchType m_archType = TavrexBus::IndexArch;
    quint16 m_archIndex = 0;
    QList<ModbusBytes> m_records;
    TavrexBus::ArchDirection m_direction = TavrexBus::Forward;
    quint32 m_requestLabel = 0;
    quint16 m_requestRecordsCount = 1;
};

#endif // MODBUSPACKETARCH_H
