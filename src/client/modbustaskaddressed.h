#ifndef MODBUSTASKADDRESSED_H
#define MODBUSTASKADDRESSED_H

#include "modbustask.h"

class ModbusItemAddressedBase;

// A task on registers (or coils and inputs) at a logical address.
class TAVREXBUS1_EXPORT ModbusTaskAddressed : public ModbusTask
{
public:
    ModbusTaskAddressed(ModbusItemAddressedBase &item, int interval);
    ModbusTaskAddressed(ModbusItemAddressedBase &item, TavrexBus::ModbusTaskType type, int interval);
    ModbusTaskAddressed(ModbusItemAddressedBase &item, const ModbusBytesArray &bytes);
    ModbusTaskAddressed(const ModbusTaskAddressed &other) = default;
    ModbusTaskAddressed(const ModbusTaskAddressed &source, int index);

    ModbusTask *clone() const override;
    ModbusTaskList split() override;

    quint32 address() const { return m_address; }
    void setAddress(quint32 address) { m_address = address; }

private:
    quint32 m_address;
};

#endif
