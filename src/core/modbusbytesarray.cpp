#include "modbusbytesarray.h"

ModbusBytesArray::ModbusBytesArray(const QList<ModbusBytes> &blocks)
    : QList<ModbusBytes>(blocks)
{
}

ModbusBytesArray::ModbusBytesArray(std::initializer_list<ModbusBytes> blocks)
    : QList<ModbusBytes>(blocks)
{
}

ModbusBytesArray::ModbusBytesArray(const ModbusBytes &bytes, int pos, int len)
{
    append(ModbusBytes::fromOther(bytes, pos, len));
}

ModbusBytesArray::ModbusBytesArray(const ModbusBytesArray &blocks, int pos, int count)
{
    const qint64 size = blocks.size();
    if (pos < 0 || pos >= size)
        return;
    const qint64 taken = qMin<qint64>(count == -1 ? size - pos : qMax(count, 0), size - pos);
    QList<ModbusBytes>::operator=(blocks.mid(pos, taken));
}

ModbusBytes ModbusBytesArray::toModbusBytes() const
{
    return ModbusBytes::fromList(*this);
}

void ModbusBytesArray::prependBytesArray(const ModbusBytesArray &other)
{
    QList<ModbusBytes>::operator=(other + *this);
}

ModbusBytesArray ModbusBytesArray::shrinkedToByte() const
{
    ModbusBytesArray shrunk;
    shrunk.reserve(size());
    for (const ModbusBytes &block : *this)
        shrunk.append(ModbusBytes::fromUInt8(block.last()));
    return shrunk;
}

ModbusBytesArray ModbusBytesArray::alignedToWord(bool atEnd) const
{
    ModbusBytesArray aligned;
    aligned.reserve(size());
    for (const ModbusBytes &block : *this)
        aligned.append(block.alignedToWord(atEnd));
    return aligned;
}

int ModbusBytesArray::totalSize() const
{
    qsizetype total = 0;
    for (const ModbusBytes &block : *this)
        total += block.size();
    return int(total);
}
