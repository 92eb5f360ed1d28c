#ifndef TRENDBYTESITEM_H
#define TRENDBYTESITEM_H

#include "modbusbytesarray.h"

#include <QtCore/qdatetime.h>

/// One past value of an item: the array it held and the moment it stands for.
class TAVREXBUS1_EXPORT TrendBytesItem
{
public:
    TrendBytesItem();
    /// An entry of array at label (in seconds).
    TrendBytesItem(quint32 label, const ModbusBytesArray &bytes);
    /// An entry of one element at label (in seconds).
    TrendBytesItem(quint32 label, const ModbusBytes &bytes);
    /// An entry of array at label.
    TrendBytesItem(const QDateTime &label, const ModbusBytesArray &bytes);
    /// An entry of one element at label.
    TrendBytesItem(const QDateTime &label, const ModbusBytes &bytes);

    /// The label as a time label in seconds.
    quint32 labelInSeconds() const;
    /// Equal when label and bytes are.
    bool operator==(const TrendBytesItem &other) const;
    /// The opposite of operator==().
    bool operator!=(const TrendBytesItem &other) const { return !(*this == other); }

    /// The moment the entry stands for.
    QDateTime label;
    /// The array the item held.
    ModbusBytesArray bytes;
};

#endif
