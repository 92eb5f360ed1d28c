#ifndef TRENDBYTESITEM_H
#define TRENDBYTESITEM_H

#include "modbusbytesarray.h"

#include <QtCore/qdatetime.h>

// One past value of an item: the array it held and the moment it stands for.
class TAVREXBUS1_EXPORT TrendBytesItem
{
public:
    TrendBytesItem();
    TrendBytesItem(quint32 label, const ModbusBytesArray &bytes);
    TrendBytesItem(quint32 label, const ModbusBytes &bytes);
    TrendBytesItem(const QDateTime &label, const ModbusBytesArray &bytes);
    TrendBytesItem(const QDateTime &label, const ModbusBytes &bytes);

    quint32 labelInSeconds() const;
    bool operator==(const TrendBytesItem &other) const;
    bool operator!=(const TrendBytesItem &other) const { return !(*this == other); }

    QDateTime label;
    ModbusBytesArray bytes;
};

#endif
