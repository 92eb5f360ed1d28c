#ifndef MODBUSTASKADDRESSED_H
#define MODBUSTASKADDRESSED_H

#include "modbustask.h"

class ModbusItemAddressedBase;

/// A task on registers (or coils and inputs) at a logical address.
class TAVREXBUS1_EXPORT ModbusTaskAddressed : public ModbusTask
{
public:
    /// A read of item at its address, every interval milliseconds (0: once).
    ModbusTaskAddressed(ModbusItemAddressedBase &item, int interval);
    /// A read or write of item at its address, every interval milliseconds (0: once).
    ModbusTaskAddressed(ModbusItemAddressedBase &item, TavrexBus::ModbusTaskType type, int interval);
    /// A one-off write of bytes to item.
    ModbusTaskAddressed(ModbusItemAddressedBase &item, const ModbusBytesArray &bytes);
    /// Copies other.
    ModbusTaskAddressed(const ModbusTaskAddressed &other) = default;
    /// Part index of a split source.
    ModbusTaskAddressed(const ModbusTaskAddressed &source, int index);

    ModbusTask *clone() const override;
    ModbusTaskList split() override;

    /// The logical register number of the first item.
    quint32 address() const { return m_address; }
    /// Moves the task to another logical register number.
    void setAddress(quint32 address) { m_address = address; }

private:
    quint32 m_address;
};

#endif
