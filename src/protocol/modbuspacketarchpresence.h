#ifndef MODBUSPACKETARCHPRESENCE_H
#define MODBUSPACKETARCHPRESENCE_H

#include "modbusbytes.h"
#include "modbuspacket.h"

#include <QtCore/QDateTime>

/// Which archive labels a device holds: function 66.
class TAVREXBUS1_EXPORT ModbusPacketArchPresence : public ModbusPacket
{
public:
    ModbusPacketArchPresence();
    explicit ModbusPacketArchPresence(TavrexBus::ArchType archType);
    ModbusPacketArchPresence(TavrexBus::ArchType archType, unsigned short requestLabelsCount);
    ModbusPacketArchPresence(const ModbusPacketArchPresence &other);
    ModbusPacketArchPresence &operator=(const ModbusPacketArchPresence &other) = default;

    QString toString(bool oneLine) const override;

    TavrexBus::ArchType archType() const { return m_archType; }
    quint16 archIndex() const { return m_archIndex; }
    TavrexBus::ArchDirection direction() const { return m_direction; }
    const ModbusBytes &labels() const { return m_labels; }
    int labelsCount() const { return m_labels.archLabelsCount(); }
    quint32 requestLabel() const { return m_requestLabel; }
    QDateTime requestTimeLabel() const;
    quint16 requestLabelsCount() const { return m_requestLabelsCount; }

    void setArchType(TavrexBus::ArchType archType) { m_archType = archType; }
    void setArchIndex(quint16 index) { m_archIndex = index; }
    void setDirection(TavrexBus::ArchDirection direction) { m_direction = direction; }
    void setRequestLabel(unsigned int label) { m_requestLabel = label; }
    void setRequestLabel(const QDateTime &label);
    void setRequestLabelsCount(quint16 count) { m_requestLabelsCount = count; }
    void setLabels(const ModbusBytes &labels) { m_labels = labels; }
    void appendLabel(unsigned int label);
    void appendLabels(const ModbusBytes &labels);
    void setLabelsCount(unsigned short count);

    bool operator==(const ModbusPacketArchPresence &other) const;
    bool operator!=(const ModbusPacketArchPresence &other) const { return !(*this == other); }

private:
    TavrexBus::ArchType m_archType = TavrexBus::IndexArch;
    quint16 m_archIndex = 0;
    TavrexBus::ArchDirection m_direction = TavrexBus::Forward;
    ModbusBytes m_labels;
    quint32 m_requestLabel = 0;
    quint16 m_requestLabelsCount = 1;
};

#endif // MODBUSPACKETARCHPRESENCE_H
