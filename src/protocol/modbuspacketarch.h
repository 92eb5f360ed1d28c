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
    /// An archive records packet of archType.
    explicit ModbusPacketArch(TavrexBus::ArchType archType);
    /// An archive records packet of archType searching in direction (function 67).
    ModbusPacketArch(TavrexBus::ArchType archType, TavrexBus::ArchDirection direction);
    /// Copies other.
    ModbusPacketArch(const ModbusPacketArch &other) = default;
    /// Copies other.
    ModbusPacketArch &operator=(const ModbusPacketArch &other) = default;

    QString toString(bool oneLine) const override;

    /// Index or time archive.
    TavrexBus::ArchType archType() const { return m_archType; }
    /// The archive number.
    quint16 archIndex() const { return m_archIndex; }
    /// The records of an answer.
    const QList<ModbusBytes> &records() const { return m_records; }
    /// The search direction.
    TavrexBus::ArchDirection direction() const { return m_direction; }
    /// The label asked for.
    quint32 requestLabel() const { return m_requestLabel; }
    /// The label asked for, as a date-time.
    QDateTime requestTimeLabel() const;
    /// The number of records asked for.
    quint16 requestRecordsCount() const { return m_requestRecordsCount; }
    /// Bytes of all records together.
    int fieldsTotalSize() const;

    /// Sets index or time archive.
    void setArchType(TavrexBus::ArchType archType) { m_archType = archType; }
    /// Sets the archive number.
    void setArchIndex(quint16 index) { m_archIndex = index; }
    /// Sets the search direction.
    void setDirection(TavrexBus::ArchDirection direction) { m_direction = direction; }
    /// Sets the label asked for.
    void setRequestLabel(unsigned int label) { m_requestLabel = label; }
    /// Sets the label asked for, as a date-time.
    void setRequestLabel(const QDateTime &label);
    /// Sets the number of records asked for.
    void setRequestRecordsCount(quint16 count) { m_requestRecordsCount = count; }
    /// Sets the records of an answer.
    void setRecords(const QList<ModbusBytes> &records) { m_records = records; }
    /// Adds a record to an answer.
    void appendRecords(const ModbusBytes &record) { m_records.append(record); }

    /// Equal when header, request and records are.
    bool operator==(const ModbusPacketArch &other) const;
    /// The opposite of operator==().
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
