#ifndef MODBUSTASKARCHPRESENCE_H
#define MODBUSTASKARCHPRESENCE_H

#include "modbustaskarch.h"

// Asks which archive labels exist around a label, and optionally the neighbours, the first and the last.
class TAVREXBUS1_EXPORT ModbusTaskArchPresence : public ModbusTaskArch
{
public:
    ModbusTaskArchPresence(ModbusItemBase &labelItem, TavrexBus::ArchDirection direction, int interval);
    ModbusTaskArchPresence(const ModbusTaskArchPresence &other) = default;
    ModbusTaskArchPresence(const ModbusTaskArchPresence &source, int index);

    ModbusTask *clone() const override;
    ModbusTaskList split() override;

    quint32 label() const { return m_label; }
    void setLabel(quint32 label) { m_label = label; }
    quint32 prevLabel() const { return m_prevLabel; }
    void setPrevLabel(quint32 label) { m_prevLabel = label; }
    quint32 nextLabel() const { return m_nextLabel; }
    void setNextLabel(quint32 label) { m_nextLabel = label; }
    quint32 firstLabel() const { return m_firstLabel; }
    void setFirstLabel(quint32 label) { m_firstLabel = label; }
    quint32 lastLabel() const { return m_lastLabel; }
    void setLastLabel(quint32 label) { m_lastLabel = label; }
    quint32 endLabel() const { return m_endLabel; }
    void setEndLabel(quint32 label) { m_endLabel = label; }
    bool hasPrev() const { return m_hasPrev; }
    void setHasPrev(bool hasPrev) { m_hasPrev = hasPrev; }
    bool hasNext() const { return m_hasNext; }
    void setHasNext(bool hasNext) { m_hasNext = hasNext; }
    int maxRequestLabels() const { return m_maxRequestLabels; }
    void setMaxRequestLabels(int count) { m_maxRequestLabels = count; }
    bool readPrev() const { return m_readPrev; }
    bool readNext() const { return m_readNext; }
    bool readFirst() const { return m_readFirst; }
    bool readLast() const { return m_readLast; }
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
