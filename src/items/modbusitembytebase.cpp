#include "modbusitembytebase.h"

#include "modbustask.h"

ModbusItemByteBase::ModbusItemByteBase(QObject *parent)
    : ModbusItemIntBase(1, parent)
{
}

ModbusItemByteBase::ModbusItemByteBase(quint32 address, QObject *parent)
    : ModbusItemIntBase(1, address, parent)
{
}

void ModbusItemByteBase::setAlignToWord(bool align)
{
    if (align == m_alignToWord)
        return;
    m_alignToWord = align;
    emit alignToWordChanged(align);
}

void ModbusItemByteBase::applyResultTask(const ModbusTask &task)
{
    setBytesArray(task.firstBytes().shrinkedToByte(), ReadChange);
    if (bytesWasReadConnected())
        emit bytesWasRead(QDateTime::currentDateTime());
}
