#include "modbustaskarchpresence.h"

ModbusTaskArchPresence::ModbusTaskArchPresence(ModbusItemBase &labelItem, TavrexBus::ArchDirection direction,
                                               int interval)
    : ModbusTaskArch(labelItem, direction, interval)
{
}

ModbusTaskArchPresence::ModbusTaskArchPresence(const ModbusTaskArchPresence &source, int index)
    : ModbusTaskArch(source, index)
{
    m_label = source.m_label;
    m_prevLabel = source.m_prevLabel;
    m_nextLabel = source.m_nextLabel;
    m_firstLabel = source.m_firstLabel;
    m_lastLabel = source.m_lastLabel;
    m_endLabel = source.m_endLabel;
    m_hasPrev = source.m_hasPrev;
    m_hasNext = source.m_hasNext;
    m_maxRequestLabels = source.m_maxRequestLabels;
    setReadNeighbours(source.m_readPrev, source.m_readNext, source.m_readFirst, source.m_readLast);
}

ModbusTask *ModbusTaskArchPresence::clone() const
{
    return new ModbusTaskArchPresence(*this);
}

ModbusTaskList ModbusTaskArchPresence::split()
{
    return splitInto(*this);
}

void ModbusTaskArchPresence::setReadNeighbours(bool prev, bool next, bool first, bool last)
{
    m_readPrev = prev;
    m_readNext = next;
    m_readFirst = first;
    m_readLast = last;
}
