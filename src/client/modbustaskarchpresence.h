#ifndef MODBUSTASKARCHPRESENCE_H
#define MODBUSTASKARCHPRESENCE_H

#include "modbustaskarch.h"

/// Asks which archive labels exist around a label, and optionally the neighbours, the first and the last.
class TAVREXBUS1_EXPORT ModbusTaskArchPresence : public ModbusTaskArch
{
public:
    /// A presence read for labelItem, searching in direction, every interval milliseconds (0: once).
    ModbusTaskArchPresence(ModbusItemBase &labelItem, TavrexBus::ArchDirection direction, int interval);
    /// Copies other.
    ModbusTaskArchPresence(const ModbusTaskArchPresence &other) = default;
    /// Part index of a split source.
    ModbusTaskArchPresence(const ModbusTaskArchPresence &source, int index);

    ModbusTask *clone() const override;
    ModbusTaskList split() override;

    /// Where the search starts.
    quint32 label() const { return m_label; }
    /// Sets where the search starts.
    void setLabel(quint32 label) { m_label = label; }
    /// The label before, as answered.
    quint32 prevLabel() const { return m_prevLabel; }
    /// Records the label before.
    void setPrevLabel(quint32 label) { m_prevLabel = label; }
    /// The label after, as answered.
    quint32 nextLabel() const { return m_nextLabel; }
    /// Records the label after.
    void setNextLabel(quint32 label) { m_nextLabel = label; }
    /// The archive's oldest label, as answered.
    quint32 firstLabel() const { return m_firstLabel; }
    /// Records the oldest label.
    void setFirstLabel(quint32 label) { m_firstLabel = label; }
    /// The archive's newest label, as answered.
    quint32 lastLabel() const { return m_lastLabel; }
    /// Records the newest label.
    void setLastLabel(quint32 label) { m_lastLabel = label; }
    /// Where the search ends (0: no end).
    quint32 endLabel() const { return m_endLabel; }
    /// Sets where the search ends.
    void setEndLabel(quint32 label) { m_endLabel = label; }
    /// Whether a label before exists.
    bool hasPrev() const { return m_hasPrev; }
    /// Records whether a label before exists.
    void setHasPrev(bool hasPrev) { m_hasPrev = hasPrev; }
    /// Whether a label after exists.
    bool hasNext() const { return m_hasNext; }
    /// Records whether a label after exists.
    void setHasNext(bool hasNext) { m_hasNext = hasNext; }
    /// Labels per request.
    int maxRequestLabels() const { return m_maxRequestLabels; }
    /// Sets labels per request.
    void setMaxRequestLabels(int count) { m_maxRequestLabels = count; }
    /// Whether the label before is asked for.
    bool readPrev() const { return m_readPrev; }
    /// Whether the label after is asked for.
    bool readNext() const { return m_readNext; }
    /// Whether the oldest label is asked for.
    bool readFirst() const { return m_readFirst; }
    /// Whether the newest label is asked for.
    bool readLast() const { return m_readLast; }
    /// Chooses which neighbours are asked for.
    void setReadNeighbours(bool prev, bool next, bool first, bool last);

private:
    quint32 m_label = 0;
    quint32 m_prevLabel = 0;
    quint32 m_nextLabel = 0;
    quint32 m_firstLabel = 0;
    quint32 m_lastLabel = 0;
    quint32 m_endLabel = 0;
    bool m_hasPrev = false;
    bool m_hasNext = false;
    int m_maxRequestLabels = 0;
    bool m_readPrev = false;
    bool m_readNext = false;
    bool m_readFirst = false;
    bool m_readLast = false;
};

#endif
