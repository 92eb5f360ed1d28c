#include "trendbytesitem.h"

#include "tavrexbus.h"

TrendBytesItem::TrendBytesItem()
    : label(QDateTime::currentDateTime())
{
}

TrendBytesItem::TrendBytesItem(quint32 label, const ModbusBytesArray &bytes)
    : label(TavrexBus::archLabelToTime(label)), bytes(bytes)
{
}

TrendBytesItem::TrendBytesItem(quint32 label, const ModbusBytes &bytes)
    : TrendBytesItem(label, ModbusBytesArray{bytes})
{
}

TrendBytesItem::TrendBytesItem(const QDateTime &label, const ModbusBytesArray &bytes)
    : label(label), bytes(bytes)
{
}

TrendBytesItem::TrendBytesItem(const QDateTime &label, const ModbusBytes &bytes)
    : TrendBytesItem(label, ModbusBytesArray{bytes})
{
}

quint32 TrendBytesItem::labelInSeconds() const
{
    return TavrexBus::archLabelToSeconds(label);
}

bool TrendBytesItem::operator==(const TrendBytesItem &other) const
{
    return label == other.label && bytes == other.bytes;
}
