#ifndef MODBUSTASKARCHRECORD67_H
#define MODBUSTASKARCHRECORD67_H

#include "modbustaskarchrecord65.h"

#include <QtCore/qlist.h>

/// Reads archive records at labels the device reported present; a time archive steps through that list.
class TAVREXBUS1_EXPORT ModbusTaskArchRecord67 : public ModbusTaskArchRecord65
{
public:
    /// A read of record's records at labels, starting from label.
    ModbusTaskArchRecord67(ModbusItemBase &record, quint32 label, const QList<quint32> &labels, int interval);
    /// Copies other.
    ModbusTaskArchRecord67(const ModbusTaskArchRecord67 &other) = default;
    /// Part index of a split source.
    ModbusTaskArchRecord67(const ModbusTaskArchRecord67 &source, int index);

    ModbusTask *clone() const override;
    ModbusTaskList split() override;
    /// The label step places after label in labels; ok tells whether there is one.
    quint32 getNextLabel(quint32 label, bool *ok, quint32 step) const override;

    /// The labels the device reported present.
    QList<quint32> labels() const { return m_labels; }

private:
    QList<quint32> m_labels;
};

#endif
