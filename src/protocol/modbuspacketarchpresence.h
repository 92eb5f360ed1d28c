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
    /// A presence packet of archType.
    explicit ModbusPacketArchPresence(TavrexBus::ArchType archType);
    /// A presence packet of archType asking for requestLabelsCount labels.
    ModbusPacketArchPresence(TavrexBus::ArchType archType, unsigned short requestLabelsCount);
    /// Copies other.
    ModbusPacketArchPresence(const ModbusPacketArchPresence &other);
    /// Copies other.
    ModbusPacketArchPresence &operator=(const ModbusPacketArchPresence &other) = default;

    QString toString(bool oneLine) const override;

    /// Index or time archive.
    TavrexBus::ArchType archType() const { return m_archType; }
    /// The archive number.
    quint16 archIndex() const { return m_archIndex; }
    /// The search direction.
    TavrexBus::ArchDirection direction() const { return m_direction; }
    /// The labels of an answer, four bytes each.
    const ModbusBytes &labels() const { return m_labels; }
    /// The number of labels in an answer.
    int labelsCount() const { return m_labels.archLabelsCount(); }
    /// Where the search starts.
    quint32 requestLabel() const { return m_requestLabel; }
    /// Where the search starts, as a date-time.
    QDateTime requestTimeLabel() const;
    /// The number of labels asked for.
    quint16 requestLabelsCount() const { return m_requestLabelsCount; }

    /// Sets index or time archive.
    void setArchType(TavrexBus::ArchType archType) { m_archType = archType; }
    /// Sets the archive number.
    void setArchIndex(quint16 index) { m_archIndex = index; }
    /// Sets the search direction.
    void setDirection(TavrexBus::ArchDirection direction) { m_direction = direction; }
    /// Sets where the search starts.
    void setRequestLabel(unsigned int label) { m_requestLabel = label; }
    /// Sets where the search starts, as a date-time.
    void setRequestLabel(const QDateTime &label);
    /// Sets the number of labels asked for.
    void setRequestLabelsCount(quint16 count) { m_requestLabelsCount = count; }
    /// Sets the labels of an answer.
    void setLabels(const ModbusBytes &labels) { m_labels = labels; }
    /// Adds a label to an answer.
    void appendLabel(unsigned int label);
    /// Adds labels (four bytes each) to an answer.
    void appendLabels(const ModbusBytes &labels);
    /// Truncates or zero-pads the answer to count labels.
    void setLabelsCount(unsigned short count);

    /// Equal when header, request and labels are.
    bool operator==(const ModbusPacketArchPresence &other) const;
    /// The opposite of operator==().
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
