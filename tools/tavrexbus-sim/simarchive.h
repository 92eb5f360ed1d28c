#ifndef SIMARCHIVE_H
#define SIMARCHIVE_H

#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/tavrexbus.h>

#include <QtCore/QJsonObject>
#include <QtCore/QList>

// One archive of the simulated meter: its labels (with gaps where the map asks for them) and a
// record for each, in the layout the map names.
class SimArchive
{
public:
    // Reads an archive entry of the register map; where names the entry in messages.
    static bool load(const QJsonObject &entry, const QString &where, SimArchive &archive, QString *error);

    TavrexBus::ArchType type() const { return m_type; }
    int recordSize() const;
    // Function 66: up to count labels that exist from label on, in the direction.
    QList<quint32> labelsFrom(quint32 label, TavrexBus::ArchDirection direction, int count) const;
    // Function 67: the records at those labels.
    QList<ModbusBytes> recordsFrom(quint32 label, TavrexBus::ArchDirection direction, int count) const;
    // Function 65: count records from label, one per interval; a label without a record reads as zeros.
    QList<ModbusBytes> recordsAt(quint32 label, int count) const;
    ModbusBytes record(quint32 label) const;

private:
    enum Layout { LabelLayout, Generation1, Generation2, Generation3 };

    bool loadLabels(const QJsonObject &entry, const QString &where, QString *error);
    bool parseLabel(const QJsonValue &value, quint32 &label) const;
    quint32 next(quint32 label, bool *ok) const;
    quint32 previous(quint32 label, bool *ok) const;
    bool exists(quint32 label) const;
    ModbusBytes generationRecord(quint32 label) const;

    TavrexBus::ArchType m_type = TavrexBus::IndexArch;
    Layout m_layout = LabelLayout;
    bool m_heat = false;
    // A time archive steps by a calendar interval, or by a number of seconds when the map gives one.
    TavrexBus::ArchInterval m_interval = TavrexBus::Hour;
    qint64 m_seconds = 0;
    QList<quint32> m_labels;  // ascending
};

#endif
