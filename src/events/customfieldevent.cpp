#include "customfieldevent.h"

CustomFieldEvent::CustomFieldEvent(QObject *parent)
    : QObject(parent)
{
}

QString CustomFieldEvent::value() const
{
    return m_value;
}

void CustomFieldEvent::setValue(const QString &value)
{
    if (m_value == value)
        return;
    m_value = value;
    emit valueChanged(value);
}

int CustomFieldEvent::index() const
{
    return m_index;
}

void CustomFieldEvent::setIndex(int index)
{
    if (m_index == index)
        return;
    m_index = index;
    emit indexChanged(index);
}

int CustomFieldEvent::rowIndex() const
{
    return m_rowIndex;
}

void CustomFieldEvent::setRowIndex(int rowIndex)
{
    if (m_rowIndex == rowIndex)
        return;
    m_rowIndex = rowIndex;
    emit rowIndexChanged(rowIndex);
}
