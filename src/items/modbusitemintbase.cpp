#include "modbusitemintbase.h"

void ModbusItemIntBase::setBase(int base)
{
    if (base == m_base)
        return;
    m_base = base;
    emit baseChanged();
}
